// bmcsetup's command line, including the form the provider built with a format
// whose empty values the shell dropped.
#include <gtest/gtest.h>

#include "bmcsetup_args.h"

using mgmt::bmcsetup::Mode;
using mgmt::bmcsetup::ParseArgs;

TEST(BmcSetupArgs, Modes) {
  EXPECT_EQ(ParseArgs({"-i"}).command->mode, Mode::kInit);
  EXPECT_EQ(ParseArgs({"-s"}).command->mode, Mode::kSync);
  auto c = ParseArgs({"-c", "15"});
  ASSERT_TRUE(c.command);
  EXPECT_EQ(c.command->mode, Mode::kChannel);
  EXPECT_EQ(c.command->channel, 15);
  for (auto args : std::vector<std::vector<std::string_view>>{{},
                                                              {"-i", "-s"},
                                                              {"-c"},
                                                              {"-c", "16"},
                                                              {"-c", "1x"},
                                                              {"-c", "-1"},
                                                              {"-x"},
                                                              {"-i", "-n", "admin"},
                                                              {"-c", "1", "-c", "2"}}) {
    EXPECT_FALSE(ParseArgs(args).command.has_value()) << args.size();
  }
}

TEST(BmcSetupArgs, UserAndPassword) {
  auto g = ParseArgs({"-g", "-n", "root", "-p", "-"});
  ASSERT_TRUE(g.command);
  EXPECT_EQ(g.command->mode, Mode::kGlobal);
  EXPECT_EQ(g.command->userName, "root");
  EXPECT_TRUE(g.command->passwordFromStdin);
  EXPECT_EQ(g.command->password, "");

  // The provider's form: password first, a trailing blank.
  g = ParseArgs({"-g", "-p", "s3cret", "-n", "root", ""});
  ASSERT_TRUE(g.command);
  EXPECT_EQ(g.command->password, "s3cret");
  EXPECT_FALSE(g.command->passwordFromStdin);
  EXPECT_EQ(g.command->userName, "root");

  // "-p  -n root" through a shell: the empty password vanished.
  g = ParseArgs({"-g", "-p", "-n", "root"});
  ASSERT_TRUE(g.command);
  EXPECT_EQ(g.command->password, "");
  EXPECT_EQ(g.command->userName, "root");
  g = ParseArgs({"-g", "-p", "pw", "-n"});
  ASSERT_TRUE(g.command);
  EXPECT_EQ(g.command->userName, "");

  // Data stays data: no shell ever sees it, but the BMC takes printable ASCII only.
  g = ParseArgs({"-g", "-n", "x;id"});
  ASSERT_TRUE(g.command);
  EXPECT_EQ(g.command->userName, "x;id");
  EXPECT_FALSE(ParseArgs({"-g", "-n", "12345678901234567"}).command);
  EXPECT_FALSE(ParseArgs({"-g", "-p", "line\nbreak"}).command);
  EXPECT_TRUE(ParseArgs({"-g", "-p", "1234567890123456"}).command);
}
