// The SEL position file "event.idx".
#include <gtest/gtest.h>

#include <fstream>

#include "selposition.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::selwatch::FormatSelPosition;
using mgmt::selwatch::ParseSelPosition;

TEST(SelPosition, LinesAreParsedIntoWideFieldsAndCheckedWhole) {
  const auto p = ParseSelPosition("0000012A 3F2B1C00 00000000");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->recordId, 0x12A);
  EXPECT_EQ(p->timestamp, 0x3F2B1C00u);
  EXPECT_EQ(FormatSelPosition(*p), "0000012A 3F2B1C00 00000000");
  EXPECT_TRUE(ParseSelPosition("2a ffffffff 1\n").has_value());
  EXPECT_EQ(ParseSelPosition("0000FFFF FFFFFFFF FFFFFFFF")->timestamp, 0xFFFFFFFFu);

  EXPECT_FALSE(ParseSelPosition("00010000 00000000 00000000"));   // ID beyond 16 bits
  EXPECT_FALSE(ParseSelPosition("0000012A 13F2B1C00 00000000"));  // nine digits
  EXPECT_FALSE(ParseSelPosition("0000012A 3F2B1C00"));            // a field missing
  EXPECT_FALSE(ParseSelPosition("0000012A 3F2B1C00 0000000G"));
  EXPECT_FALSE(ParseSelPosition("0000012A3F2B1C00 00000000"));
  EXPECT_FALSE(ParseSelPosition("0000012A 3F2B1C00 00000000 junk"));
  EXPECT_FALSE(ParseSelPosition(""));
}

namespace {
class PositionFileTest : public SelwatchTest {};
}  // namespace

TEST_F(PositionFileTest, ARefusedFileLeavesThePositionAsItWas) {
  g_wSELLastRecordID = 5;
  g_dwSELLastRecordTimestamp = 55;
  EXPECT_EQ(LoadSELLastRecord(), -1);  // no file
  std::ofstream(WorkFile("event.idx")) << "0000012A 3F2B1C";
  EXPECT_EQ(LoadSELLastRecord(), -1);
  std::ofstream(WorkFile("event.idx")) << "00012345 00000001 00000000";
  EXPECT_EQ(LoadSELLastRecord(), -1);
  EXPECT_EQ(g_wSELLastRecordID, 5);
  EXPECT_EQ(g_dwSELLastRecordTimestamp, 55u);

  std::ofstream(WorkFile("event.idx")) << "0000012A 3F2B1C00 00000007";
  EXPECT_EQ(LoadSELLastRecord(), 0);
  EXPECT_EQ(g_wSELLastRecordID, 0x12A);
  EXPECT_EQ(g_dwSELLastRecordFlag, 7u);

  g_wSELLastRecordID = 0x12B;
  SaveSELLastRecord();
  EXPECT_EQ(ReadWorkFile("event.idx"), "0000012B 3F2B1C00 00000007");
}
