// Provider registration files and module look-up.
#include "Registration.h"
#include "HostError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "support/temp_dir.h"

using namespace mgmt::cimom;

namespace {

TEST(Registration, ReadsStanzasWithDefaultsAndComments) {
  auto regs = ParseRegistrations(R"(
# leading comment
[Provider]
Module = PerfCounters            # trailing comment
Name   = PerfMemoryProvider
Classes = SM_PerfCounters_Memory , SM_Other

; another comment
[provider]
module=libX.so
NAME=XProvider ; comment
classes=X_Thing
namespaces=root/cimv2,/root/interop
types=method, Instance
)",
                                 "r.reg");
  ASSERT_EQ(regs.size(), 2u);
  EXPECT_EQ(regs[0].module, "PerfCounters");
  EXPECT_EQ(regs[0].providerName, "PerfMemoryProvider");
  EXPECT_EQ(regs[0].classes, (std::vector<std::string>{"SM_PerfCounters_Memory", "SM_Other"}));
  EXPECT_EQ(regs[0].namespaces, (std::vector<std::string>{"root/cimv2"}));
  EXPECT_TRUE(regs[0].instanceProvider);
  EXPECT_FALSE(regs[0].methodProvider);
  EXPECT_EQ(regs[0].line, 3);

  EXPECT_EQ(regs[1].module, "libX.so");
  EXPECT_EQ(regs[1].providerName, "XProvider");
  EXPECT_EQ(regs[1].namespaces, (std::vector<std::string>{"root/cimv2", "/root/interop"}));
  EXPECT_TRUE(regs[1].instanceProvider);
  EXPECT_TRUE(regs[1].methodProvider);
}

TEST(Registration, RejectsMalformedFiles) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"Module = X\n", "r.reg:1: setting outside a [Provider] section"},
      {"[Module]\n", "r.reg:1: unknown section [Module]"},
      {"[Provider]\nModule = X\nName = P\n", "r.reg:1: [Provider] without Classes"},
      {"[Provider]\nName = P\nClasses = C\n", "without Module"},
      {"[Provider]\nModule = X\nClasses = C\n", "without Name"},
      {"[Provider]\nModule = X\nName = P\nClasses = 9C\n",
       "r.reg:4: '9C' is not a legal class name"},
      {"[Provider]\nModule = X\nName = P\nClasses = C\nNamespaces = root//x\n",
       "not a legal namespace"},
      {"[Provider]\nModule = X\nName = P\nClasses = C\nTypes = association\n",
       "unknown provider type"},
      {"[Provider]\nModule = X\nModule = Y\n", "r.reg:3: 'module' given twice"},
      {"[Provider]\nColour = blue\n", "unknown key 'colour'"},
      {"[Provider]\nModule\n", "r.reg:2: expected 'Key = Value'"},
      {"[Provider]\nModule =   # nothing\n", "'module' without a value"},
  };
  for (const auto& c : cases) {
    try {
      ParseRegistrations(c.text, "r.reg");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << "text: " << c.text << "\nmessage: " << e.what();
    }
  }
  EXPECT_THROW(ParseRegistrations("[Provider]\nName = " + std::string(5000, 'x') + "\n", "r.reg"),
               ConfigError);
}

TEST(Registration, ModuleFilesAreSearchedInOrder) {
  namespace fs = std::filesystem;
  const mgmt::test::TempDir tmp("cimom-reg");
  const fs::path dir = tmp.Path();
  fs::create_directories(dir / "first");
  fs::create_directories(dir / "second");
  std::ofstream(dir / "second" / "libA.so") << "";
  std::ofstream(dir / "first" / "libA.so") << "";
  std::ofstream(dir / "second" / "B.so") << "";
  std::vector<fs::path> dirs{dir / "first", dir / "second"};

  EXPECT_EQ(ResolveModulePath("A", dirs), dir / "first" / "libA.so");
  EXPECT_EQ(ResolveModulePath("libA.so", dirs), dir / "first" / "libA.so");
  EXPECT_EQ(ResolveModulePath("B.so", dirs), dir / "second" / "B.so");
  EXPECT_EQ(ResolveModulePath("C", dirs), fs::path());

  // An absolute path is taken through the installation root.
  ::setenv("MGMTAGENT_ROOT", dir.c_str(), 1);
  EXPECT_EQ(ResolveModulePath("/opt/x/libZ.so", dirs), fs::path(dir.string() + "/opt/x/libZ.so"));
  ::unsetenv("MGMTAGENT_ROOT");
  EXPECT_EQ(ResolveModulePath("/opt/x/libZ.so", dirs), fs::path("/opt/x/libZ.so"));
}

}  // namespace
