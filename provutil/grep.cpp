// n_grep and s_grep: counting and fetching the lines of a file that contain a text.
#include <cstring>

#include "linepieces.h"
#include "provutil.h"

extern "C" int n_grep(const char* file, const char* pattern, int mode) {
  if (file == nullptr || pattern == nullptr) return -1;
  provutil::LinePieces lines(file);
  if (!lines.Open()) return -1;
  const bool wantMatch = mode == 0;
  int count = 0;
  while (const char* line = lines.Next()) {
    if ((std::strstr(line, pattern) != nullptr) == wantMatch) ++count;
  }
  return count;
}

extern "C" char* s_grep(const char* file, const char* pattern, int n, char* dest, int size) {
  if (file == nullptr || pattern == nullptr || dest == nullptr || size <= 0) return nullptr;
  if (n < 0) {
    dest[0] = '\0';
    return nullptr;
  }
  provutil::LinePieces lines(file);
  if (!lines.Open()) return nullptr;
  const int wanted = n == 0 ? 1 : n;
  std::memset(dest, 0, static_cast<std::size_t>(size));

  int seen = 0;
  while (const char* line = lines.Next()) {
    if (std::strstr(line, pattern) == nullptr || ++seen < wanted) continue;
    std::strncpy(dest, line, static_cast<std::size_t>(size) - 1);
    trim_str(dest);
    return dest;
  }
  return nullptr;
}
