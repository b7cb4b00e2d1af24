//%/////////////////////////////////////////////////////////////////////////////
// Char16.h: one UTF-16 code unit, the element type of String.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Char16_h
#define Pegasus_Char16_h

#include <Pegasus/Common/Config.h>

namespace Pegasus {

/** A UTF-16 code unit. Converts implicitly to and from Uint16 so that code
    written against the original API can mix it with integers. */
class Char16
{
public:
    Char16() : _code(0) {}
    Char16(Uint16 x) : _code(char16_t(x)) {}
    Char16(const Char16& x) = default;
    Char16& operator=(const Char16& x) = default;
    Char16& operator=(Uint16 x) { _code = char16_t(x); return *this; }
    operator Uint16() const { return Uint16(_code); }

private:
    // char16_t, so that String can hand out its UTF-16 storage as Char16.
    char16_t _code;
};

inline bool operator==(const Char16& x, const Char16& y) { return Uint16(x) == Uint16(y); }
inline bool operator!=(const Char16& x, const Char16& y) { return Uint16(x) != Uint16(y); }
inline bool operator==(const Char16& x, char y) { return Uint16(x) == Uint16(Uint8(y)); }
inline bool operator==(char x, const Char16& y) { return Uint16(Uint8(x)) == Uint16(y); }
inline bool operator!=(const Char16& x, char y) { return !(x == y); }
inline bool operator!=(char x, const Char16& y) { return !(x == y); }

} // namespace Pegasus

#endif
