// Provider lifecycle, modules that fail to load, and bad start-up input.
#include "HostFixture.h"

#include <Pegasus/Common/CIMParamValue.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "support/temp_dir.h"

using namespace Pegasus;
using namespace mgmt::cimom;
using cimomtest::CimError;
using cimomtest::ModuleLifecycle;

namespace {

class ProviderFailureTest : public cimomtest::HostFixture {};

/// The four lifecycle counters of the test module.
std::array<int, 4> Counters() {
  std::array<int, 4> out{-1, -1, -1, -1};
  std::string text = ModuleLifecycle();
  if (std::sscanf(text.c_str(), "created=%d initialized=%d terminated=%d deleted=%d", &out[0],
                  &out[1], &out[2], &out[3]) != 4) {
    ADD_FAILURE() << "lifecycle counters unreadable: " << text;
  }
  return out;
}

std::array<int, 4> operator-(std::array<int, 4> a, const std::array<int, 4>& b) {
  for (int i = 0; i < 4; ++i) a[i] -= b[i];
  return a;
}

TEST_F(ProviderFailureTest, ProvidersAreCreatedOnceOnFirstUseAndReleasedAtShutdown) {
  const auto before = Counters();
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{0, 0, 0, 0}));  // nothing loaded at start

  // Many first requests at once still create and initialise the provider once.
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] { host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Gadget")); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{1, 1, 0, 0}));

  host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget"));  // widget + gadget
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{2, 2, 0, 0}));
  // Registered again for another namespace under the library's file name: the
  // same provider object answers.
  EXPECT_EQ(host_->EnumerateInstances(ctx_, CIMNamespaceName("root/other"), CIMName("Test_Widget"))
                .size(),
            2u);
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{2, 2, 0, 0}));

  host_->Shutdown();
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{2, 2, 2, 2}));
  host_->Shutdown();  // idempotent
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{2, 2, 2, 2}));
  EXPECT_EQ(CimError([&] { host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget")); }),
            std::make_pair(CIM_ERR_FAILED, std::string("the object manager is not running")));
}

TEST_F(ProviderFailureTest, ShutdownWaitsForRunningOperations) {
  const auto before = Counters();
  std::thread caller([&] {
    Array<CIMParamValue> in;
    in.append(CIMParamValue("Parties", CIMValue(Uint32(2))));
    in.append(CIMParamValue("TimeoutMs", CIMValue(Uint32(1000))));
    // Waits inside the provider until the main thread's call arrives.
    host_->InvokeMethod(ctx_, ns_, CIMObjectPath("Test_Widget.Id=\"w1\""), CIMName("Rendezvous"),
                        in);
  });
  // Let the first call get inside the provider, then start the shutdown and
  // release it; terminate must come after it returned.
  while (Counters()[1] - before[1] < 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::thread stopper([&] { host_->Shutdown(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ((Counters() - before)[2], 0) << "terminated while an operation was running";
  // The second party cannot come through the host any more, so the first call
  // times out inside the provider and returns; only then may terminate() run.
  caller.join();
  stopper.join();
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{1, 1, 1, 1}));
}

TEST_F(ProviderFailureTest, ModulesThatCannotServeAnswerFailedAndAreLogged) {
  const struct {
    const char* cls;
    const char* message;
  } cases[] = {
      {"Test_NullFactory", "PegasusCreateProvider(\"NoSuchProvider\")"},
      {"Test_InitFails", "initialize: CIM_ERR_FAILED: cannot reach the device"},
      {"Test_Missing", "module library NoSuchModule not found in the module directories"},
      {"Test_NoEntry", "entry point not found"},
      {"Test_FactoryThrows", "failed: the module's own factory error"},
  };
  const auto before = Counters();
  const auto tryAll = [&] {
    for (const auto& c : cases) {
      auto [code, message] =
          CimError([&] { host_->EnumerateInstances(ctx_, ns_, CIMName(c.cls)); });
      EXPECT_EQ(code, CIM_ERR_FAILED) << c.cls;
      EXPECT_NE(message.find(c.message), std::string::npos) << c.cls << ": " << message;
      CIMObjectPath path(String((std::string(c.cls) + ".Id=\"1\"").c_str()));
      EXPECT_EQ(CimError([&] { host_->GetInstance(ctx_, ns_, path); }).first, CIM_ERR_FAILED);
    }
  };
  tryAll();
  const std::string log = LogText();
  for (const auto& c : cases) EXPECT_NE(log.find(c.message), std::string::npos) << log;
  // A failed load is remembered: later requests neither retry it nor log again.
  tryAll();
  EXPECT_EQ(LogText(), log);
  // The provider whose initialize() threw was deleted without terminate().
  EXPECT_EQ(Counters() - before, (std::array<int, 4>{1, 1, 0, 1}));
  // Other classes of the same module keep working.
  EXPECT_EQ(host_->EnumerateInstances(ctx_, ns_, CIMName("Test_Widget")).size(), 4u);
}

TEST_F(ProviderFailureTest, StartRefusesBadClassesAndRegistrations) {
  namespace fs = std::filesystem;
  const mgmt::test::TempDir tmp("cimom-bad");
  const fs::path dir = tmp.Path();
  fs::create_directories(dir / "classes");
  fs::create_directories(dir / "regs");
  std::ofstream(dir / "classes" / "a.mof")
      << "class A_One { [Key] string Id; };\nclass A_Two : A_One { };\n";

  const struct {
    const char* mof;  // extra class file, or null
    const char* reg;
    const char* message;
  } cases[] = {
      {"class B {\n  uint7 X;\n};\n", "", "b.mof:2: unknown type 'uint7'"},
      {nullptr, "[Provider]\nModule = M\nName = P\nClasses = A_Three\n",
       "r.reg:1: class A_Three is not defined"},
      {nullptr,
       "[Provider]\nModule = M\nName = P\nClasses = A_One\n[Provider]\nModule = M\nName = "
       "Q\nClasses = a_one\n",
       "r.reg:5: instance provider of A_One in root/cimv2 is already registered at"},
      {nullptr, "[Provider]\nModule = M\nName = P\nClasses = A_One\nTypes = instance\nFoo = 1\n",
       "unknown key 'foo'"},
  };
  for (const auto& c : cases) {
    fs::remove(dir / "classes" / "b.mof");
    if (c.mof) std::ofstream(dir / "classes" / "b.mof") << c.mof;
    std::ofstream(dir / "regs" / "r.reg") << c.reg;
    HostConfig cfg = Config();
    cfg.classDir = dir / "classes";
    cfg.registrationDir = dir / "regs";
    ProviderHost bad(cfg);
    auto [code, message] = CimError([&] { bad.Start(); });
    EXPECT_EQ(code, CIM_ERR_FAILED);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(CimError([&] { bad.EnumerateClassNames(ctx_, ns_, CIMName()); }).first,
              CIM_ERR_FAILED);
  }

  // One provider may serve several classes, and the same class as instance and
  // method provider; a class without a provider is fine.
  std::ofstream(dir / "regs" / "r.reg")
      << "[Provider]\nModule = M\nName = P\nClasses = A_One, A_Two\nTypes = instance, method\n";
  HostConfig cfg = Config();
  cfg.classDir = dir / "classes";
  cfg.registrationDir = dir / "regs";
  ProviderHost good(cfg);
  EXPECT_EQ(CimError([&] { good.Start(); }).first, CIM_ERR_SUCCESS);
}

}  // namespace
