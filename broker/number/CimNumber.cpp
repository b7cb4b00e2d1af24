#include "CimNumber.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <system_error>

namespace mgmt::broker {

namespace {

bool IsBlank(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
template <class View>
View StripBlanks(View text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Splits a number text into its sign and the rest; the rest never starts with a
// sign when the text is a number (so "+-5" leaves "-5", which no form accepts).
std::string_view TakeSign(std::string_view s, bool& negative) {
  negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  return s;
}

// The digits and base of an unsigned integer body, or nullopt for no known form.
std::optional<std::pair<std::string_view, int>> IntegerForm(std::string_view s,
                                                            NumberSyntax syntax) {
  const bool mof = syntax == NumberSyntax::kMof;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    return std::make_pair(s.substr(2), 16);
  if (mof && s.size() >= 2 && (s.back() == 'b' || s.back() == 'B'))
    return std::make_pair(s.substr(0, s.size() - 1), 2);
  if (s.size() >= 2 && s[0] == '0') {
    if (!mof) return std::nullopt;  // a leading zero is octal in MOF, refused elsewhere
    return std::make_pair(s.substr(1), 8);
  }
  return std::make_pair(s, 10);
}

// Checks the real grammar on an unsigned body and finds where its value stands:
// the power of ten of its leading digit plus one (0.d... x 10^scale), which tells
// overflow from underflow when the conversion reports the range exceeded.
bool RealBody(std::string_view s, long& scale) {
  std::size_t i = 0;
  std::size_t intDigits = 0;
  std::size_t fracDigits = 0;
  long leadingZeros = 0;  // zeros before the first non-zero digit, after the point
  long intSignificant = 0;
  bool seenNonZero = false;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++intDigits) {
    if (s[i] != '0') seenNonZero = true;
    if (seenNonZero) ++intSignificant;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i, ++fracDigits) {
      if (!seenNonZero && s[i] == '0') ++leadingZeros;
      if (s[i] != '0') seenNonZero = true;
    }
  }
  if (intDigits + fracDigits == 0) return false;
  long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    bool negativeExponent = false;
    std::string_view e = TakeSign(s.substr(i + 1), negativeExponent);
    if (e.empty()) return false;
    for (char c : e) {
      if (!IsDigit(c)) return false;
      exponent = std::min(exponent * 10 + (c - '0'), 100000L);  // far beyond any range
    }
    if (negativeExponent) exponent = -exponent;
    i = s.size();
  }
  if (i != s.size()) return false;
  scale = (intSignificant > 0 ? intSignificant : -leadingZeros) + exponent;
  return true;
}

template <class T>
NumberStatus ParseRealAs(std::string_view text, T& out) {
  std::string_view s = StripNumberBlanks(text);
  bool negative = false;
  std::string_view body = TakeSign(s, negative);
  if (EqualsNoCase(body, "inf")) {
    out = negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
    return NumberStatus::kOk;
  }
  if (EqualsNoCase(s, "nan")) {
    out = std::numeric_limits<T>::quiet_NaN();
    return NumberStatus::kOk;
  }
  long scale = 0;
  if (!RealBody(body, scale)) return NumberStatus::kMalformed;
  // from_chars takes a '-' but no '+'.
  const char* first = negative ? body.data() - 1 : body.data();
  const char* last = body.data() + body.size();
  T value{};
  auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range && end == last) {
    if (scale > 0) return NumberStatus::kOutOfRange;
    out = negative ? -T(0) : T(0);  // below the smallest subnormal: rounds to zero
    return NumberStatus::kOk;
  }
  if (ec != std::errc() || end != last) return NumberStatus::kMalformed;
  out = value;
  return NumberStatus::kOk;
}

// Calls read(ascii) with a key value narrowed to ASCII (false for any other
// character: no number has one). Short texts, all real ones, stay on the stack.
template <class Read>
bool WithAscii(std::u16string_view text, Read read) {
  text = StripBlanks(text);
  char small[64];
  std::string large;
  char* out = small;
  if (text.size() > sizeof small) {
    large.resize(text.size());
    out = large.data();
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0 || text[i] > 0x7F) return false;
    out[i] = static_cast<char>(text[i]);
  }
  return read(std::string_view(out, text.size()));
}

}  // namespace

std::string_view StripNumberBlanks(std::string_view text) { return StripBlanks(text); }
std::u16string_view StripNumberBlanks(std::u16string_view text) { return StripBlanks(text); }

NumberStatus ReadInteger(std::string_view text, IntegerText& out, NumberSyntax syntax) {
  bool negative = false;
  std::string_view s = TakeSign(StripNumberBlanks(text), negative);
  auto form = IntegerForm(s, syntax);
  if (!form || form->first.empty()) return NumberStatus::kMalformed;
  auto [digits, base] = *form;
  std::uint64_t magnitude = 0;
  // from_chars on an unsigned type takes digits of the base only: no sign, no
  // blank, no prefix.
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (end != digits.data() + digits.size()) return NumberStatus::kMalformed;
  if (ec == std::errc::result_out_of_range) return NumberStatus::kOutOfRange;
  if (ec != std::errc()) return NumberStatus::kMalformed;
  out.negative = negative && magnitude != 0;
  out.magnitude = magnitude;
  return NumberStatus::kOk;
}

NumberStatus detail::FitInteger(const IntegerText& in, std::int64_t minimum,
                                std::uint64_t maximum) {
  if (!in.negative) return in.magnitude <= maximum ? NumberStatus::kOk : NumberStatus::kOutOfRange;
  const std::uint64_t limit = minimum == 0 ? 0 : static_cast<std::uint64_t>(-(minimum + 1)) + 1;
  return in.magnitude <= limit ? NumberStatus::kOk : NumberStatus::kOutOfRange;
}

NumberStatus ParseReal(std::string_view text, float& out) { return ParseRealAs(text, out); }
NumberStatus ParseReal(std::string_view text, double& out) { return ParseRealAs(text, out); }

bool ReadKeyInteger(std::u16string_view text, IntegerText& out) {
  return WithAscii(text, [&out](std::string_view ascii) {
    IntegerText read;
    if (ReadInteger(ascii, read) != NumberStatus::kOk) return false;
    constexpr std::uint64_t kSint64Limit = std::uint64_t(1) << 63;
    if (read.negative && read.magnitude > kSint64Limit) return false;
    out = read;
    return true;
  });
}

bool ReadKeyReal(std::u16string_view text, double& out) {
  return WithAscii(
      text, [&out](std::string_view ascii) { return ParseReal(ascii, out) == NumberStatus::kOk; });
}

}  // namespace mgmt::broker
