#include "DateTimeText.h"

#include <Pegasus/Common/Exception.h>

#include <cstring>

namespace Pegasus::broker {

namespace {

// Days from 0000-01-01 (proleptic Gregorian) to y-m-d.
Sint64 daysFromCivil(Sint64 y, unsigned m, unsigned d) {
  y -= m <= 2;
  const Sint64 era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // era * 146097 + doe counts from 0000-03-01, which is day 60 of year 0.
  return era * 146097 + Sint64(doe) + 60;
}

void civilFromDays(Sint64 z, Sint64& y, unsigned& m, unsigned& d) {
  z -= 60;
  const Sint64 era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = Sint64(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Writes v as exactly width decimal digits (callers range-check v first).
char* putDigits(char* p, Uint64 v, int width) {
  for (int i = width - 1; i >= 0; i--) {
    p[i] = char('0' + v % 10);
    v /= 10;
  }
  return p + width;
}

bool isLeap(Sint64 y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// A field of digits, or all '*' (a wildcard, read as zero).
bool readField(const char* s, int n, Uint32& value, bool& wild) {
  wild = s[0] == '*';
  value = 0;
  for (int i = 0; i < n; i++) {
    if (wild) {
      if (s[i] != '*') return false;
    } else if (s[i] >= '0' && s[i] <= '9')
      value = value * 10 + Uint32(s[i] - '0');
    else
      return false;
  }
  return true;
}

// Microseconds: digits followed only by '*' (fewer significant digits).
bool readMicros(const char* s, Uint32& value) {
  value = 0;
  bool star = false;
  for (int i = 0; i < 6; i++) {
    if (s[i] == '*')
      star = true;
    else if (s[i] >= '0' && s[i] <= '9' && !star)
      value = value * 10 + Uint32(s[i] - '0');
    else
      return false;
    if (star) value *= 10;
  }
  return true;
}

}  // namespace

// Lays out the 25-character form from its fields.
void layout(char* out, Uint64 first, int firstWidth, Uint64 month, Uint64 day, Uint64 hours,
            Uint64 minutes, Uint64 seconds, Uint64 micros, char sep, Uint64 offset) {
  char* p = putDigits(out, first, firstWidth);
  if (firstWidth == 4) {
    p = putDigits(p, month, 2);
    p = putDigits(p, day, 2);
  }
  p = putDigits(p, hours, 2);
  p = putDigits(p, minutes, 2);
  p = putDigits(p, seconds, 2);
  *p++ = '.';
  p = putDigits(p, micros, 6);
  *p++ = sep;
  p = putDigits(p, offset, 3);
  *p = '\0';
}

unsigned daysInMonth(Sint64 y, unsigned m) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && isLeap(y)) ? 29 : days[m - 1];
}

bool parse(const char* s, size_t len, Parsed& p) {
  if (len != 25 || s[14] != '.') return false;
  bool w[6];
  p.month = p.day = 0;
  if (s[21] == ':') {
    p.interval = true;
    if (std::memcmp(s + 22, "000", 3) != 0) return false;
    if (!readField(s, 8, p.a, w[0]) || !readField(s + 8, 2, p.hours, w[3]) ||
        !readField(s + 10, 2, p.minutes, w[4]) || !readField(s + 12, 2, p.seconds, w[5]) ||
        !readMicros(s + 15, p.micros))
      return false;
    if (p.hours > 23 || p.minutes > 59 || p.seconds > 59) return false;
    p.offset = 0;
    return true;
  }
  if (s[21] != '+' && s[21] != '-') return false;
  p.interval = false;
  Uint32 off;
  bool offWild;
  if (!readField(s, 4, p.a, w[0]) || !readField(s + 4, 2, p.month, w[1]) ||
      !readField(s + 6, 2, p.day, w[2]) || !readField(s + 8, 2, p.hours, w[3]) ||
      !readField(s + 10, 2, p.minutes, w[4]) || !readField(s + 12, 2, p.seconds, w[5]) ||
      !readMicros(s + 15, p.micros) || !readField(s + 22, 3, off, offWild) || offWild)
    return false;
  if (!w[1] && (p.month < 1 || p.month > 12)) return false;
  if (!w[2] && (p.day < 1 || p.day > (w[1] || w[0] ? 31 : daysInMonth(p.a, p.month)))) return false;
  if (p.hours > 23 || p.minutes > 59 || p.seconds > 59) return false;
  p.offset = s[21] == '-' ? -Sint32(off) : Sint32(off);
  return true;
}

void formatTimestamp(char* out, Sint64 usecLocal, Sint32 offset) {
  Sint64 days = usecLocal / Sint64(kUsecPerDay);
  Uint64 rest = Uint64(usecLocal % Sint64(kUsecPerDay));
  Sint64 y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  Uint64 secs = rest / kUsecPerSec;
  layout(out, Uint64(y), 4, m, d, secs / 3600, secs / 60 % 60, secs % 60, rest % kUsecPerSec,
         offset < 0 ? '-' : '+', Uint64(offset < 0 ? -offset : offset));
}

void formatInterval(char* out, Uint64 usec) {
  Uint64 days = usec / kUsecPerDay;
  Uint64 rest = usec % kUsecPerDay;
  Uint64 secs = rest / kUsecPerSec;
  layout(out, days, 8, 0, 0, secs / 3600, secs / 60 % 60, secs % 60, rest % kUsecPerSec, ':', 0);
}

// Local-time microseconds of a time stamp (ignores the offset).
Sint64 localMicros(const Parsed& p) {
  Uint32 month = p.month ? p.month : 1;
  Uint32 day = p.day ? p.day : 1;
  Sint64 days = daysFromCivil(p.a, month, day);
  return days * Sint64(kUsecPerDay) +
         Sint64((Uint64(p.hours) * 3600 + p.minutes * 60 + p.seconds) * kUsecPerSec + p.micros);
}

void checkedTimestamp(char* out, Sint64 usecUtc, Sint32 offset) {
  Sint64 local = usecUtc + Sint64(offset) * 60 * Sint64(kUsecPerSec);
  if (local < 0 || local >= kDaysTo10000 * Sint64(kUsecPerDay))
    throw DateTimeOutOfRangeException("the time stamp is outside years 0000 to 9999");
  formatTimestamp(out, local, offset);
}

void checkedInterval(char* out, Uint64 usec) {
  if (usec / kUsecPerDay > 99999999ULL)
    throw DateTimeOutOfRangeException("the interval is longer than 99999999 days");
  formatInterval(out, usec);
}

}  // namespace Pegasus::broker
