// The firmware-table drivers served through the device seam from exported
// tables: /dev/smbdrv checked against dmidecode on every kept real table,
// /dev/hmpdrv's handle chain, and when the seam serves them at all.
#include "firmwaredev.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "devseam.h"
#include "firmwareioctl.h"
#include "smbios/entrypoint.h"
#include "smbios/walker.h"
#include "smbiosfixture.h"

namespace mgmt::dev {
namespace {

using test::Bytes;
using test::Concat;
using test::MakeStructure;

struct SmbdrvAnswer {
  Bytes header;
  Bytes table;
};

// Issues both requests the way the table's users do; fails the test when either
// fails or request 2 writes past the announced length.
SmbdrvAnswer ReadSmbdrv() {
  SmbdrvAnswer answer;
  const DevFd fd(DevOpen("/dev/smbdrv", O_RDONLY));
  EXPECT_GE(fd.Get(), 3) << std::strerror(errno);
  answer.header.assign(smbios::kHeaderBufferSize, 0);
  EXPECT_EQ(DevIoctl(fd.Get(), SMBIOS_IOCTL_GET_HEADER, answer.header.data()), 0);
  const auto length = smbios::LegacyTableLength(answer.header);
  EXPECT_TRUE(length);
  if (!length) return answer;
  constexpr size_t kGuard = 64;
  Bytes buffer(*length + kGuard, 0xCC);
  EXPECT_EQ(DevIoctl(fd.Get(), SMBIOS_IOCTL_GET_TABLE, buffer.data()), 0);
  EXPECT_EQ(Bytes(buffer.begin() + *length, buffer.end()), Bytes(kGuard, 0xCC));
  answer.table.assign(buffer.begin(), buffer.begin() + *length);
  return answer;
}

struct ChainLink {
  uint16_t handle;
  Bytes bytes;
};

// Follows the /dev/hmpdrv chain from handle 0; stops after `limit` fetches so a
// loop fails the test instead of hanging it.
std::vector<ChainLink> FollowChain(int fd, size_t limit) {
  uint32_t largest = 0;
  EXPECT_EQ(DevIoctl(fd, kPnpGetMaxStructureSize, &largest), 0);
  std::vector<ChainLink> links;
  uint16_t handle = kPnpFirstHandle;
  Bytes buffer(largest + 2048);
  uint32_t size = static_cast<uint32_t>(buffer.size());
  while (links.size() < limit) {
    const uint16_t asked = handle;
    PnpStructureRequest request{&handle, &size, buffer.data()};
    if (DevIoctl(fd, kPnpGetStructure, &request) != 0) {
      ADD_FAILURE() << "fetch of handle " << asked << " failed: " << std::strerror(errno);
      break;
    }
    const auto s = smbios::ReadStructure(buffer, 0);
    EXPECT_TRUE(s);
    if (!s) break;
    EXPECT_LE(s->Size(), largest);
    links.push_back({s->Handle(), Bytes(s->Bytes().begin(), s->Bytes().end())});
    if (handle == kPnpNoMoreHandles) break;
  }
  return links;
}

class FirmwareDeviceTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  test::ScopedRoot root_{dir_.Path()};
};

TEST_F(FirmwareDeviceTest, SmbdrvAnswersEveryRealTableAsDmidecodeDecodesIt) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = test::LoadSmbiosDump(name);
    test::WriteFirmwareTables(dir_.Path(), dump.entryPoint, dump.table);
    const SmbdrvAnswer answer = ReadSmbdrv();
    ASSERT_FALSE(answer.table.empty());

    // The header is a valid legacy record in its own right.
    const Bytes& h = answer.header;
    ASSERT_EQ(std::string(h.begin(), h.begin() + 4), "_SM_");
    EXPECT_TRUE(test::ChecksumValid(h.data(), h[5]));
    EXPECT_TRUE(test::ChecksumValid(h.data() + 0x10, 0x0F));
    const auto expected = test::DecodedStructures(dump.dmidecodeText);
    ASSERT_GT(expected.size(), 40u);
    if (dump.entryPoint[1] == 'S' && dump.entryPoint[3] == '3') {
      EXPECT_EQ(h[5], 0x1F);
      EXPECT_EQ(h[6], dump.entryPoint[7]);
      EXPECT_EQ(h[7], dump.entryPoint[8]);
      EXPECT_EQ(h[0x1C] | h[0x1D] << 8, static_cast<int>(expected.size()));
    }

    // Re-assembled into a dump, it decodes to the same structures.
    const auto file = dir_.Write("dump.bin", test::AsText(test::AssembleDump(h, answer.table)));
    const std::string decoded = test::DmidecodeFromDump(file);
    EXPECT_EQ(test::DecodedStructures(decoded), expected);
    EXPECT_EQ(decoded.find("Wrong DMI structures"), std::string::npos);
    EXPECT_EQ(decoded.find("TRUNCATED"), std::string::npos);
  }
}

TEST_F(FirmwareDeviceTest, HmpdrvChainVisitsEveryRealStructureOnce) {
  MGMT_REQUIRE_SMBIOS_DATA();
  for (const std::string& name : test::SmbiosDumpNames()) {
    SCOPED_TRACE(name);
    const auto dump = test::LoadSmbiosDump(name);
    test::WriteFirmwareTables(dir_.Path(), dump.entryPoint, dump.table);
    const auto decoded = test::DecodedStructures(dump.dmidecodeText);
    std::set<uint16_t> handles;
    for (const auto& d : decoded) handles.insert(d.handle);

    const DevFd fd(DevOpen("/dev/hmpdrv", O_RDONLY));
    ASSERT_GE(fd.Get(), 3);
    const auto chain = FollowChain(fd.Get(), decoded.size() + 1);
    std::map<uint16_t, Bytes> fetched;
    for (const auto& link : chain) {
      EXPECT_TRUE(fetched.emplace(link.handle, link.bytes).second)
          << "handle " << link.handle << " visited twice";
    }
    EXPECT_EQ(chain.size(), handles.size());
    std::set<uint16_t> visited;
    for (const auto& [handle, bytes] : fetched) visited.insert(handle);
    EXPECT_EQ(visited, handles);
    // The chain starts at handle 0, wherever it stands in the table.
    ASSERT_FALSE(chain.empty());
    if (handles.count(0) != 0) {
      EXPECT_EQ(chain.front().handle, 0);
    }

    // Each structure comes as the firmware wrote it.
    for (const smbios::Structure& s : smbios::Structures(dump.table)) {
      const auto it = fetched.find(s.Handle());
      if (it == fetched.end()) continue;  // past the end marker
      EXPECT_EQ(it->second, Bytes(s.Bytes().begin(), s.Bytes().end())) << "handle " << s.Handle();
    }
  }
}

TEST_F(FirmwareDeviceTest, HmpdrvChainStartsAtHandleZeroWrapsAndSkipsRepeatedHandles) {
  // Handles in table order: 0x10, 0x00, 0x10 (repeated), 0x20, 0xFFFF, end marker.
  const Bytes first = MakeStructure(218, 0x10, {1}, {"first"});
  const Bytes zero = MakeStructure(0, 0x00, {1, 2}, {"BIOS"});
  const Bytes again = MakeStructure(1, 0x10, {0, 0, 0, 0});
  const Bytes other = MakeStructure(27, 0x20, {0, 0, 0x63});
  const Bytes unusable = MakeStructure(28, 0xFFFF, {});
  const Bytes end = MakeStructure(127, 0x7F, {});
  const Bytes table = Concat({first, zero, again, other, unusable, end});
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(table.size(), 6), table);

  const DevFd fd(DevOpen("/dev/hmpdrv", O_RDONLY));
  ASSERT_GE(fd.Get(), 3);
  const auto chain = FollowChain(fd.Get(), 10);
  std::vector<uint16_t> order;
  for (const auto& link : chain) order.push_back(link.handle);
  // From handle 0 to the end, then the structures before it; the structure that
  // repeats 0x10 in chain order is skipped (here: the table's first).
  EXPECT_EQ(order, (std::vector<uint16_t>{0x00, 0x10, 0x20, 0x7F}));
  EXPECT_EQ(chain[1].bytes, again);

  uint32_t largest = 0;
  ASSERT_EQ(DevIoctl(fd.Get(), kPnpGetMaxStructureSize, &largest), 0);
  EXPECT_EQ(largest, first.size());

  // A buffer too small or an unknown handle fails and changes nothing.
  Bytes small(zero.size() - 1, 0xCC);
  uint16_t handle = 0x00;
  uint32_t size = static_cast<uint32_t>(small.size());
  PnpStructureRequest request{&handle, &size, small.data()};
  EXPECT_EQ(DevIoctl(fd.Get(), kPnpGetStructure, &request), -1);
  EXPECT_EQ(errno, EOVERFLOW);
  EXPECT_EQ(handle, 0x00);
  EXPECT_EQ(small, Bytes(small.size(), 0xCC));
  handle = 0x30;
  EXPECT_EQ(DevIoctl(fd.Get(), kPnpGetStructure, &request), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(DevIoctl(fd.Get(), 0x52, &request), -1);
  EXPECT_EQ(errno, ENOTTY);
}

TEST_F(FirmwareDeviceTest, WithoutHandleZeroTheChainStartsAtTheFirstStructure) {
  const Bytes table = Concat({MakeStructure(1, 0x05, {0, 0, 0, 0}), MakeStructure(2, 0x06, {}),
                              MakeStructure(127, 0x07, {})});
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(table.size(), 3), table);
  const DevFd fd(DevOpen("/dev/hmpdrv", O_RDONLY));
  ASSERT_GE(fd.Get(), 3);
  const auto chain = FollowChain(fd.Get(), 10);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[0].handle, 0x05);
  EXPECT_EQ(chain[2].handle, 0x07);
}

TEST_F(FirmwareDeviceTest, EachOpenTakesOneSnapshot) {
  const Bytes one = Concat({MakeStructure(1, 0x01, {0, 0, 0, 0}), MakeStructure(127, 0x02, {})});
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(one.size(), 2), one);
  const DevFd fd(DevOpen("/dev/smbdrv", O_RDONLY));
  ASSERT_GE(fd.Get(), 3);

  // The tables change after the open: that descriptor keeps answering the old one.
  const Bytes two = Concat({MakeStructure(2, 0x03, {0, 0, 0, 0}), one});
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(two.size(), 3), two);
  Bytes header(64, 0);
  ASSERT_EQ(DevIoctl(fd.Get(), SMBIOS_IOCTL_GET_HEADER, header.data()), 0);
  EXPECT_EQ(smbios::LegacyTableLength(header), one.size());
  Bytes table(one.size());
  ASSERT_EQ(DevIoctl(fd.Get(), SMBIOS_IOCTL_GET_TABLE, table.data()), 0);
  EXPECT_EQ(table, one);
  EXPECT_EQ(DevIoctl(fd.Get(), 3, table.data()), -1);
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(DevMmap(fd.Get(), 4096, 1, 1, 0), reinterpret_cast<void*>(-1));

  // A new open sees the new table.
  EXPECT_EQ(smbios::LegacyTableLength(ReadSmbdrv().header), two.size());
}

TEST_F(FirmwareDeviceTest, OpenFailsAsForAMissingDriverWithoutUsableTables) {
  errno = 0;
  EXPECT_EQ(DevOpen("/dev/smbdrv", O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(DevOpen("/dev/hmpdrv", O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);

  // Only the entry point: still missing.
  dir_.Write("sys/firmware/dmi/tables/smbios_entry_point",
             test::AsText(test::MakeSmEntryPoint(10, 1)));
  EXPECT_EQ(DevOpen("/dev/smbdrv", O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);

  // An entry point of no known kind.
  test::WriteFirmwareTables(dir_.Path(), Bytes(31, 0x5F), Concat({MakeStructure(127, 1, {})}));
  EXPECT_EQ(DevOpen("/dev/smbdrv", O_RDONLY), -1);
  EXPECT_EQ(errno, ENODEV);

  // Other paths are never emulated.
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(6, 1),
                            Concat({MakeStructure(127, 1, {})}));
  EXPECT_EQ(DevOpen("/dev/smbdrv0", O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(FirmwareDeviceTest, AnInstalledDriverIsUsedInsteadOfTheTables) {
  const Bytes table = Concat({MakeStructure(127, 1, {})});
  test::WriteFirmwareTables(dir_.Path(), test::MakeSmEntryPoint(table.size(), 1), table);
  // Something at the device's path (here a plain file) gets the real calls.
  dir_.Write("dev/smbdrv", std::string_view("not a driver"));
  const DevFd fd(DevOpen("/dev/smbdrv", O_RDONLY));
  ASSERT_GE(fd.Get(), 3);
  struct stat st {};
  ASSERT_EQ(fstat(fd.Get(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  char text[12] = {};
  EXPECT_EQ(read(fd.Get(), text, sizeof text), 12);
}

}  // namespace
}  // namespace mgmt::dev
