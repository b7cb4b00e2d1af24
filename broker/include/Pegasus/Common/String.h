//%/////////////////////////////////////////////////////////////////////////////
// String.h: the broker's text type. Stores UTF-16 code units (sizes and
// indexes count units), takes UTF-8 from char strings and hands UTF-8 back
// through CString. Case-insensitive operations fold ASCII letters only.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_String_h
#define Pegasus_String_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Char16.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace Pegasus {

/** A NUL-terminated UTF-8 copy of a String. The pointer it converts to lives
    only as long as the CString, so never keep the result of
    `s.getCString()` beyond the full expression that made it. */
class CString
{
public:
    CString();
    CString(const CString& cstr);
    CString& operator=(const CString& cstr);
    ~CString();
    operator const char*() const;

private:
    friend class String;
    explicit CString(std::string text);
    std::string _rep;
};

/** UTF-16 text with value semantics. */
class String
{
public:
    /// The empty string.
    static const String EMPTY;

    String();
    String(const String& str);
    String(String&& str) noexcept;
    /// The first n units of str; throws IndexOutOfBoundsException if n > size.
    String(const String& str, Uint32 n);
    /// Throws NullPointer if str is null.
    String(const Char16* str);
    String(const Char16* str, Uint32 n);
    /** UTF-8 text. Throws NullPointer on null and Exception on a byte
        sequence that is not valid UTF-8. */
    String(const char* str);
    String(const char* str, Uint32 n);
    /// Concatenation.
    String(const String& s1, const String& s2);
    ~String();

    String& operator=(const String& str);
    String& operator=(String&& str) noexcept;
    String& operator=(const char* str);
    String& assign(const String& str);
    String& assign(const Char16* str);
    String& assign(const Char16* str, Uint32 n);
    String& assign(const char* str);
    String& assign(const char* str, Uint32 n);

    void clear();
    void reserveCapacity(Uint32 capacity);
    /// Number of UTF-16 units, without a terminator.
    Uint32 size() const;
    /// NUL-terminated units, valid until the string changes.
    const Char16* getChar16Data() const;
    /// UTF-8 copy.
    CString getCString() const;

    /// Throws IndexOutOfBoundsException when index >= size().
    Char16& operator[](Uint32 index);
    const Char16 operator[](Uint32 index) const;

    String& append(const Char16& c);
    String& append(const Char16* str, Uint32 n);
    String& append(const String& str);
    String& append(const char* str);
    String& append(const char* str, Uint32 size);
    String& operator+=(const String& str) { return append(str); }
    String& operator+=(Char16 c) { return append(c); }
    String& operator+=(char c) { return append(Char16(Uint8(c))); }

    /** Removes n units from index; PEG_NOT_FOUND means "to the end".
        Throws IndexOutOfBoundsException when the range leaves the string. */
    void remove(Uint32 index, Uint32 n = PEG_NOT_FOUND);
    /// Clamps n to what is left; an index past the end gives an empty string.
    String subString(Uint32 index, Uint32 n = PEG_NOT_FOUND) const;

    Uint32 find(Char16 c) const;
    Uint32 find(Uint32 index, Char16 c) const;
    Uint32 find(const String& s) const;
    Uint32 find(const char* s) const;
    Uint32 reverseFind(Char16 c) const;

    /// Folds ASCII letters only, in place.
    void toLower();
    void toUpper();

    /// printf-style append (UTF-8 format and arguments).
    void appendPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    static int compare(const String& s1, const String& s2);
    static int compare(const String& s1, const String& s2, Uint32 n);
    static int compare(const String& s1, const char* s2);
    static int compareNoCase(const String& s1, const String& s2);
    static Boolean equal(const String& s1, const String& s2);
    static Boolean equal(const String& s1, const char* s2);
    static Boolean equalNoCase(const String& s1, const String& s2);
    static Boolean equalNoCase(const String& s1, const char* s2);

    // Extensions for code inside this system (not part of the original API).
    /// Builds from UTF-8 held in a std::string_view (same rules as const char*).
    static String fromUtf8(std::string_view utf8);
    /// Builds from UTF-16 units.
    static String fromUtf16(std::u16string_view units);
    /// The UTF-8 text as a std::string.
    std::string toUtf8() const;
    /// The units as a std::u16string_view.
    std::u16string_view view() const { return _rep; }

private:
    std::u16string _rep;
};

Boolean operator==(const String& s1, const String& s2);
Boolean operator==(const String& s1, const char* s2);
Boolean operator==(const char* s1, const String& s2);
Boolean operator!=(const String& s1, const String& s2);
Boolean operator!=(const String& s1, const char* s2);
Boolean operator!=(const char* s1, const String& s2);
Boolean operator<(const String& s1, const String& s2);
Boolean operator<=(const String& s1, const String& s2);
Boolean operator>(const String& s1, const String& s2);
Boolean operator>=(const String& s1, const String& s2);
String operator+(const String& s1, const String& s2);
String operator+(const String& s1, const char* s2);
String operator+(const char* s1, const String& s2);
std::ostream& operator<<(std::ostream& os, const String& str);

} // namespace Pegasus

#endif
