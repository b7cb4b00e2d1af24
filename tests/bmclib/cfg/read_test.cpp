// How the store reads a file: sections, keys, values, line ends, numbers.
#include <climits>
#include <cstring>
#include <string>

#include "cfgtest.h"

namespace {

using CfgRead = CfgTest;

TEST_F(CfgRead, MissingOrUnreadableFilesGiveAnEmptyUsableHandle) {
  CfgPtr missing(CfgOpen(PathOf("nothere.conf").c_str()));
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->status, CFG_NOFILE);
  char buf[8] = "keep";
  EXPECT_EQ(CfgReadString(missing.get(), "S", "k", buf, sizeof buf), -1);
  EXPECT_STREQ(buf, "keep");
  CfgReadStringDef(missing.get(), "S", "k", buf, sizeof buf, "dflt");
  EXPECT_STREQ(buf, "dflt");

  std::filesystem::create_directory(dir_ / "adir");
  CfgPtr dir(CfgOpen(PathOf("adir").c_str()));
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->status, CFG_UNREADABLE);
  EXPECT_EQ(dir->head->next, nullptr);
  EXPECT_EQ(CfgNew(nullptr), nullptr);
}

TEST_F(CfgRead, KeysAndSectionsAreTakenLiterally) {
  auto cfg = Open(
      "k0=before any section\n"
      "[IPMIConfig]\n"
      "key = value\n"
      "Key=upper\n"
      ";key=comment\n"
      "text without equals\n"
      "=novalue\n"
      "url=a=b\n"
      "empty=\n"
      "[Channel_1] ; note\n"
      "IP=10.0.0.1\n");
  ASSERT_NE(cfg, nullptr);
  EXPECT_EQ(Get(cfg, "IPMIConfig", "key "), " value");
  EXPECT_EQ(Get(cfg, "IPMIConfig", "key"), "<none>");
  EXPECT_EQ(Get(cfg, "IPMIConfig", "Key"), "upper");
  EXPECT_EQ(Get(cfg, "ipmiconfig", "Key"), "<none>");
  EXPECT_EQ(Get(cfg, "IPMIConfig", ";key"), "<none>");
  EXPECT_EQ(Get(cfg, "IPMIConfig", "url"), "a=b");
  EXPECT_EQ(Get(cfg, "IPMIConfig", "empty"), "");
  EXPECT_EQ(Get(cfg, "IPMIConfig", ""), "<none>");
  EXPECT_EQ(Get(cfg, "Channel_1", "IP"), "10.0.0.1");
  EXPECT_EQ(Get(cfg, "Channel_1", "url"), "<none>");  // a section ends at the next header
  EXPECT_EQ(Get(cfg, "", "k0"), "<none>");
}

TEST_F(CfgRead, TheFirstOfTwoEqualSectionsOrKeysIsFound) {
  auto cfg = Open("[S]\nk=1\nk=2\n[T]\nk=t\n[S]\nk=3\nonly=second\n");
  EXPECT_EQ(Get(cfg, "S", "k"), "1");
  EXPECT_EQ(Get(cfg, "S", "only"), "<none>");
  // The cached section is used again, and a different one is still looked up.
  EXPECT_EQ(Get(cfg, "T", "k"), "t");
  EXPECT_EQ(Get(cfg, "S", "k"), "1");
}

TEST_F(CfgRead, CrLfLinesReadTheSameAsLf) {
  auto cfg = Open("[S]\r\nk=v\r\nlast=x\r");
  EXPECT_EQ(Get(cfg, "S", "k"), "v");
  EXPECT_EQ(Get(cfg, "S", "last"), "x\r");  // only a CR before a line end goes

  char buf[8];
  EXPECT_EQ(xfgets(buf, sizeof buf, nullptr), nullptr);
}

TEST_F(CfgRead, ReadStringCutsToTheBuffer) {
  auto cfg = Open("[S]\nk=abcdef\n");
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(CfgReadString(cfg.get(), "S", "k", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(CfgReadString(cfg.get(), "S", "k", buf, 0), -1);
  char def[4];
  CfgReadStringDef(cfg.get(), "S", "none", def, sizeof def, "defaults");
  EXPECT_STREQ(def, "def");
}

TEST_F(CfgRead, NumberListsParseLikeStrtol) {
  auto cfg = Open("[S]\na=1 2\nb=010\nc=0x0 0xAB \nd=5 x 7\n");
  long v[4] = {9, 9, 9, 9};
  ASSERT_EQ(CfgReadLongs(cfg.get(), "S", "a", v, 4), 0);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], 0);
  ASSERT_EQ(CfgReadLongs(cfg.get(), "S", "b", v, 1), 0);
  EXPECT_EQ(v[0], 8);
  ASSERT_EQ(CfgReadLongs(cfg.get(), "S", "c", v, 2), 0);
  EXPECT_EQ(v[1], 0xAB);
  ASSERT_EQ(CfgReadLongs(cfg.get(), "S", "d", v, 4), 0);
  EXPECT_EQ(v[0], 5);
  EXPECT_EQ(v[1], 0);  // "x" is no number and is stepped over
  EXPECT_EQ(v[2], 7);
  EXPECT_EQ(v[3], 0);

  long untouched[2] = {4, 4};
  EXPECT_EQ(CfgReadLongs(cfg.get(), "S", "none", untouched, 2), -1);
  EXPECT_EQ(untouched[0], 4);
}

TEST_F(CfgRead, LinesLongerThanTheOldBufferStayWhole) {
  const std::string value(300, 'v');
  const std::string comment = ";" + std::string(400, 'c');
  const std::string text = "[S]\n" + comment + "\nlong=" + value + "\nafter=1\n";
  auto cfg = Open(text);
  char buf[512];
  ASSERT_EQ(CfgReadString(cfg.get(), "S", "long", buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf), value);
  EXPECT_EQ(Get(cfg, "S", "after"), "1");

  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "after", "2"), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), "[S]\n" + comment + "\nlong=" + value + "\nafter=2\n");
}

TEST_F(CfgRead, ReadingAgainReplacesTheLines) {
  auto cfg = Open("[S]\nk=1\n");
  EXPECT_EQ(Get(cfg, "S", "k"), "1");  // caches the section header
  Write("c.conf", "[S]\nk=2\n");
  EXPECT_EQ(CfgCache(cfg.get()), CFG_OK);
  EXPECT_EQ(Get(cfg, "S", "k"), "2");
  ASSERT_EQ(CfgWriteString(cfg.get(), "S", "j", "3"), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read("c.conf"), "[S]\nk=2\nj=3\n");
}

TEST_F(CfgRead, AbsolutePathsGoUnderTheInstallationRoot) {
  const std::string conf = "/usr/local/share/mgmtagent/hmon/hmconfig/ipmi.conf";
  std::filesystem::create_directories(dir_ / "usr/local/share/mgmtagent/hmon/hmconfig");
  Write(conf.substr(1), "[IPMIConfig]\nBMCSendEvent=1 \n");
  setenv("MGMTAGENT_ROOT", dir_.c_str(), 1);
  CfgPtr cfg(CfgOpen(conf.c_str()));
  EXPECT_EQ(Get(cfg, "IPMIConfig", "BMCSendEvent"), "1 ");
  ASSERT_EQ(CfgWriteString(cfg.get(), "IPMIConfig", "BMCSendEvent", "0 "), 0);
  ASSERT_EQ(CfgFlush(cfg.get()), 0);
  EXPECT_EQ(Read(conf.substr(1)), "[IPMIConfig]\nBMCSendEvent=0 \n");
}

}  // namespace
