#pragma once
// Constant score tables: each bar's rows mirror the written score, one row per step.
#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>

namespace score {

constexpr double kBaseStep = 175000.0;

struct NoteStart {
  int note = 0;
  int velocity = 100;
  constexpr NoteStart() = default;
  // Implicit so that a table can write a plain note number for velocity 100.
  constexpr NoteStart(int noteNumber,
                      int startVelocity = 100)  // NOLINT(google-explicit-constructor)
      : note(noteNumber), velocity(startVelocity) {}
};

// Fixed-capacity list, so that the tables stay compile-time constants.
template <typename T, std::size_t Capacity = 6>
struct NoteList {
  std::array<T, Capacity> items{};
  std::size_t count = 0;

  constexpr NoteList() = default;
  constexpr NoteList(std::initializer_list<T> list) {
    for (const T& item : list) items[count++] = item;
  }
  constexpr const T* begin() const { return items.data(); }
  constexpr const T* end() const { return items.data() + count; }
  constexpr std::size_t size() const { return count; }
};

// Bars 1 to 24: starts, the wait, then the releases of the same step.
struct FigurationRow {
  NoteList<NoteStart> starts;
  double wait = 0;
  NoteList<int> releases;
};

enum class FigurationForm { TwoPasses, WrittenOut };

struct FigurationBar {
  FigurationForm form;
  std::span<const FigurationRow> rows;
};

// Bars 25 to 38: the releases that open the step, its starts, then its wait;
// variantWait is the wait of the bar's one-shot variant (0 where it has none).
struct ClosingRow {
  NoteList<int> releases;
  NoteList<NoteStart> starts;
  double wait = 0;
  double variantWait = 0;
};

struct ClosingBar {
  std::span<const ClosingRow> steps;
  NoteList<int> endReleases;
};

}  // namespace score
