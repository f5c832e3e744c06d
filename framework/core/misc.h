#pragma once
// Random numbers, integer lists, line endings and message boxes.
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/core/object.h"

namespace fw {

class Random : public Object {
 public:
  Random();
  const char* ClassName() const override { return "Random"; }
  // Both ends included.
  std::int32_t InRange(std::int32_t low, std::int32_t high);

 private:
  std::mt19937 engine_;
};

namespace random {
// Makes every later Random and shuffle reproducible.
void SetSeed(std::uint32_t seed);
std::uint32_t NextSeed();
}  // namespace random

class IntegerList : public Object {
 public:
  explicit IntegerList(std::size_t size) : values_(size, 0) {}
  const char* ClassName() const override { return "IntegerList"; }
  void Store(std::int32_t value, std::int32_t index);
  std::int32_t At(std::int32_t index) const;
  // Later entries move down by one.
  void Remove(std::int32_t index);
  void Shuffle();
  std::int32_t UpperBound() const { return static_cast<std::int32_t>(values_.size()) - 1; }

 private:
  std::size_t Checked(std::int32_t index) const;
  std::vector<std::int32_t> values_;
};

// A list with indexes 0 to upperBound.
std::shared_ptr<IntegerList> CreateArray(std::int32_t upperBound);

class EndOfLine : public Object {
 public:
  const char* ClassName() const override { return "EndOfLine"; }
  static constexpr const char* kText = "\n";
  std::string Operator_AddRight(const std::string& text) const { return text + kText; }
};

}  // namespace fw
