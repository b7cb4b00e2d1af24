// String and CString: UTF-16 storage, UTF-8 at the boundary, ASCII-only case
// folding (the original's behaviour without ICU).
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

#include "Utf8.h"

#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <vector>

namespace Pegasus {

const String String::EMPTY;

// ---------------------------------------------------------------- CString

CString::CString() = default;
CString::CString(const CString& cstr) = default;
CString& CString::operator=(const CString& cstr) = default;
CString::~CString() = default;
CString::CString(std::string text) : _rep(std::move(text)) {}
CString::operator const char*() const { return _rep.c_str(); }

// ----------------------------------------------------------------- String

namespace {

inline char16_t foldLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

inline char16_t foldUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

std::u16string fromChar16(const Char16* str, size_t n) {
  std::u16string out;
  out.resize(n);
  for (size_t i = 0; i < n; i++) out[i] = char16_t(Uint16(str[i]));
  return out;
}

size_t char16Length(const Char16* str) {
  size_t n = 0;
  while (Uint16(str[n]) != 0) n++;
  return n;
}

}  // namespace

String::String() = default;
String::String(const String& str) = default;
String::String(String&& str) noexcept = default;
String::~String() = default;

String::String(const String& str, Uint32 n) {
  if (n > str.size()) throw IndexOutOfBoundsException();
  _rep.assign(str._rep, 0, n);
}

String::String(const Char16* str) {
  if (!str) throw NullPointer();
  _rep = fromChar16(str, char16Length(str));
}

String::String(const Char16* str, Uint32 n) {
  if (!str) throw NullPointer();
  _rep = fromChar16(str, n);
}

String::String(const char* str) {
  if (!str) throw NullPointer();
  _rep = broker::utf8ToUtf16(str);
}

String::String(const char* str, Uint32 n) {
  if (!str) throw NullPointer();
  _rep = broker::utf8ToUtf16(std::string_view(str, n));
}

String::String(const String& s1, const String& s2) : _rep(s1._rep + s2._rep) {}

String& String::operator=(const String& str) = default;
String& String::operator=(String&& str) noexcept = default;
String& String::operator=(const char* str) { return assign(str); }
String& String::assign(const String& str) { return *this = str; }

String& String::assign(const Char16* str) {
  *this = String(str);
  return *this;
}

String& String::assign(const Char16* str, Uint32 n) {
  *this = String(str, n);
  return *this;
}

String& String::assign(const char* str) {
  *this = String(str);
  return *this;
}

String& String::assign(const char* str, Uint32 n) {
  *this = String(str, n);
  return *this;
}

void String::clear() { _rep.clear(); }
void String::reserveCapacity(Uint32 capacity) { _rep.reserve(capacity); }
Uint32 String::size() const { return Uint32(_rep.size()); }

const Char16* String::getChar16Data() const {
  static_assert(sizeof(Char16) == sizeof(char16_t));
  return reinterpret_cast<const Char16*>(_rep.c_str());
}

CString String::getCString() const { return CString(toUtf8()); }
std::string String::toUtf8() const { return broker::utf16ToUtf8(_rep); }
String String::fromUtf8(std::string_view utf8) {
  String s;
  s._rep = broker::utf8ToUtf16(utf8);
  return s;
}

String String::fromUtf16(std::u16string_view units) {
  String s;
  s._rep.assign(units);
  return s;
}

Char16& String::operator[](Uint32 index) {
  if (index >= _rep.size()) throw IndexOutOfBoundsException();
  return reinterpret_cast<Char16&>(_rep[index]);
}

const Char16 String::operator[](Uint32 index) const {
  if (index >= _rep.size()) throw IndexOutOfBoundsException();
  return Char16(Uint16(_rep[index]));
}

String& String::append(const Char16& c) {
  _rep.push_back(char16_t(Uint16(c)));
  return *this;
}

String& String::append(const Char16* str, Uint32 n) {
  if (!str) throw NullPointer();
  _rep += fromChar16(str, n);
  return *this;
}

String& String::append(const String& str) {
  _rep += str._rep;
  return *this;
}

String& String::append(const char* str) {
  if (!str) throw NullPointer();
  _rep += broker::utf8ToUtf16(str);
  return *this;
}

String& String::append(const char* str, Uint32 n) {
  if (!str) throw NullPointer();
  _rep += broker::utf8ToUtf16(std::string_view(str, n));
  return *this;
}

void String::remove(Uint32 index, Uint32 n) {
  if (n == PEG_NOT_FOUND) {
    if (index > _rep.size()) throw IndexOutOfBoundsException();
    n = Uint32(_rep.size() - index);
  }
  if (index > _rep.size() || n > _rep.size() - index) throw IndexOutOfBoundsException();
  _rep.erase(index, n);
}

String String::subString(Uint32 index, Uint32 n) const {
  String out;
  if (index < _rep.size())
    out._rep = _rep.substr(index, n == PEG_NOT_FOUND ? std::u16string::npos : n);
  return out;
}

Uint32 String::find(Char16 c) const { return find(0, c); }

Uint32 String::find(Uint32 index, Char16 c) const {
  if (index >= _rep.size()) return PEG_NOT_FOUND;
  size_t pos = _rep.find(char16_t(Uint16(c)), index);
  return pos == std::u16string::npos ? PEG_NOT_FOUND : Uint32(pos);
}

Uint32 String::find(const String& s) const {
  size_t pos = _rep.find(s._rep);
  return pos == std::u16string::npos ? PEG_NOT_FOUND : Uint32(pos);
}

Uint32 String::find(const char* s) const { return find(String(s)); }

Uint32 String::reverseFind(Char16 c) const {
  size_t pos = _rep.rfind(char16_t(Uint16(c)));
  return pos == std::u16string::npos ? PEG_NOT_FOUND : Uint32(pos);
}

void String::toLower() {
  for (auto& c : _rep) c = foldLower(c);
}

void String::toUpper() {
  for (auto& c : _rep) c = foldUpper(c);
}

void String::appendPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n > 0) {
    std::vector<char> buf(size_t(n) + 1);
    vsnprintf(buf.data(), buf.size(), format, args);
    _rep += broker::utf8ToUtf16(std::string_view(buf.data(), size_t(n)));
  }
  va_end(args);
}

int String::compare(const String& s1, const String& s2) {
  int r = s1._rep.compare(s2._rep);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int String::compare(const String& s1, const String& s2, Uint32 n) {
  return compare(s1.subString(0, n), s2.subString(0, n));
}

int String::compare(const String& s1, const char* s2) { return compare(s1, String(s2)); }

int String::compareNoCase(const String& s1, const String& s2) {
  size_t n = std::min(s1._rep.size(), s2._rep.size());
  for (size_t i = 0; i < n; i++) {
    char16_t a = foldLower(s1._rep[i]);
    char16_t b = foldLower(s2._rep[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (s1._rep.size() == s2._rep.size()) return 0;
  return s1._rep.size() < s2._rep.size() ? -1 : 1;
}

Boolean String::equal(const String& s1, const String& s2) { return s1._rep == s2._rep; }
Boolean String::equal(const String& s1, const char* s2) { return s1 == String(s2); }

Boolean String::equalNoCase(const String& s1, const String& s2) {
  if (s1._rep.size() != s2._rep.size()) return false;
  for (size_t i = 0; i < s1._rep.size(); i++)
    if (foldLower(s1._rep[i]) != foldLower(s2._rep[i])) return false;
  return true;
}

Boolean String::equalNoCase(const String& s1, const char* s2) {
  return equalNoCase(s1, String(s2));
}

Boolean operator==(const String& s1, const String& s2) { return String::equal(s1, s2); }
Boolean operator==(const String& s1, const char* s2) { return String::equal(s1, String(s2)); }
Boolean operator==(const char* s1, const String& s2) { return String::equal(String(s1), s2); }
Boolean operator!=(const String& s1, const String& s2) { return !(s1 == s2); }
Boolean operator!=(const String& s1, const char* s2) { return !(s1 == s2); }
Boolean operator!=(const char* s1, const String& s2) { return !(s1 == s2); }
Boolean operator<(const String& s1, const String& s2) { return String::compare(s1, s2) < 0; }
Boolean operator<=(const String& s1, const String& s2) { return String::compare(s1, s2) <= 0; }
Boolean operator>(const String& s1, const String& s2) { return String::compare(s1, s2) > 0; }
Boolean operator>=(const String& s1, const String& s2) { return String::compare(s1, s2) >= 0; }
String operator+(const String& s1, const String& s2) { return String(s1, s2); }
String operator+(const String& s1, const char* s2) { return String(s1, String(s2)); }
String operator+(const char* s1, const String& s2) { return String(String(s1), s2); }

std::ostream& operator<<(std::ostream& os, const String& str) { return os << str.toUtf8(); }

}  // namespace Pegasus
