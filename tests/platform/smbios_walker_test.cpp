// The bounded structure walker: what it reads from well-formed tables, and where
// it stops on malformed ones.
#include "smbios/walker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smbiosfixture.h"

namespace mgmt::smbios {
namespace {

using test::Bytes;
using test::Concat;
using test::MakeStructure;

struct Seen {
  size_t offset;
  uint8_t type;
  uint16_t handle;
  size_t size;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Walk(const Bytes& table, WalkStop* stop = nullptr) {
  std::vector<Seen> seen;
  Structures range(table);
  for (const Structure& s : range) seen.push_back({s.Offset(), s.Type(), s.Handle(), s.Size()});
  if (stop != nullptr) *stop = range.StopReason();
  return seen;
}

TEST(SmbiosWalker, StringsFieldsAndStepping) {
  // type 1 with three strings, a structure without strings, then the end marker.
  const Bytes system =
      MakeStructure(1, 0x0100, {1, 2, 3, 0x00, 0x7F}, {"Maker Inc.", "Product X", "Version 1"});
  const Bytes bare = MakeStructure(32, 0x2000, {0, 0, 0, 0, 0, 0, 0});
  const Bytes end = MakeStructure(127, 0x7F00, {});
  const Bytes table = Concat({system, bare, end});

  WalkStop stop;
  const auto seen = Walk(table, &stop);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (Seen{0, 1, 0x0100, system.size()}));
  // No strings: the next structure starts two bytes after the formatted area.
  EXPECT_EQ(seen[1], (Seen{system.size(), 32, 0x2000, 11u + 2u}));
  EXPECT_EQ(seen[2].type, 127);
  EXPECT_EQ(stop, WalkStop::kEndOfTable);

  const auto s = ReadStructure(table, 0);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->StringCount(), 3u);
  EXPECT_EQ(s->String(0), "");
  EXPECT_EQ(s->String(2), "Product X");
  EXPECT_EQ(s->String(4), std::nullopt);
  EXPECT_EQ(s->StringField(5), "Product X");
  EXPECT_EQ(s->StringField(7), "");            // number 0: no string
  EXPECT_EQ(s->StringField(8), std::nullopt);  // number 0x7F: beyond the set
  EXPECT_EQ(s->StringField(9), std::nullopt);  // beyond the formatted area
  EXPECT_EQ(s->Word(7), 0x7F00);
  EXPECT_EQ(s->Word(8), std::nullopt);  // would reach into the strings
  EXPECT_EQ(s->Dword(5), 0x7F000302u);
  EXPECT_FALSE(s->TooManyStrings());

  const auto b = ReadStructure(table, system.size());
  ASSERT_TRUE(b);
  EXPECT_EQ(b->StringCount(), 0u);
  EXPECT_EQ(b->String(1), std::nullopt);

  EXPECT_EQ(FindStructure(table, 32)->Offset(), system.size());
  EXPECT_EQ(FindStructure(table, 4), std::nullopt);
}

TEST(SmbiosWalker, EmptyFirstStringIsCountedAsTheSetSays) {
  // "\0abc\0\0": an empty string, then "abc"; the set ends at the double NUL.
  const Bytes table = {9, 4, 1, 0, 0, 'a', 'b', 'c', 0, 0};
  const auto s = ReadStructure(table, 0);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Size(), table.size());
  EXPECT_EQ(s->StringCount(), 2u);
  EXPECT_EQ(s->String(1), "");
  EXPECT_EQ(s->String(2), "abc");
}

TEST(SmbiosWalker, MalformedTablesEndTheWalkWithoutReadingPastTheEnd) {
  const Bytes good = MakeStructure(0, 0, {1, 2}, {"BIOS"});
  struct Case {
    const char* what;
    Bytes tail;
    WalkStop stop;
  };
  const std::vector<Case> cases = {
      {"three bytes left", {4, 8, 1}, WalkStop::kTruncatedHeader},
      {"length byte 3", {4, 3, 1, 0, 0, 0, 0, 0}, WalkStop::kShortLength},
      {"length byte 0", {4, 0, 1, 0, 0, 0}, WalkStop::kShortLength},
      {"formatted area past the end", {4, 0x20, 1, 0, 0, 0}, WalkStop::kTruncatedFormatted},
      {"no strings end", {4, 4, 1, 0, 'C', 'P', 'U'}, WalkStop::kUnterminatedStrings},
      {"one NUL only", {4, 4, 1, 0, 'C', 'P', 'U', 0}, WalkStop::kUnterminatedStrings},
      {"formatted area exactly to the end", {4, 4, 1, 0}, WalkStop::kUnterminatedStrings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes table = Concat({good, c.tail});
    WalkStop stop;
    const auto seen = Walk(table, &stop);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(stop, c.stop);
    EXPECT_EQ(FindStructure(table, 4), std::nullopt);
  }
  WalkStop stop;
  EXPECT_TRUE(Walk({}, &stop).empty());
  EXPECT_EQ(stop, WalkStop::kEndOfTable);
}

TEST(SmbiosWalker, MoreThan32StringsKeepsTheFirst32AndGoesOn) {
  Bytes many = {11, 5, 0x34, 0x12, 40};
  for (int i = 1; i <= 40; ++i) {
    const std::string text = "OEM string " + std::to_string(i);
    many.insert(many.end(), text.begin(), text.end());
    many.push_back(0);
  }
  many.push_back(0);
  const Bytes after = MakeStructure(12, 0x1235, {1}, {"Jumper"});
  const Bytes table = Concat({many, after});

  const auto seen = Walk(table);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].size, many.size());
  EXPECT_EQ(seen[1].handle, 0x1235);
  const auto s = ReadStructure(table, 0);
  EXPECT_TRUE(s->TooManyStrings());
  EXPECT_EQ(s->StringCount(), 32u);
  EXPECT_EQ(s->String(32), "OEM string 32");
  EXPECT_EQ(s->String(33), std::nullopt);
}

TEST(SmbiosWalker, RealTablesWalkLikeDmidecode) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = test::LoadSmbiosDump(name);
    const auto expected = test::DecodedStructures(dump.dmidecodeText);
    std::vector<test::DecodedStructure> walked;
    for (const Structure& s : Structures(dump.table)) {
      walked.push_back({s.Handle(), s.Type(), s.Length()});
    }
    // dmidecode stops at the end-of-table structure; the raw walk may go on
    // over what follows it.
    ASSERT_GE(walked.size(), expected.size());
    walked.resize(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      // dmidecode prints some type 34 structures declared with 16 bytes as the 11
      // it fixes them up to.
      if (expected[i].type == 34 && expected[i].length == 11) walked[i].length = 11;
    }
    EXPECT_EQ(walked, expected);
  }
}

}  // namespace
}  // namespace mgmt::smbios
