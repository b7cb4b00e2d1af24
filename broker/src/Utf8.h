// UTF-8 <-> UTF-16 conversion for String. Invalid UTF-8 (bad lead or
// continuation bytes, overlong forms, surrogates, values above U+10FFFF,
// truncated sequences) is refused with an Exception naming the byte index.
#ifndef BROKER_UTF8_H
#define BROKER_UTF8_H

#include <string>
#include <string_view>

namespace Pegasus::broker {

std::u16string utf8ToUtf16(std::string_view in);
/// Unpaired surrogates are written as U+FFFD.
std::string utf16ToUtf8(std::u16string_view in);

}  // namespace Pegasus::broker

#endif
