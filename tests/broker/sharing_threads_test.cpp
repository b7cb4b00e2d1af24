// Objects shared between threads the way the object manager shares them:
// one provider's instances read, copied, cloned and filtered by several
// request threads at once, and paths copied and changed per thread.
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

PEGASUS_USING_PEGASUS;

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 2000;

TEST(SharedObjects, ConcurrentCloneAndFilterLeaveTheOriginalIntact) {
  CIMInstance original("SM_Net");
  original.addProperty(CIMProperty("DeviceID", String("eth0")));
  original.addProperty(CIMProperty("Speed", Uint64(1000)));
  original.addProperty(CIMProperty("Names", Array<String>(3, String("n"))));
  original.setPath(CIMObjectPath("SM_Net.DeviceID=\"eth0\""));

  Array<CIMName> names;
  names.append("Speed");
  const CIMPropertyList list(names);
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; i++) {
        CIMInstance copy = original.clone();
        copy.instanceFilter(false, false, list);
        if (copy.getPropertyCount() != 1 || original.getPropertyCount() != 3) bad++;
        CIMObjectPath p = original.getPath();
        p.setNameSpace(CIMNamespaceName("root/cimv2"));
        if (p.toString() != "root/cimv2:SM_Net.DeviceID=\"eth0\"") bad++;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(original.getPath().toString(), "SM_Net.DeviceID=\"eth0\"");
}

TEST(SharedObjects, DefaultPathsAndValuesAreIndependentPerThread) {
  // Default-constructed paths and values share one empty representation;
  // changing one must never show in another, from any thread.
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; i++) {
        CIMObjectPath p;
        p.setClassName(CIMName(t % 2 ? "A" : "B"));
        CIMObjectPath fresh;
        if (!fresh.getClassName().isNull()) bad++;
        CIMValue v;
        v.set(Uint32(i));
        if (!CIMValue().isNull()) bad++;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
