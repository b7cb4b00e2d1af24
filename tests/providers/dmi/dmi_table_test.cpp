// The module-wide SMBIOS table: loading it through the driver's two requests, the
// string functions over it, the factory, the providers' shares of the table, and
// the operations every provider has in common.
#include <gtest/gtest.h>

#include <Pegasus/Provider/ProviderException.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BiosDeviceProvider.h"
#include "BiosProviderMain.h"
#include "SM_BaseBoard.h"
#include "SM_Processor.h"
#include "dmi_test_util.h"
#include "firmwareioctl.h"
#include "smbiosfixture.h"
#include "support/provider_driver.h"
#include "support/temp_dir.h"

namespace {

using namespace Pegasus;
using dmitest::LogCapture;
using mgmt::test::Concat;
using mgmt::test::MakeStructure;
using mgmt::test::ProviderDriver;
using Bytes = std::vector<std::uint8_t>;

const std::string kHeadFailed = "ERROR, init_dmiInfo(): get dmi head info unsuccessfully!\n";
const std::string kTableFailed = "ERROR, init_dmiInfo(): get dmi buffer info unsuccessfully!\n";
const std::string kOpenFailed = "ERROR, PegasusCreateProvider(): Failed to open mgmtdrv\n";
const std::string kInitFailed = "ERROR, PegasusCreateProvider(): init_dmiINfo() error\n";
const std::string kTooMany = "ERROR, Too many strings for one DMI structure\n";

Bytes Board(const char* model) { return MakeStructure(2, 0x200, {1, 2, 0, 0}, {"Maker", model}); }

Bytes EndOfTable() { return MakeStructure(127, 0xFFFE, {}); }

// Answers the two requests of the table driver from bytes.
struct FakeDriver {
  Bytes header;
  Bytes table;
  int headerResult = 0;
  int tableResult = 0;
  int tableRequests = 0;

  int operator()(unsigned long request, void* argument) {
    auto* out = static_cast<unsigned char*>(argument);
    if (request == SMBIOS_IOCTL_GET_HEADER) {
      if (headerResult == 0)
        std::memcpy(out, header.data(), std::min<std::size_t>(header.size(), 64));
      return headerResult;
    }
    ++tableRequests;
    if (tableResult == 0) std::memcpy(out, table.data(), table.size());
    return tableResult;
  }
  int Load() {
    return mgmt::dmi::LoadDmiTable([this](unsigned long r, void* a) { return (*this)(r, a); });
  }
};

FakeDriver SmDriver(const Bytes& table) {
  return {mgmt::test::MakeSmEntryPoint(static_cast<std::uint16_t>(table.size()), 1), table};
}

class DmiTable : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
    mgmt::dmi::DiscardDmiTable();
    g_nBIOSBufUsedNum = 0;
  }
  static int Load(FakeDriver& driver) {
    const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
    return driver.Load();
  }
};

TEST_F(DmiTable, LengthComesFromEitherLegacyRecord) {
  const Bytes table = Concat({Board("A"), EndOfTable()});
  FakeDriver sm = SmDriver(table);
  ASSERT_EQ(Load(sm), 0);
  EXPECT_EQ(g_nBIOSBufSize, table.size());
  EXPECT_EQ(Bytes(g_pBIOSBufContent, g_pBIOSBufContent + g_nBIOSBufSize), table);
  EXPECT_EQ(g_nInitBiosNow, 0);
  EXPECT_EQ(g_pBIOSBuf, nullptr);

  Reset();
  FakeDriver dmi = sm;
  dmi.header.erase(dmi.header.begin(), dmi.header.begin() + 16);  // the bare "_DMI_" part
  ASSERT_EQ(Load(dmi), 0);
  EXPECT_EQ(g_nBIOSBufSize, table.size());
}

TEST_F(DmiTable, RawSm3RecordAndFailedRequestsLeaveNothingLoaded) {
  LogCapture log;
  const Bytes table = Concat({Board("A"), EndOfTable()});
  // Bytes 22 and 23 of an "_SM3_" record belong to the table address.
  FakeDriver sm3{mgmt::test::MakeSm3EntryPoint(4096), table};
  EXPECT_EQ(Load(sm3), -1);
  EXPECT_EQ(sm3.tableRequests, 0);

  FakeDriver noHeader = SmDriver(table);
  noHeader.headerResult = -1;
  EXPECT_EQ(Load(noHeader), -1);

  FakeDriver noTable = SmDriver(table);
  noTable.tableResult = 5;
  EXPECT_EQ(Load(noTable), -1);
  EXPECT_EQ(g_pBIOSBufContent, nullptr);
  EXPECT_EQ(g_nInitBiosNow, 0);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{kHeadFailed, kHeadFailed, kTableFailed}));
}

TEST_F(DmiTable, ProblemsAreLoggedOnceAtLoad) {
  Bytes crowded = MakeStructure(2, 1, {1, 2, 0, 0}, {});
  crowded.resize(crowded.size() - 2);
  for (int i = 0; i < 33; ++i) crowded.insert(crowded.end(), {'x', 0});
  crowded.push_back(0);
  Bytes damaged = Board("B");
  damaged[1] = 2;
  LogCapture log;
  FakeDriver driver = SmDriver(Concat({crowded, Board("A"), damaged, Board("C")}));
  ASSERT_EQ(Load(driver), 0);
  {
    ProviderDriver first(PegasusCreateProvider("SM_BaseBoard"));
    ProviderDriver second(PegasusCreateProvider("SM_Chassis"));
    EXPECT_EQ(first.Instances("SM_BaseBoard").size(), 2u);
  }
  EXPECT_EQ(log.Count(kTooMany), 1u);
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_NE(log.Lines()[1].find("DMI table damaged at offset"), std::string::npos)
      << log.Lines()[1];
}

TEST_F(DmiTable, StringFunctions) {
  const Bytes bare = MakeStructure(2, 1, {0, 0, 0, 0});
  FakeDriver driver = SmDriver(Concat({bare, Board("A")}));
  ASSERT_EQ(Load(driver), 0);
  unsigned char* strings[kDmiStringTableSize];
  int count = -1;
  unsigned char* next = GetDmiStrings(g_pBIOSBufContent, strings, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(next, g_pBIOSBufContent + 8 + 2);
  EXPECT_STREQ(SelectString(nullptr, strings, count, 0), "");
  EXPECT_STREQ(SelectString(nullptr, strings, count, 1), kBadStringText);
  EXPECT_EQ(GetDmiStrings(next, strings, &count), g_pBIOSBufContent + g_nBIOSBufSize);
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(SelectString(nullptr, strings, count, 2), "A");
  unsigned char elsewhere[16] = {2, 8};
  EXPECT_EQ(GetDmiStrings(elsewhere, strings, &count), nullptr) << "only the loaded table is read";

  char list[] =
      "001A\0one\0two\0\0"
      "12345\0x\0\0"
      "\0";
  int status = -1;
  EXPECT_STREQ(GetStringForHandle(0x1A, 2, list, &status), "two");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(GetStringForHandle(0x1A, 3, list, &status), nullptr);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(GetStringForHandle(0x0B, 1, list, &status), list + sizeof list - 1);
  EXPECT_EQ(status, 1);
}

// --- the factory and the providers' shares of the table --------------------------------

class DmiFactory : public DmiTable {
 protected:
  void WriteTable(const Bytes& table) {
    mgmt::test::WriteFirmwareTables(
        root_.Path(), mgmt::test::MakeSmEntryPoint(static_cast<std::uint16_t>(table.size()), 2),
        table);
  }
  mgmt::test::TempRoot root_{"dmi-factory"};
};

TEST_F(DmiFactory, NamesWithoutCaseAndRetriedLoads) {
  LogCapture log;
  EXPECT_EQ(PegasusCreateProvider("SM_Processor"), nullptr) << "no driver and no tables";
  EXPECT_EQ(log.Lines(), std::vector<std::string>{kOpenFailed});
  EXPECT_EQ(g_nInitBiosNow, 0);

  WriteTable(Concat({Board("A"), EndOfTable()}));
  ProviderDriver processor(PegasusCreateProvider("sm_processor"));
  EXPECT_NE(dynamic_cast<SM_Processor*>(processor.Get()), nullptr);
  EXPECT_EQ(PegasusCreateProvider("SM_Nothing"), nullptr);
  EXPECT_EQ(log.Lines().size(), 1u) << "an unknown name logs nothing";
}

TEST_F(DmiFactory, LastTerminateFreesTheTableAndTheNextFactoryReadsItAfresh) {
  WriteTable(Concat({Board("A"), EndOfTable()}));
  mgmt::test::WriteFile(root_.Path() / "proc/bus/pci/00/.keep", "");
  auto board = std::make_unique<ProviderDriver>(PegasusCreateProvider("SM_BaseBoard"));
  EXPECT_EQ(dmitest::Str(board->Instances("SM_BaseBoard").at(0), "Model"), "A");
  {
    ProviderDriver bus(PegasusCreateProvider("SM_Bus"));
    EXPECT_EQ(bus.Instances("SM_Bus").size(), 1u);
  }
  EXPECT_EQ(g_nBIOSBufUsedNum, 1) << "the bus provider holds no share";
  EXPECT_NE(g_pBIOSBufContent, nullptr);
  board.reset();
  EXPECT_EQ(g_nBIOSBufUsedNum, 0);
  EXPECT_EQ(g_pBIOSBufContent, nullptr);

  WriteTable(Concat({Board("B"), EndOfTable()}));
  ProviderDriver again(PegasusCreateProvider("SM_BaseBoard"));
  EXPECT_EQ(dmitest::Str(again.Instances("SM_BaseBoard").at(0), "Model"), "B");
}

TEST_F(DmiFactory, InitializeWithoutTheTableServesNothing) {
  WriteTable(Concat({Board("A"), EndOfTable()}));
  CIMProvider* made = PegasusCreateProvider("SM_BaseBoard");
  Reset();
  LogCapture log;
  ProviderDriver board(made);
  EXPECT_TRUE(board.Instances("SM_BaseBoard").empty());
  EXPECT_EQ(log.Lines(),
            std::vector<std::string>{"ERROR, SM_BaseBoard::initialize(): no mgmtdrv buffer\n"});
}

TEST_F(DmiFactory, LookupsAndRefusedWrites) {
  WriteTable(Concat({Board("A"), Board("B"), EndOfTable()}));
  ProviderDriver board(PegasusCreateProvider("SM_BaseBoard"));
  const auto names = board.Names("SM_BaseBoard");
  ASSERT_EQ(names.size(), 2u);
  // The object manager hands over the path with the request's namespace.
  CIMObjectPath request = names[1];
  request.setNameSpace(CIMNamespaceName("root/cimv2"));
  const auto found = board.GetInstance(request);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(dmitest::Str(found[0], "Model"), "B");
  EXPECT_EQ(found[0].getPath(), names[1]);

  const auto none = board.GetInstance(
      CIMObjectPath(R"(root/cimv2:SM_BaseBoard.CreationClassName="SM_BaseBoard",Tag="Nope")"));
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(board.Completed());

  SimpleObjectPathResponseHandler paths;
  SimpleResponseHandlerImpl plain;
  const auto expectRefused = [](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "not refused";
    } catch (const CIMNotSupportedException& e) {
      EXPECT_EQ(mgmt::test::Text(e.getMessage()), "");
    }
  };
  auto* provider = board.Get();
  expectRefused([&] {
    provider->modifyInstance(board.Context(), names[0], CIMInstance(CIMName("SM_BaseBoard")), false,
                             CIMPropertyList(), plain);
  });
  expectRefused([&] {
    provider->createInstance(board.Context(), names[0], CIMInstance(CIMName("SM_BaseBoard")),
                             paths);
  });
  expectRefused([&] { provider->deleteInstance(board.Context(), names[0], plain); });
}

TEST_F(DmiFactory, ProvidersComeAndGoWhileOthersParse) {
  Bytes table;
  for (int i = 0; i < 40; ++i) table = Concat({table, Board("M")});
  WriteTable(Concat({table, EndOfTable()}));
  ProviderDriver keeper(PegasusCreateProvider("SM_BaseBoard"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        ProviderDriver board(PegasusCreateProvider("SM_BaseBoard"));
        if (board.Instances("SM_BaseBoard").size() != 40) ++wrong;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(g_nBIOSBufUsedNum, 1);
}

}  // namespace
