// Object-path text arrives from clients. Random texts built from the path
// alphabet must either parse, and then survive a print/parse round trip, or
// be refused with MalformedObjectNameException; nothing else may happen.
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <random>

PEGASUS_USING_PEGASUS;

namespace {

std::string randomPath(std::mt19937& rng) {
  // Pieces that make real paths likely, plus single characters that break them.
  static const char* const pieces[] = {
      "//", "h",  "host:5988", "/",        "root", "cimv2", ":",    "X_Y", ".",
      "Id", "=",  "\"",        "\\",       ",",    "1",     "0x1F", "-",   "TRUE",
      "f",  "05", "a=b",       "\xc3\xa9", " ",    "[::1]", "0",    "x"};
  std::uniform_int_distribution<size_t> count(1, 14);
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::string out;
  for (size_t i = count(rng); i > 0; i--) out += pieces[pick(rng)];
  return out;
}

TEST(PathFuzz, ParseOrRefuseNeverAnythingElse) {
  std::mt19937 rng(20240601);
  int parsed = 0;
  for (int i = 0; i < 30000; i++) {
    std::string text = randomPath(rng);
    try {
      CIMObjectPath p{String(text.c_str())};
      parsed++;
      String printed = p.toString();
      CIMObjectPath again(printed);
      ASSERT_TRUE(again == p) << text << " printed as " << printed;
      ASSERT_EQ(again.toString(), printed) << text;
      ASSERT_EQ(again.makeHashCode(), p.makeHashCode()) << text;
    } catch (const MalformedObjectNameException&) {
    } catch (const Exception& e) {
      FAIL() << "'" << text << "' threw " << e.getMessage();
    }
  }
  // The generator must reach the accepting paths too, or the test proves little.
  EXPECT_GT(parsed, 500);
}

}  // namespace
