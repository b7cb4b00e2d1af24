#include "xfile.h"

#include "base/fd.h"
#include "installroot.h"
#include "proctext.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

void trimstr(char* s) {
  if (s == nullptr) return;
  std::size_t len = std::strlen(s);
  while (len > 0 && std::isprint(static_cast<unsigned char>(s[len - 1])) == 0) {
    s[--len] = '\0';
  }
}

namespace perf {

std::optional<std::string> FindPiece(std::string_view path,
                                     const std::function<bool(std::string_view)>& match,
                                     bool* cut) {
  const mgmt::base::UniqueFile file = mgmt::base::OpenFile(mgmt::RootPath(path), "r");
  if (!file) return std::nullopt;
  char buf[kGrepPiece];
  while (std::fgets(buf, sizeof buf, file.get()) != nullptr) {
    const std::string_view piece(buf);
    if (!match(piece)) continue;
    if (cut != nullptr) {
      *cut = false;
      if (piece.empty() || piece.back() != '\n') {
        const int next = std::fgetc(file.get());
        *cut = next != EOF && next != '\n';
      }
    }
    return std::string(piece);
  }
  return std::nullopt;
}

}  // namespace perf

char* filegrep(const char* path, const char* pattern, int n, char* dest, std::size_t destSize) {
  if (path == nullptr || pattern == nullptr || dest == nullptr || destSize < 1) return nullptr;
  std::memset(dest, 0, destSize);
  if (n < 0) return nullptr;
  const int wanted = n == 0 ? 1 : n;
  int seen = 0;
  const std::string_view needle(pattern);
  const auto piece = perf::FindPiece(path, [&](std::string_view p) {
    return p.find(needle) != std::string_view::npos && ++seen == wanted;
  });
  if (!piece) return nullptr;
  const std::size_t count = std::min(piece->size(), destSize - 1);
  std::memcpy(dest, piece->data(), count);
  trimstr(dest);
  return dest;
}

namespace {

// Seconds with a decimal fraction, scaled by 10^digits and truncated, computed on
// the decimal digits themselves so that no binary rounding creeps in.
std::optional<std::uint64_t> ScaledSeconds(std::string_view text, int digits) {
  std::size_t i = 0;
  std::uint64_t whole = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
    any = true;
    if (whole > 1'000'000'000'000ULL) return std::nullopt;  // beyond any uptime
  }
  std::uint64_t value = whole;
  std::size_t frac = i < text.size() && text[i] == '.' ? i + 1 : text.size();
  for (int d = 0; d < digits; ++d) {
    std::uint64_t digit = 0;
    if (frac < text.size() && text[frac] >= '0' && text[frac] <= '9') {
      digit = static_cast<std::uint64_t>(text[frac] - '0');
      any = true;
      ++frac;
    } else {
      frac = text.size();
    }
    value = value * 10 + digit;
  }
  if (!any) return std::nullopt;
  return value;
}

}  // namespace

void getTimestamp(std::uint64_t& jiffies, std::uint64_t& ticks) {
  jiffies = 0;
  ticks = 0;
  char line[perf::kGrepPiece];
  if (filegrep("/proc/uptime", " ", 1, line, sizeof line) == nullptr) return;
  const auto words = perf::BlankWords(line);
  if (words.empty()) return;
  if (const auto j = ScaledSeconds(words[0], 2)) jiffies = *j;
  if (const auto t = ScaledSeconds(words[0], 3)) ticks = *t;
}
