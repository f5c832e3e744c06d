#include "framework/sound/jack_rate.h"

#include <cstdint>

#include "framework/sound/library_symbol.h"

namespace fw::sound {

std::optional<int> JackServerRate() {
  using Open = void* (*)(const char*, int, int*, ...);
  using Rate = std::uint32_t (*)(void*);
  using Close = int (*)(void*);
  const auto open = LibrarySymbol<Open>("jack_client_open");
  const auto sampleRate = LibrarySymbol<Rate>("jack_get_sample_rate");
  const auto close = LibrarySymbol<Close>("jack_client_close");
  if (open == nullptr || sampleRate == nullptr || close == nullptr) return std::nullopt;
  constexpr int kNoStartServer = 0x01;
  int status = 0;
  void* client = open("velumbra17-rate", kNoStartServer, &status);
  if (client == nullptr) return std::nullopt;
  const auto rate = static_cast<int>(sampleRate(client));
  close(client);
  return rate;
}

}  // namespace fw::sound
