// Replays the fuzzer's entry over the real tables, every cut of one of them, and
// reproducible random mutations, so the invariants hold in every unit run too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "smbios_fuzz_entry.h"
#include "smbiosfixture.h"

namespace mgmt::test {
namespace {

Bytes ReadBin(const std::string& name) {
  std::ifstream in(SmbiosDataDir() / (name + ".bin"), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Fuzz(const Bytes& bytes) { return FuzzSmbiosTable(bytes.data(), bytes.size()); }

// The fuzzer's seed corpus: synthetic tables that need no shared data, so the
// invariants are checked also where the real tables are absent.
TEST(SmbiosFuzzReplay, SeedCorpus) {
  const auto corpus = std::filesystem::path(MGMT_SOURCE_DIR) / "tests/platform/smbios_corpus";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    EXPECT_EQ(Fuzz(bytes), "") << entry.path();
    ++seen;
  }
  EXPECT_GE(seen, 4);
}

TEST(SmbiosFuzzReplay, RealTablesAndEveryCutOfOne) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : SmbiosDumpNames()) {
    const Bytes file = ReadBin(name);
    EXPECT_EQ(Fuzz(file), "") << name;
    EXPECT_EQ(Fuzz(Bytes(file.begin() + 0x20, file.end())), "") << name;
  }
  const Bytes table = LoadSmbiosDump("07-dell-poweredge-1300").table;
  for (size_t cut = 0; cut <= table.size(); ++cut) {
    const Bytes prefix(table.begin(), table.begin() + static_cast<long>(cut));
    ASSERT_EQ(Fuzz(prefix), "") << "cut at " << cut;
  }
}

TEST(SmbiosFuzzReplay, RandomMutationsOfRealTables) {
  MGMT_REQUIRE_SMBIOS_DATA();
  std::mt19937 random(20240611);
  const auto names = SmbiosDumpNames();
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = ReadBin(names[round % names.size()]);
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      const size_t at = random() % bytes.size();
      // Mostly the bytes walks depend on: lengths, NULs, end markers.
      const uint8_t values[] = {0, 1, 3, 4, 0x7F, 0xFF, static_cast<uint8_t>(random())};
      bytes[at] = values[random() % std::size(values)];
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    ASSERT_EQ(Fuzz(bytes), "") << "round " << round;
  }
}

}  // namespace
}  // namespace mgmt::test
