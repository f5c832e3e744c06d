#include <dlfcn.h>

#include <cstdint>

#include "framework/sound/server_rate.h"

namespace fw::sound {

std::optional<int> JackServerRate() {
  // Found at run time, like the rest of the JACK library that only the
  // synthesiser links.
  using Open = void* (*)(const char*, int, int*, ...);
  using Rate = std::uint32_t (*)(void*);
  using Close = int (*)(void*);
  auto open = reinterpret_cast<Open>(dlsym(RTLD_DEFAULT, "jack_client_open"));
  auto rate = reinterpret_cast<Rate>(dlsym(RTLD_DEFAULT, "jack_get_sample_rate"));
  auto close = reinterpret_cast<Close>(dlsym(RTLD_DEFAULT, "jack_client_close"));
  if (open == nullptr || rate == nullptr || close == nullptr) return std::nullopt;
  constexpr int kNoStartServer = 0x01;
  int status = 0;
  void* client = open("velumbra17-rate", kNoStartServer, &status);
  if (client == nullptr) return std::nullopt;
  const auto frames = static_cast<int>(rate(client));
  close(client);
  return frames;
}

}  // namespace fw::sound
