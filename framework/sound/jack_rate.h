#pragma once
// The rate of a running JACK server, asked through a short-lived client of
// our own before the synthesiser's driver opens.
#include <optional>

namespace fw::sound {

// Nothing when no server runs.
std::optional<int> JackServerRate();

}  // namespace fw::sound
