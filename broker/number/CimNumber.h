// The one reader of CIM number texts: integers of every CIM width and reals,
// used wherever a number arrives as text (CIM-XML values and key values, method
// parameters sent as text, object-path keys, MOF literals).
//
// Grammar (one set of rules for every caller):
//   text     = *blank number *blank
//   blank    = space | tab | CR | LF      (XML white space; never inside a number)
//   integer  = [sign] ( "0" | nonzero *digit | ("0x" | "0X") 1*hexdigit )
//   real     = [sign] ( 1*digit ["." *digit] | "." 1*digit ) [("e" | "E") [sign] 1*digit]
//            | [sign] "INF" | "NaN"       (letters in any case)
//   sign     = "+" | "-"                  (at most one: "+-5" is refused)
// MOF literals (NumberSyntax::kMof) also read the two forms only MOF has:
//   binary   = [sign] 1*("0" | "1") ("b" | "B")
//   octal    = [sign] "0" 1*octdigit
// Outside MOF a decimal with a leading zero ("05") is refused rather than read as
// decimal, so no text means one number in a MOF file and another on the wire.
//
// An integer is read as a sign and a magnitude and must then fit the target
// width: "-0" is 0 for every type, "-1" is out of range for the unsigned ones.
// Reals are read with std::from_chars, never with the C library's locale-aware
// functions: a decimal comma in the process locale changes nothing. A finite
// text beyond the target's range is refused (real32 therefore refuses 1e39); a
// value too small for the target rounds to zero as IEEE arithmetic does.
#ifndef MGMT_BROKER_CIMNUMBER_H
#define MGMT_BROKER_CIMNUMBER_H

#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>

namespace mgmt::broker {

enum class NumberSyntax {
  kValue,  ///< CIM-XML values, method parameters, key values
  kMof,    ///< kValue plus the binary and octal integer forms of MOF
};

enum class NumberStatus {
  kOk,
  kMalformed,   ///< not a number of the asked kind
  kOutOfRange,  ///< a number, but not one the target type holds
};

/// An integer as written, before it is fitted to a width. Zero is never negative.
struct IntegerText {
  bool negative = false;
  std::uint64_t magnitude = 0;
};

/// The text without the blanks the grammar allows around a number.
std::string_view StripNumberBlanks(std::string_view text);
std::u16string_view StripNumberBlanks(std::u16string_view text);

/// Reads an integer of any sign and a magnitude up to 2^64-1 (kOutOfRange above).
NumberStatus ReadInteger(std::string_view text, IntegerText& out,
                         NumberSyntax syntax = NumberSyntax::kValue);

namespace detail {
/// kOk when a read integer lies in [minimum, maximum] (minimum <= 0 <= maximum).
NumberStatus FitInteger(const IntegerText& in, std::int64_t minimum, std::uint64_t maximum);
}  // namespace detail

/// Reads an integer of one CIM width (uint8 ... sint64 as their C++ types).
/// `out` is left alone unless the result is kOk.
template <class T>
NumberStatus ParseInteger(std::string_view text, T& out,
                          NumberSyntax syntax = NumberSyntax::kValue) {
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
  IntegerText read;
  NumberStatus status = ReadInteger(text, read, syntax);
  if (status != NumberStatus::kOk) return status;
  status = detail::FitInteger(read, std::numeric_limits<T>::min(),
                              static_cast<std::uint64_t>(std::numeric_limits<T>::max()));
  if (status != NumberStatus::kOk) return status;
  // Negation in the unsigned domain, so the minimum of a signed type converts
  // without overflow.
  out = static_cast<T>(read.negative ? 0 - read.magnitude : read.magnitude);
  return NumberStatus::kOk;
}

/// Reads a real32 or real64. `out` is left alone unless the result is kOk.
NumberStatus ParseReal(std::string_view text, float& out);
NumberStatus ParseReal(std::string_view text, double& out);

/// Whether a NUMERIC key value reads as an integer a key can hold: a uint64 or,
/// with a minus sign, a sint64. The same value for every spelling of it.
bool ReadKeyInteger(std::u16string_view text, IntegerText& out);
/// Whether a NUMERIC key value that is not an integer reads as a real64.
bool ReadKeyReal(std::u16string_view text, double& out);

}  // namespace mgmt::broker

#endif
