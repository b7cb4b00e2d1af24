// imbraw's command line: what it accepts and, above all, what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imbapi.h"
#include "imbraw_args.h"

using mgmt::imbraw::ParseArgs;
using mgmt::imbraw::ParseHexByte;
using mgmt::imbraw::ParseResult;
using mgmt::imbraw::ParseTimeout;

namespace {

ParseResult Parse(std::vector<std::string_view> args) { return ParseArgs(args); }

TEST(ImbrawHexByte, AcceptsOneOrTwoDigitsWithOrWithoutPrefix) {
  EXPECT_EQ(ParseHexByte("6"), 0x06);
  EXPECT_EQ(ParseHexByte("06"), 0x06);
  EXPECT_EQ(ParseHexByte("0x06"), 0x06);
  EXPECT_EQ(ParseHexByte("0XfF"), 0xFF);
  EXPECT_EQ(ParseHexByte("0"), 0x00);
}

TEST(ImbrawHexByte, RefusesJunkSignsAndOverflow) {
  for (std::string_view bad :
       {"", "0x", "100", "0x100", "g1", "1g", "-1", "+1", " 1", "1 ", "0x-1", "x1", "0x0x1"})
    EXPECT_FALSE(ParseHexByte(bad).has_value()) << "'" << bad << "'";
}

TEST(ImbrawTimeout, DecimalWithinBounds) {
  EXPECT_EQ(ParseTimeout("1"), 1);
  EXPECT_EQ(ParseTimeout("45000"), 45000);
  EXPECT_EQ(ParseTimeout("3600000"), mgmt::imbraw::kMaxTimeoutMs);
  for (std::string_view bad :
       {"", "0", "-5", "+5", "3600001", "99999999999", "1e3", "0x10", "10ms"})
    EXPECT_FALSE(ParseTimeout(bad).has_value()) << "'" << bad << "'";
}

TEST(ImbrawArgs, RequestWithDefaults) {
  auto r = Parse({"06", "01"});
  ASSERT_TRUE(r.request) << r.error;
  EXPECT_EQ(r.request->netFn, 0x06);
  EXPECT_EQ(r.request->cmd, 0x01);
  EXPECT_EQ(r.request->slaveAddress, 0x20);
  EXPECT_EQ(r.request->lun, 0);
  EXPECT_EQ(r.request->timeoutMs, 30000);
  EXPECT_TRUE(r.request->data.empty());
}

TEST(ImbrawArgs, OptionsAndDataInOrder) {
  auto r = Parse({"--timeout", "45000", "0a", "--lun", "2", "0x43", "00", "00", "--addr", "0x22",
                  "01", "00", "00", "ff"});
  ASSERT_TRUE(r.request) << r.error;
  EXPECT_EQ(r.request->timeoutMs, 45000);
  EXPECT_EQ(r.request->slaveAddress, 0x22);
  EXPECT_EQ(r.request->lun, 2);
  EXPECT_EQ(r.request->netFn, 0x0A);
  EXPECT_EQ(r.request->cmd, 0x43);
  EXPECT_EQ(r.request->data, (std::vector<uint8_t>{0, 0, 1, 0, 0, 0xFF}));
}

TEST(ImbrawArgs, DoubleDashEndsOptions) {
  auto r = Parse({"--", "06", "01"});
  ASSERT_TRUE(r.request) << r.error;
  EXPECT_EQ(r.request->cmd, 0x01);
  // After "--" an option-like word is a (bad) byte, not an option.
  EXPECT_FALSE(Parse({"06", "--", "01", "--lun"}).request);
}

TEST(ImbrawArgs, HelpWins) {
  auto r = Parse({"06", "--help"});
  EXPECT_TRUE(r.help);
  EXPECT_FALSE(r.request);
}

TEST(ImbrawArgs, RefusalsSayWhatIsWrong) {
  struct Case {
    std::vector<std::string_view> args;
    std::string_view message;
  };
  const std::vector<Case> cases{
      {{}, "NETFN and CMD are required"},
      {{"06"}, "NETFN and CMD are required"},
      {{"40", "01"}, "bad NETFN \"40\""},
      {{"06", "1x"}, "bad CMD \"1x\""},
      {{"06", "01", "00", "zz"}, "bad data byte \"zz\" (byte 2)"},
      {{"--timeout"}, "--timeout needs a value"},
      {{"--timeout", "0", "06", "01"}, "bad time-out \"0\""},
      {{"--lun", "4", "06", "01"}, "bad LUN \"4\""},
      {{"--addr", "120", "06", "01"}, "bad slave address \"120\""},
      {{"--verbose", "06", "01"}, "unknown option \"--verbose\""},
  };
  for (const auto& c : cases) {
    auto r = ParseArgs(c.args);
    EXPECT_FALSE(r.request);
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
  }
}

TEST(ImbrawArgs, DataLengthLimitedByTheDriverBuffer) {
  std::vector<std::string_view> args{"06", "01"};
  args.insert(args.end(), IMB_MAX_REQUEST_DATA, "ab");
  auto full = ParseArgs(args);
  ASSERT_TRUE(full.request) << full.error;
  EXPECT_EQ(full.request->data.size(), static_cast<size_t>(IMB_MAX_REQUEST_DATA));

  args.push_back("ab");
  auto over = ParseArgs(args);
  EXPECT_FALSE(over.request);
  EXPECT_NE(over.error.find("too many data bytes"), std::string::npos) << over.error;
}

}  // namespace
