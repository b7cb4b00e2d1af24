#include "proctext.h"

#include "installroot.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace perf {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Accumulates decimal digits from the front of `text`; returns the count consumed.
std::size_t AccumulateDigits(std::string_view text, std::uint64_t& value) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  std::size_t i = 0;
  value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    value = (value > (kMax - digit) / 10) ? kMax : value * 10 + digit;
  }
  return i;
}

}  // namespace

std::vector<std::string_view> BlankWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = line.find(' ', i);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    words.push_back(line.substr(i, stop - i));
    i = stop;
  }
  return words;
}

std::vector<std::string_view> SpaceTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSpace(text[i])) {
      ++i;
      continue;
    }
    std::size_t stop = i;
    while (stop < text.size() && !IsSpace(text[stop])) ++stop;
    tokens.push_back(text.substr(i, stop - i));
    i = stop;
  }
  return tokens;
}

std::uint64_t LeadingDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  std::uint64_t value = 0;
  AccumulateDigits(text.substr(i), value);
  return value;
}

std::optional<std::uint64_t> WholeDecimal(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  if (token.empty()) return std::nullopt;
  std::uint64_t value = 0;
  if (AccumulateDigits(token, value) != token.size()) return std::nullopt;
  return value;
}

std::size_t ScanDecimals(std::string_view text, std::span<std::uint64_t> out) {
  std::size_t stored = 0;
  std::size_t i = 0;
  while (stored < out.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    std::size_t start = i;
    if (start < text.size() && text[start] == '+') ++start;
    std::uint64_t value = 0;
    const std::size_t digits = AccumulateDigits(text.substr(start), value);
    if (digits == 0) break;
    out[stored++] = value;
    i = start + digits;
    // As with sscanf, a number glued to other text ends the scan after it.
    if (i < text.size() && !IsSpace(text[i])) break;
  }
  return stored;
}

LineFile::LineFile(std::string_view absolutePath)
    : file_(mgmt::base::OpenFile(mgmt::RootPath(absolutePath), "r")) {}

bool LineFile::next(std::string& line) {
  line.clear();
  if (!file_) return false;
  char buf[4096];
  bool any = false;
  while (std::fgets(buf, sizeof buf, file_.get()) != nullptr) {
    any = true;
    std::string_view piece(buf);
    const bool complete = !piece.empty() && piece.back() == '\n';
    if (complete) piece.remove_suffix(1);
    if (line.size() < kMaxLine) {
      line.append(piece.substr(0, kMaxLine - line.size()));
    }
    if (complete) break;
  }
  return any;
}

int LineFile::close() {
  if (!file_) return 0;
  return std::fclose(file_.release());
}

}  // namespace perf
