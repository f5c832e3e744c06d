#include "framework/core/misc.h"

#include <algorithm>
#include <mutex>

namespace fw {
namespace random {
namespace {
std::mutex seedMutex;
std::mt19937& Engine() {
  static std::mt19937 engine{std::random_device{}()};
  return engine;
}
}  // namespace

void SetSeed(std::uint32_t seed) {
  std::lock_guard lock(seedMutex);
  Engine().seed(seed);
}

std::uint32_t NextSeed() {
  std::lock_guard lock(seedMutex);
  return Engine()();
}
}  // namespace random

Random::Random() : engine_(random::NextSeed()) {}

std::int32_t Random::InRange(std::int32_t low, std::int32_t high) {
  if (high < low) std::swap(low, high);
  return std::uniform_int_distribution<std::int32_t>(low, high)(engine_);
}

std::size_t IntegerList::Checked(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= values_.size()) {
    throw OutOfBoundsException("list index " + std::to_string(index) + " out of range");
  }
  return static_cast<std::size_t>(index);
}

void IntegerList::Store(std::int32_t value, std::int32_t index) { values_[Checked(index)] = value; }

std::int32_t IntegerList::At(std::int32_t index) const { return values_[Checked(index)]; }

void IntegerList::Remove(std::int32_t index) {
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(Checked(index)));
}

void IntegerList::Shuffle() {
  std::mt19937 engine(random::NextSeed());
  std::shuffle(values_.begin(), values_.end(), engine);
}

std::shared_ptr<IntegerList> CreateArray(std::int32_t upperBound) {
  if (upperBound < -1) throw OutOfBoundsException("negative list bound");
  return std::make_shared<IntegerList>(static_cast<std::size_t>(upperBound + 1));
}

}  // namespace fw
