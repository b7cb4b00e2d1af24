// Loading the OEM SEL-parser plug-in: the configuration line, the ownership
// checks, and the entry's call.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "oemparser.h"
#include "runstate.h"
#include "selwatch_fixture.h"

using namespace selwatch_test;
using mgmt::selwatch::ParsePluginLine;
namespace fs = std::filesystem;

TEST(PluginLine, FieldWidthsAndAbsolutePaths) {
  std::string why;
  auto line = ParsePluginLine("LIBRARY: oemsel /usr/local/lib/liboemsel.so\n", &why);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->name, "oemsel");
  EXPECT_EQ(line->path, "/usr/local/lib/liboemsel.so");
  EXPECT_FALSE(ParsePluginLine("LIBRARY: oemsel", &why));
  EXPECT_TRUE(why.empty());  // not a LIBRARY line: the search goes on
  EXPECT_FALSE(ParsePluginLine("# LIBRARY: oemsel /usr/lib/x.so", &why));
  EXPECT_FALSE(ParsePluginLine("LIBRARY: oemsel lib/liboemsel.so", &why));
  EXPECT_NE(why.find("absolute"), std::string::npos);
  EXPECT_FALSE(ParsePluginLine(("LIBRARY: " + std::string(64, 'n') + " /x.so").c_str(), &why));
  EXPECT_NE(why.find("63"), std::string::npos);
  EXPECT_TRUE(ParsePluginLine(("LIBRARY: " + std::string(63, 'n') + " /x.so").c_str(), &why));
}

namespace {

class PluginTest : public SelwatchTest {
 protected:
  PluginTest()
      : confDir_(device_.Root() + "/usr/local/share/mgmtagent/hmon/hmconfig"),
        libDir_(device_.Root() + "/usr/local/lib/mgmtagent") {
    fs::create_directories(confDir_);
    fs::create_directories(libDir_);
    chmod(libDir_.c_str(), 0755);
    fs::copy_file(OEMTEST_PLUGIN, libDir_ + "/liboemtest.so");
    fs::copy_file(NOENTRY_PLUGIN, libDir_ + "/libnoentry.so");
  }
  ~PluginTest() override { CloseParserLib(&library_); }

  void WriteConf(const std::string& text, mode_t mode = 0644) {
    const std::string path = confDir_ + "/SELWATCHModule.conf";
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }
  bool Loaded() const { return library_.hLibrary != nullptr && library_.pfnParse != nullptr; }

  std::string confDir_;
  std::string libDir_;
  OEMPARSERLIBRARY library_{};
};

}  // namespace

TEST_F(PluginTest, TheFirstUsableLibraryLineIsLoadedAndItsEntryCalled) {
  WriteConf(
      "# OEM SEL parser\nLIBRARY: lonely\nLIBRARY: oemtest "
      "/usr/local/lib/mgmtagent/liboemtest.so\n");
  InitParserLib("", &library_);
  ASSERT_TRUE(Loaded());
  SELRECORDX record{};
  OEMPETDATA pet{};
  std::strcpy(pet.szSensorName, "CPU1 Temp");
  library_.pfnParse(&record, &pet);
  EXPECT_STREQ(pet.szSensorName, "OEM CPU1 Temp");
  CloseParserLib(&library_);
  EXPECT_EQ(library_.hLibrary, nullptr);
  EXPECT_EQ(library_.pfnParse, nullptr);
}

TEST_F(PluginTest, ALibraryWithoutTheEntryIsUnloadedAgain) {
  WriteConf("LIBRARY: noentry /usr/local/lib/mgmtagent/libnoentry.so\n");
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());
  EXPECT_EQ(library_.hLibrary, nullptr);
}

TEST_F(PluginTest, NothingIsLoadedThatOthersThanRootCouldHaveChanged) {
  const std::string line = "LIBRARY: oemtest /usr/local/lib/mgmtagent/liboemtest.so\n";
  WriteConf(line, 0664);
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());

  WriteConf(line);
  chmod((libDir_ + "/liboemtest.so").c_str(), 0757);
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());

  chmod((libDir_ + "/liboemtest.so").c_str(), 0755);
  chmod(libDir_.c_str(), 0777);
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());

  chmod(libDir_.c_str(), 0755);
  ASSERT_EQ(chown((libDir_ + "/liboemtest.so").c_str(), 65534, 65534), 0);
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());

  ASSERT_EQ(chown((libDir_ + "/liboemtest.so").c_str(), 0, 0), 0);
  InitParserLib("", &library_);
  EXPECT_TRUE(Loaded());
}

TEST_F(PluginTest, ALineLongerThanTheBufferIsRefusedNotCut) {
  // Cut at 127 characters the path would name liboemtest.so; whole, it names
  // nothing. The line is refused and the search goes on to the next one.
  std::string line = "LIBRARY: oemtest /usr/local/lib/mgmtagent/";
  line += std::string(127 - line.size() - std::string("liboemtest.so").size(), '/');
  line += "liboemtest.so.broken-by-the-cut\n";
  WriteConf(line + "LIBRARY: noentry /usr/local/lib/mgmtagent/libnoentry.so\n");
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());  // the next line's library, which has no entry
  WriteConf(line);
  InitParserLib("", &library_);
  EXPECT_FALSE(Loaded());
}

TEST_F(PluginTest, AMissingConfigurationIsLookedForOnceMoreAfterFiveSeconds) {
  mgmt::base::ManualClock clock;
  mgmt::selwatch::SetDaemonClock(&clock);
  std::thread loader([&] { InitParserLib("", &library_); });
  clock.WaitForSleepers(1);
  WriteConf("LIBRARY: oemtest /usr/local/lib/mgmtagent/liboemtest.so\n");
  clock.Advance(std::chrono::seconds(5));
  loader.join();
  EXPECT_TRUE(Loaded());

  CloseParserLib(&library_);
  fs::remove(confDir_ + "/SELWATCHModule.conf");
  std::thread again([&] { InitParserLib("", &library_); });
  clock.WaitForSleepers(1);
  clock.Advance(std::chrono::seconds(5));
  again.join();
  EXPECT_FALSE(Loaded());
}
