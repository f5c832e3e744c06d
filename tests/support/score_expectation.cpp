#include "support/score_expectation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace testing_support {
namespace {

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, by)) parts.push_back(part);
  return parts;
}

std::vector<std::pair<int, int>> Notes(const std::string& cell, int defaultVelocity) {
  std::vector<std::pair<int, int>> notes;
  std::stringstream in(cell);
  std::string word;
  while (in >> word) {
    if (word == "-") continue;
    auto colon = word.find(':');
    if (colon == std::string::npos) {
      notes.emplace_back(std::stoi(word), defaultVelocity);
    } else {
      notes.emplace_back(std::stoi(word.substr(0, colon)), std::stoi(word.substr(colon + 1)));
    }
  }
  return notes;
}

void AddNotes(std::vector<Token>& tokens, const std::vector<std::pair<int, int>>& notes) {
  for (auto [note, velocity] : notes) tokens.push_back({Token::Note, note, velocity});
}

void AddWait(std::vector<Token>& tokens, double length) {
  Token wait{Token::Wait};
  wait.length = length;
  tokens.push_back(wait);
}

struct RawBar {
  std::string name;
  std::string form;
  std::vector<std::string> rows;
  std::string end;
};

}  // namespace

std::map<std::string, ExpectedBar> LoadExpectedScore() {
  std::ifstream file(std::string(VELUMBRA_TEST_DATA) + "/score/expected_score.txt");
  EXPECT_TRUE(file.good()) << "expected score file missing";
  std::vector<RawBar> raw;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream words(line);
    std::string first;
    words >> first;
    if (first == "bar") {
      RawBar bar;
      words >> bar.name >> bar.form;
      raw.push_back(bar);
    } else if (first == "end") {
      raw.back().end = line.substr(3);
    } else {
      raw.back().rows.push_back(line);
    }
  }

  std::map<std::string, ExpectedBar> bars;
  for (const RawBar& bar : raw) {
    if (bar.form == "twopass" || bar.form == "written") {
      std::vector<Token> pass;
      for (const std::string& row : bar.rows) {
        auto cells = Split(row, '|');
        AddNotes(pass, Notes(cells.at(0), 100));
        AddWait(pass, std::stod(cells.at(1)));
        AddNotes(pass, Notes(cells.at(2), 0));
      }
      ExpectedBar expected{bar.name, {}};
      const int passes = bar.form == "twopass" ? 2 : 1;
      for (int p = 0; p < passes; ++p) {
        expected.tokens.insert(expected.tokens.end(), pass.begin(), pass.end());
        if (bar.form == "twopass") expected.tokens.push_back({Token::PassYield});
      }
      bars[bar.name] = expected;
      continue;
    }
    ExpectedBar plain{bar.name, {}};
    ExpectedBar variant{bar.name + "OneShot", {}};
    bool hasVariant = false;
    for (const std::string& row : bar.rows) {
      auto cells = Split(row, '|');
      std::stringstream waits(cells.at(2));
      double written = 0, scaled = 0;
      waits >> written;
      hasVariant = static_cast<bool>(waits >> scaled);
      for (ExpectedBar* target : {&plain, &variant}) {
        AddNotes(target->tokens, Notes(cells.at(0), 0));
        AddNotes(target->tokens, Notes(cells.at(1), 100));
      }
      AddWait(plain.tokens, written);
      AddWait(variant.tokens, hasVariant ? scaled : written);
    }
    AddNotes(plain.tokens, Notes(bar.end, 0));
    AddNotes(variant.tokens, Notes(bar.end, 0));
    bars[plain.name] = plain;
    if (hasVariant) bars[variant.name] = variant;
  }
  return bars;
}

const std::vector<std::string>& PlainBarNames() {
  static const std::vector<std::string> names = {"",
                                                 "barOne",
                                                 "barTwo",
                                                 "barThree",
                                                 "barFour",
                                                 "barFive",
                                                 "barSix",
                                                 "barSeven",
                                                 "barEight",
                                                 "barNine",
                                                 "barTen",
                                                 "barEleven",
                                                 "barTwelve",
                                                 "barThirteen",
                                                 "barFourteen",
                                                 "barFifteen",
                                                 "barSixteen",
                                                 "barSeventeen",
                                                 "barEighteen",
                                                 "barNineteen",
                                                 "barTwenty",
                                                 "barTwentyOne",
                                                 "barTwentyTwo",
                                                 "barTwentyThree",
                                                 "barTwentyFour",
                                                 "barTwentyFive",
                                                 "barTwentySix",
                                                 "barTwentySeven",
                                                 "barTwentyEight",
                                                 "barTwentyNine",
                                                 "barThirty",
                                                 "barThirtyOne",
                                                 "barThirtyTwo",
                                                 "barThirtyThree",
                                                 "barThirtyFour",
                                                 "barThirtyFive",
                                                 "barThirtySix",
                                                 "barThirtySeven",
                                                 "barThirtyEight"};
  return names;
}

}  // namespace testing_support

namespace testing_support {

PlayedBars MatchBars(const std::vector<Token>& tokens,
                     const std::map<std::string, ExpectedBar>& score) {
  PlayedBars played;
  std::size_t at = 0;
  while (at < tokens.size() && tokens[at].kind == Token::Instrument) ++at;
  while (at < tokens.size()) {
    const std::string* found = nullptr;
    for (const auto& [name, bar] : score) {
      const auto& want = bar.tokens;
      if (at + want.size() <= tokens.size() &&
          std::equal(want.begin(), want.end(), tokens.begin() + static_cast<std::ptrdiff_t>(at))) {
        found = &name;
        at += want.size();
        break;
      }
    }
    if (found == nullptr) break;
    played.names.push_back(*found);
    int yields = 0;
    while (at < tokens.size() && tokens[at].kind == Token::PassYield) {
      ++yields;
      ++at;
    }
    played.yieldsBetween.push_back(yields);
  }
  played.rest.assign(tokens.begin() + static_cast<std::ptrdiff_t>(at), tokens.end());
  if (!played.rest.empty() && !(played.rest.size() == 1 && played.rest[0].kind == Token::Wait)) {
    played.unmatchedAt = at;
  }
  return played;
}

}  // namespace testing_support
