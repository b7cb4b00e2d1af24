#include <atomic>
#include <cstdio>

#include "provutil.h"

namespace {
// Process-wide so that names never repeat across prefixes; atomic because more
// than one thread may ask for names at the same time.
std::atomic<int> g_nTmpFileCounter{111};
}  // namespace

extern "C" int createTmpFileName(char* dest, const char* prefix, int size) {
  if (dest == nullptr || prefix == nullptr || size <= 0) return -1;
  const int number = g_nTmpFileCounter.fetch_add(1, std::memory_order_relaxed);
  const int len = std::snprintf(dest, static_cast<std::size_t>(size), "%s%d", prefix, number);
  if (len < 0 || len >= size) {
    dest[0] = '\0';
    return -1;
  }
  return 1;
}
