#include "bench/stall_files.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {
namespace {

// The numeric fields of each line after the header; nullopt if any is not a number.
std::optional<std::vector<std::vector<double>>> ReadCsv(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::vector<std::vector<double>> rows;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<double> row;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) {
      char* end = nullptr;
      row.push_back(std::strtod(field.c_str(), &end));
      if (field.empty() || *end != '\0') return std::nullopt;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Each line after the header made into a T; nullopt where a line has not
// `fields` numbers (0: any number but none).
template <typename T, typename Make>
std::optional<std::vector<T>> ReadRows(const std::string& path, std::size_t fields, Make make) {
  const auto rows = ReadCsv(path);
  if (!rows) return std::nullopt;
  std::vector<T> made;
  for (const auto& row : *rows) {
    if (fields == 0 ? row.empty() : row.size() != fields) return std::nullopt;
    made.push_back(make(row));
  }
  return made;
}

}  // namespace

std::optional<std::vector<std::int16_t>> ReadSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const auto bytes = static_cast<std::size_t>(in.tellg());
  std::vector<std::int16_t> samples(bytes / sizeof(std::int16_t));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(samples.data()),
          static_cast<std::streamsize>(samples.size() * sizeof(std::int16_t)));
  if (!in) return std::nullopt;
  return samples;
}

std::optional<std::vector<ReadStamp>> ReadStamps(const std::string& path) {
  return ReadRows<ReadStamp>(path, 4, [](const std::vector<double>& row) {
    return ReadStamp{static_cast<std::int64_t>(row[0]), row[1], row[2], row[3] != 0};
  });
}

std::optional<std::vector<double>> ReadCalls(const std::string& path) {
  return ReadRows<double>(path, 0, [](const std::vector<double>& row) { return row[0]; });
}

std::optional<std::vector<SentStall>> ReadSentStalls(const std::string& path) {
  return ReadRows<SentStall>(path, 7, [](const std::vector<double>& row) {
    return SentStall{row[4], row[5]};
  });
}

}  // namespace bench
