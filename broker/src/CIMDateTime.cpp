// CIMDateTime: construction, comparison and arithmetic. The text form is
// read and written by DateTimeText.cpp.
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/Exception.h>

#include <cstring>
#include <ctime>
#include <string>

#include "DateTimeText.h"

namespace Pegasus {

using namespace broker;

CIMDateTime::CIMDateTime() : _interval(true) { formatInterval(_text, 0); }

CIMDateTime::CIMDateTime(const String& str) : CIMDateTime() { set(str); }

CIMDateTime::CIMDateTime(Uint64 microSec, Boolean isInterval) : _interval(isInterval) {
  if (isInterval)
    checkedInterval(_text, microSec);
  else {
    if (microSec >= Uint64(kDaysTo10000) * kUsecPerDay)
      throw DateTimeOutOfRangeException("the time stamp is outside years 0000 to 9999");
    formatTimestamp(_text, Sint64(microSec), 0);
  }
}

CIMDateTime::CIMDateTime(Uint32 year, Uint32 month, Uint32 day, Uint32 hours, Uint32 minutes,
                         Uint32 seconds, Uint32 microseconds, Uint32 numSignificantMicrosecDigits,
                         Sint32 utcOffset)
    : _interval(false) {
  if (year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
      hours > 23 || minutes > 59 || seconds > 59 || microseconds > 999999 ||
      numSignificantMicrosecDigits > 6 || utcOffset < -999 || utcOffset > 999)
    throw DateTimeOutOfRangeException("a time stamp field is out of range");
  layout(_text, year, 4, month, day, hours, minutes, seconds, microseconds,
         utcOffset < 0 ? '-' : '+', Uint64(utcOffset < 0 ? -utcOffset : utcOffset));
  for (Uint32 i = numSignificantMicrosecDigits; i < 6; i++) _text[15 + i] = '*';
}

CIMDateTime::CIMDateTime(Uint32 days, Uint32 hours, Uint32 minutes, Uint32 seconds,
                         Uint32 microseconds, Uint32 numSignificantMicrosecDigits)
    : _interval(true) {
  if (days > 99999999 || hours > 23 || minutes > 59 || seconds > 59 || microseconds > 999999 ||
      numSignificantMicrosecDigits > 6)
    throw DateTimeOutOfRangeException("an interval field is out of range");
  layout(_text, days, 8, 0, 0, hours, minutes, seconds, microseconds, ':', 0);
  for (Uint32 i = numSignificantMicrosecDigits; i < 6; i++) _text[15 + i] = '*';
}

String CIMDateTime::toString() const { return String(_text); }

void CIMDateTime::set(const String& str) {
  std::string text = str.toUtf8();
  Parsed p;
  if (!parse(text.data(), text.size(), p)) throw InvalidDateTimeFormatException();
  std::memcpy(_text, text.data(), 25);
  _text[25] = '\0';
  _interval = p.interval;
}

void CIMDateTime::clear() { *this = CIMDateTime(); }

CIMDateTime CIMDateTime::getCurrentDateTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  Sint32 offset = Sint32(local.tm_gmtoff / 60);
  return CIMDateTime(Uint32(local.tm_year + 1900), Uint32(local.tm_mon + 1), Uint32(local.tm_mday),
                     Uint32(local.tm_hour), Uint32(local.tm_min),
                     Uint32(local.tm_sec > 59 ? 59 : local.tm_sec), Uint32(ts.tv_nsec / 1000), 6,
                     offset);
}

Sint64 CIMDateTime::getDifference(CIMDateTime startTime, CIMDateTime finishTime) {
  if (startTime.isInterval() != finishTime.isInterval()) throw TypeMismatchException();
  return Sint64(finishTime.toMicroSeconds()) - Sint64(startTime.toMicroSeconds());
}

Uint64 CIMDateTime::toMicroSeconds() const {
  Parsed p;
  parse(_text, 25, p);
  if (p.interval)
    return Uint64(p.a) * kUsecPerDay +
           (Uint64(p.hours) * 3600 + p.minutes * 60 + p.seconds) * kUsecPerSec + p.micros;
  Sint64 utc = localMicros(p) - Sint64(p.offset) * 60 * Sint64(kUsecPerSec);
  return utc < 0 ? 0 : Uint64(utc);
}

Boolean CIMDateTime::equal(const CIMDateTime& x) const {
  return _interval == x._interval && toMicroSeconds() == x.toMicroSeconds();
}

namespace {
Sint32 offsetOf(const char* text) {
  Sint32 off = (text[22] - '0') * 100 + (text[23] - '0') * 10 + (text[24] - '0');
  return text[21] == '-' ? -off : off;
}
}  // namespace

CIMDateTime CIMDateTime::operator+(const CIMDateTime& x) const {
  if (!x._interval) throw TypeMismatchException();
  CIMDateTime r;
  r._interval = _interval;
  Uint64 sum = toMicroSeconds() + x.toMicroSeconds();
  if (_interval)
    checkedInterval(r._text, sum);
  else
    checkedTimestamp(r._text, Sint64(sum), offsetOf(_text));
  return r;
}

CIMDateTime& CIMDateTime::operator+=(const CIMDateTime& x) { return *this = *this + x; }

CIMDateTime CIMDateTime::operator-(const CIMDateTime& x) const {
  Uint64 a = toMicroSeconds();
  Uint64 b = x.toMicroSeconds();
  CIMDateTime r;
  if (_interval && !x._interval) throw TypeMismatchException();
  if (!_interval && !x._interval) {
    // Time stamp minus time stamp: the interval between them.
    if (a < b) throw DateTimeOutOfRangeException("negative interval");
    checkedInterval(r._text, a - b);
    r._interval = true;
    return r;
  }
  if (a < b) throw DateTimeOutOfRangeException("negative result");
  r._interval = _interval;
  if (_interval)
    checkedInterval(r._text, a - b);
  else
    checkedTimestamp(r._text, Sint64(a - b), offsetOf(_text));
  return r;
}

CIMDateTime& CIMDateTime::operator-=(const CIMDateTime& x) { return *this = *this - x; }

CIMDateTime CIMDateTime::operator*(Uint64 num) const {
  if (!_interval) throw TypeMismatchException();
  Uint64 usec = toMicroSeconds();
  if (num != 0 && usec > ~Uint64(0) / num) throw DateTimeOutOfRangeException("interval overflow");
  return CIMDateTime(usec * num, true);
}

CIMDateTime& CIMDateTime::operator*=(Uint64 num) { return *this = *this * num; }

CIMDateTime CIMDateTime::operator/(Uint64 num) const {
  if (!_interval) throw TypeMismatchException();
  if (num == 0) throw DateTimeOutOfRangeException("division by zero");
  return CIMDateTime(toMicroSeconds() / num, true);
}

CIMDateTime& CIMDateTime::operator/=(Uint64 num) { return *this = *this / num; }

Uint64 CIMDateTime::operator/(const CIMDateTime& x) const {
  if (!_interval || !x._interval) throw TypeMismatchException();
  Uint64 d = x.toMicroSeconds();
  if (d == 0) throw DateTimeOutOfRangeException("division by zero");
  return toMicroSeconds() / d;
}

namespace {
void requireSameKind(const CIMDateTime& a, const CIMDateTime& b) {
  if (a.isInterval() != b.isInterval()) throw TypeMismatchException();
}
}  // namespace

Boolean CIMDateTime::operator<(const CIMDateTime& x) const {
  requireSameKind(*this, x);
  return toMicroSeconds() < x.toMicroSeconds();
}
Boolean CIMDateTime::operator<=(const CIMDateTime& x) const {
  requireSameKind(*this, x);
  return toMicroSeconds() <= x.toMicroSeconds();
}
Boolean CIMDateTime::operator>(const CIMDateTime& x) const { return x < *this; }
Boolean CIMDateTime::operator>=(const CIMDateTime& x) const { return x <= *this; }
Boolean CIMDateTime::operator!=(const CIMDateTime& x) const { return !equal(x); }
Boolean operator==(const CIMDateTime& x, const CIMDateTime& y) { return x.equal(y); }

}  // namespace Pegasus
