#pragma once
// A function of an audio library that only the synthesiser links, found at
// run time: null where the library is not loaded.
#include <dlfcn.h>

namespace fw::sound {

template <typename Function>
Function LibrarySymbol(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace fw::sound
