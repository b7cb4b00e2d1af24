//%/////////////////////////////////////////////////////////////////////////////
// CIMDateTime.h: CIM date-time values in their 25-character text form:
// "yyyymmddhhmmss.mmmmmmsutc" for time stamps (s is '+' or '-', utc the offset
// in minutes) and "ddddddddhhmmss.mmmmmm:000" for intervals.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMDateTime_h
#define Pegasus_CIMDateTime_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

namespace Pegasus {

class CIMDateTime
{
public:
    /// The zero interval "00000000000000.000000:000".
    CIMDateTime();
    /// Throws InvalidDateTimeFormatException for anything but the 25-character forms.
    CIMDateTime(const String& str);
    /** Microseconds since 0000-01-01 00:00 UTC (a time stamp with offset 0)
        or the length of an interval. Throws DateTimeOutOfRangeException when
        the value has no 25-character form. */
    CIMDateTime(Uint64 microSec, Boolean isInterval);
    /// A time stamp; numSignificantMicrosecDigits < 6 writes '*' for the rest.
    CIMDateTime(Uint32 year, Uint32 month, Uint32 day, Uint32 hours, Uint32 minutes,
        Uint32 seconds, Uint32 microseconds, Uint32 numSignificantMicrosecDigits,
        Sint32 utcOffset);
    /// An interval.
    CIMDateTime(Uint32 days, Uint32 hours, Uint32 minutes, Uint32 seconds,
        Uint32 microseconds, Uint32 numSignificantMicrosecDigits);

    CIMDateTime(const CIMDateTime& x) = default;
    CIMDateTime& operator=(const CIMDateTime& x) = default;

    /// The 25-character form.
    String toString() const;
    /// Throws InvalidDateTimeFormatException; the value is unchanged then.
    void set(const String& str);
    /// Back to the zero interval.
    void clear();

    /// The current local time with its UTC offset.
    static CIMDateTime getCurrentDateTime();
    /// toMicroSeconds(finish) - toMicroSeconds(start); both must be the same kind.
    static Sint64 getDifference(CIMDateTime startTime, CIMDateTime finishTime);

    Boolean isInterval() const { return _interval; }
    Boolean isTimeStamp() const { return !_interval; }
    /// Same instant (time stamps are compared in UTC) or same interval length.
    Boolean equal(const CIMDateTime& x) const;
    /** Interval length, or microseconds since 0000-01-01 00:00 UTC for a
        time stamp; wildcard ('*') digits count as zero. */
    Uint64 toMicroSeconds() const;

    CIMDateTime operator+(const CIMDateTime& x) const;
    CIMDateTime& operator+=(const CIMDateTime& x);
    CIMDateTime operator-(const CIMDateTime& x) const;
    CIMDateTime& operator-=(const CIMDateTime& x);
    CIMDateTime operator*(Uint64 num) const;
    CIMDateTime& operator*=(Uint64 num);
    CIMDateTime operator/(Uint64 num) const;
    CIMDateTime& operator/=(Uint64 num);
    Uint64 operator/(const CIMDateTime& x) const;
    Boolean operator<(const CIMDateTime& x) const;
    Boolean operator<=(const CIMDateTime& x) const;
    Boolean operator>(const CIMDateTime& x) const;
    Boolean operator>=(const CIMDateTime& x) const;
    Boolean operator!=(const CIMDateTime& x) const;

private:
    char _text[26]; // the 25-character form and a NUL
    Boolean _interval;
};

Boolean operator==(const CIMDateTime& x, const CIMDateTime& y);

} // namespace Pegasus

#endif
