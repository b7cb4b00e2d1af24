// Basic authentication does the same work for every user name: an unknown or
// locked user costs one hash computation of the same method and cost as a known
// user with a wrong password, so the time of a refusal tells nothing about which
// user names exist. Counted through the hash seam, never timed.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "PasswordFile.h"
#include "support/temp_dir.h"

namespace cimom = mgmt::cimom;

namespace {

// The method and cost part of a crypt(3) string: "$id$" and, when the method
// writes one, the parameter field after it ("$y$j9T$", "$6$rounds=N$", "$2b$12$").
std::string MethodAndCost(const std::string& hash) {
  if (hash.empty() || hash[0] != '$') return hash.substr(0, 0);
  std::size_t second = hash.find('$', 1);
  if (second == std::string::npos) return hash;
  std::size_t third = hash.find('$', second + 1);
  std::string field = hash.substr(second + 1, third == std::string::npos ? 0 : third - second);
  const bool isParameter = hash.compare(0, 3, "$y$") == 0 || hash.compare(0, 3, "$2b") == 0 ||
                           field.rfind("rounds=", 0) == 0;
  return isParameter ? hash.substr(0, third + 1) : hash.substr(0, second + 1);
}

class PasswordCheckWork : public ::testing::Test {
 protected:
  cimom::PasswordChecker Checker() {
    return cimom::PasswordChecker(path_, [this](const std::string& pw, const std::string& setting) {
      settings_.push_back(setting);
      return cimom::CryptHash(pw, setting);
    });
  }
  // The settings hashed with by one check.
  std::vector<std::string> During(cimom::PasswordChecker& checker, const std::string& user,
                                  const std::string& password, bool expected) {
    settings_.clear();
    EXPECT_EQ(checker.Check(user, password), expected) << user;
    return settings_;
  }

  mgmt::test::TempDir dir_{"cimpwwork"};
  std::string path_ = (dir_ / "passwd").string();
  std::vector<std::string> settings_;
};

TEST_F(PasswordCheckWork, UnknownAndLockedUsersCostOneHashOfTheSameMethodAndCost) {
  ASSERT_EQ(cimom::SetPassword(path_, "alice", "s3cret"), "");
  ASSERT_EQ(cimom::SetPassword(path_, "bob", "other"), "");
  std::string aliceHash = cimom::ReadPasswordFile(path_)->at("alice");
  {
    std::ofstream out(path_, std::ios::app);
    out << "locked:!" << aliceHash << "\n";
  }
  cimom::PasswordChecker checker = Checker();

  auto wrong = During(checker, "alice", "wrong", false);
  ASSERT_EQ(wrong.size(), 1u);
  EXPECT_EQ(wrong[0], aliceHash);
  for (const char* user : {"nobody", "locked", "ALICE"}) {
    auto unknown = During(checker, user, "wrong", false);
    ASSERT_EQ(unknown.size(), 1u) << user;
    EXPECT_EQ(MethodAndCost(unknown[0]), MethodAndCost(aliceHash)) << user << ": " << unknown[0];
    EXPECT_FALSE(MethodAndCost(unknown[0]).empty()) << unknown[0];
  }
  // Whatever the dummy is checked against, an unknown user never gets in, not
  // even with a password some user has.
  EXPECT_EQ(During(checker, "nobody", "s3cret", false).size(), 1u);
  EXPECT_EQ(During(checker, "nobody", "other", false).size(), 1u);
  EXPECT_EQ(During(checker, "locked", "s3cret", false).size(), 1u);
  EXPECT_EQ(During(checker, "alice", "s3cret", true).size(), 1u);
}

TEST_F(PasswordCheckWork, WithoutUsersARefusalStillCostsAHash) {
  cimom::PasswordChecker missing = Checker();
  EXPECT_EQ(During(missing, "nobody", "pw", false).size(), 1u);
  { std::ofstream(path_) << "# no users yet\n"; }
  cimom::PasswordChecker empty = Checker();
  EXPECT_EQ(During(empty, "nobody", "pw", false).size(), 1u);
}

}  // namespace
