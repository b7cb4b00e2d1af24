// Bytes of unknown encoding become CIM strings without loss.
#include <gtest/gtest.h>

#include <string>

#include "BytesText.h"

namespace {

using mgmt::broker::StringFromBytes;

std::u16string Units(const Pegasus::String& s) {
  std::u16string out;
  for (Pegasus::Uint32 i = 0; i < s.size(); ++i) out.push_back(static_cast<char16_t>(s[i]));
  return out;
}

TEST(BytesText, Utf8IsKeptAndEverythingElseIsReadAsLatin1) {
  EXPECT_EQ(Units(StringFromBytes("")), u"");
  EXPECT_EQ(Units(StringFromBytes("Rack Server")), u"Rack Server");
  EXPECT_EQ(Units(StringFromBytes("\xC3\xA9t\xC3\xA9")), u"\u00E9t\u00E9");
  // Firmware written in Latin-1: the same word, one byte per letter.
  EXPECT_EQ(Units(StringFromBytes("\xE9t\xE9")), u"\u00E9t\u00E9");
  // A sequence cut at the end, and bytes above 0x7F that start nothing.
  EXPECT_EQ(Units(StringFromBytes("ab\xC3")), u"ab\u00C3");
  EXPECT_EQ(Units(StringFromBytes("\xFF\x80")), u"\u00FF\u0080");
  // Every byte counts, also a NUL inside the text.
  EXPECT_EQ(StringFromBytes(std::string_view("a\0\xE9", 3)).size(), 3u);
}

}  // namespace
