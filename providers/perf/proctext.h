// Text helpers shared by the samplers: word splitting, checked number parsing and
// whole-line reading of files under the installation root.
//
// /proc text is untrusted input: every parser here is bounds-checked, never reads
// past the text it is given, and never overflows (values saturate at the top of
// their type, which no kernel counter reaches).
#ifndef MGMT_PERF_PROCTEXT_H
#define MGMT_PERF_PROCTEXT_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/fd.h"

namespace perf {

/// Words of a line: a word starts at every character other than a blank (' ') whose
/// preceding character is a blank, the first character counting as preceded by one;
/// it runs up to the next blank. Only the blank separates: a tab is part of a word.
std::vector<std::string_view> BlankWords(std::string_view line);

/// Tokens separated by any white space (what sscanf's "%s" and "%d" skip).
std::vector<std::string_view> SpaceTokens(std::string_view text);

/// The value of the decimal digits at the start of `text` (after leading white space
/// and an optional '+'), as strtoll in base 10 reads them, but unsigned 64-bit and
/// saturating. 0 when no digit follows (a '-' sign included: counters are never
/// negative).
std::uint64_t LeadingDecimal(std::string_view text);

/// `token` as an unsigned decimal number when it is nothing but digits (an optional
/// leading '+' allowed); saturates at UINT64_MAX.
std::optional<std::uint64_t> WholeDecimal(std::string_view token);

/// Reads unsigned decimal numbers separated by white space from the start of `text`
/// into `out`, the way sscanf("%lu %lu ...") assigns them: stops at the first token
/// that is not a number or when `out` is full. Returns how many were stored.
std::size_t ScanDecimals(std::string_view text, std::span<std::uint64_t> out);

/// A text file opened through the installation root, read one whole line at a time
/// (without its newline). Lines longer than kMaxLine are cut there and the rest of
/// such a line is skipped, so a hostile file cannot make us allocate without bound.
class LineFile {
 public:
  static constexpr std::size_t kMaxLine = 1 << 20;

  /// Opens `absolutePath` resolved against the installation root.
  explicit LineFile(std::string_view absolutePath);

  bool isOpen() const { return file_ != nullptr; }

  /// The next line into `line`; false at the end of the file (or if not open).
  bool next(std::string& line);

  /// Closes the file now; returns what fclose returned (0 when nothing was open).
  int close();

 private:
  mgmt::base::UniqueFile file_;
};

}  // namespace perf

#endif
