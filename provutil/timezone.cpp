// getTimeZone(char*, int): the UTC offset that completes a CIM datetime.
// Kept in a file of its own: the daemon has a getTimeZone of its own with a
// different meaning (minutes as a number), and linking the static library must
// not pull this one in unless it is asked for.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "provutil.h"

extern "C" int getTimeZone(char* text, int room) {
  if (text == nullptr || room <= 0) return -1;
  text[0] = '\0';

  // localtime_r need not look at TZ again once it has been read; tzset does.
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return -1;

  const long minutes = local.tm_gmtoff / 60;
  if (std::labs(minutes) > 999) return -1;
  char offset[8];
  const int len = std::snprintf(offset, sizeof offset, "%+04ld", minutes);
  if (len < 0 || len >= room) return -1;
  std::memcpy(text, offset, static_cast<std::size_t>(len) + 1);
  return 0;
}
