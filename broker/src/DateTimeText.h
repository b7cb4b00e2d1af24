// The 25-character date-time text: reading and validating it, calendar
// arithmetic, and writing it back. Used by CIMDateTime.
#ifndef BROKER_DATETIMETEXT_H
#define BROKER_DATETIMETEXT_H

#include <Pegasus/Common/Config.h>

#include <cstddef>

namespace Pegasus::broker {

constexpr Uint64 kUsecPerSec = 1000000ULL;
constexpr Uint64 kUsecPerDay = 86400ULL * kUsecPerSec;
// 9999-12-31 23:59:59.999999 is the last instant with a four-digit year.
constexpr Sint64 kDaysTo10000 = 3652425;  // days from 0000-01-01 to 10000-01-01

/// The fields of a parsed text; `a` is the year of a time stamp or the days of an interval.
struct Parsed {
  bool interval;
  Uint32 a, month, day, hours, minutes, seconds, micros;  // a: year or days
  Sint32 offset;
};

/// Reads the 25-character form; false when it is not valid.
bool parse(const char* s, size_t len, Parsed& p);
/// Lays out the 25-character form from its fields (firstWidth 4: time stamp, 8: interval).
void layout(char* out, Uint64 first, int firstWidth, Uint64 month, Uint64 day, Uint64 hours,
            Uint64 minutes, Uint64 seconds, Uint64 micros, char sep, Uint64 offset);
unsigned daysInMonth(Sint64 y, unsigned m);
/// Local-time microseconds since 0000-01-01 of a time stamp (ignores the offset).
Sint64 localMicros(const Parsed& p);
void formatTimestamp(char* out, Sint64 usecLocal, Sint32 offset);
void formatInterval(char* out, Uint64 usec);
/// As the format functions, throwing DateTimeOutOfRangeException when the
/// value has no 25-character form.
void checkedTimestamp(char* out, Sint64 usecUtc, Sint32 offset);
void checkedInterval(char* out, Uint64 usec);

}  // namespace Pegasus::broker

#endif
