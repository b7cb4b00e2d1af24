// Base64 against the RFC 4648 vectors, binary bytes, and what must be refused.
#include <gtest/gtest.h>

#include <string>

#include "base/base64.h"

namespace {

using mgmt::base::Base64Decode;
using mgmt::base::Base64Encode;

TEST(Base64, Rfc4648VectorsBothWays) {
  const struct {
    std::string plain, encoded;
  } cases[] = {{"", ""},
               {"f", "Zg=="},
               {"fo", "Zm8="},
               {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="},
               {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"},
               {std::string("\xff\xfe\x00:", 4), "//4AOg=="}};
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(c.plain), c.encoded) << c.encoded;
    EXPECT_EQ(Base64Decode(c.encoded), c.plain) << c.encoded;
  }
}

TEST(Base64, MalformedInputIsRefused) {
  for (const char* bad :
       {"Zg=", "Zg", "Z===", "=Zg=", "Zg=a", "Zg==Zg==", "Zm9v!A==", "Zm 9v", "Zm9v\n"})
    EXPECT_EQ(Base64Decode(bad), std::nullopt) << bad;
}

}  // namespace
