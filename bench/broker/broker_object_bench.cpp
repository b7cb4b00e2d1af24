// Benchmarks of the object model: object-path parsing, printing, equality and
// hashing; building, copying, cloning and filtering instances.
// Run: broker_object_bench [--benchmark_filter=Path]
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>

#include <benchmark/benchmark.h>

PEGASUS_USING_PEGASUS;

namespace {

// A logical-device path as the object manager hands it to a provider.
const String kDevicePath(
    "//server.example/root/cimv2:SM_DiskDrive.CreationClassName=\"SM_DiskDrive\","
    "DeviceID=\"/dev/sda\",SystemCreationClassName=\"CIM_ComputerSystem\","
    "SystemName=\"server.example\"");
const String kNumericPath("root/cimv2:SM_PerfCounters_Processor.Index=0x1F,Enabled=TRUE");

void BM_PathParse(benchmark::State& state) {
  for (auto _ : state) {
    CIMObjectPath p(kDevicePath);
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_PathParse);

void BM_PathParseNumeric(benchmark::State& state) {
  for (auto _ : state) {
    CIMObjectPath p(kNumericPath);
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_PathParseNumeric);

void BM_PathToString(benchmark::State& state) {
  CIMObjectPath p(kDevicePath);
  for (auto _ : state) benchmark::DoNotOptimize(p.toString());
}
BENCHMARK(BM_PathToString);

// Two independently parsed paths (no shared data): the full comparison.
void BM_PathEqualSame(benchmark::State& state) {
  CIMObjectPath a(kDevicePath);
  // Same keys, class name in other case, separate storage.
  CIMObjectPath b(a.getHost(), a.getNameSpace(), CIMName("sm_diskdrive"), a.getKeyBindings());
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_PathEqualSame);

void BM_PathEqualDifferentLastKey(benchmark::State& state) {
  CIMObjectPath a(kDevicePath);
  CIMObjectPath b(String(kDevicePath).subString(0, kDevicePath.size() - 2) + "X\"");
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_PathEqualDifferentLastKey);

void BM_PathEqualNumeric(benchmark::State& state) {
  CIMObjectPath a(kNumericPath);
  CIMObjectPath b("root/cimv2:sm_perfcounters_processor.enabled=true,index=31");
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_PathEqualNumeric);

void BM_PathHash(benchmark::State& state) {
  CIMObjectPath p(kDevicePath);
  for (auto _ : state) benchmark::DoNotOptimize(p.makeHashCode());
}
BENCHMARK(BM_PathHash);

CIMClass DeviceClass() {
  CIMClass c("SM_DiskDrive", "CIM_DiskDrive");
  for (const char* k : {"SystemCreationClassName", "SystemName", "CreationClassName", "DeviceID"})
    c.addProperty(CIMProperty(k, String()).addQualifier(CIMQualifier("Key", true)));
  return c;
}

// What a provider does per instance: properties in order, then the path.
CIMInstance BuildDevice(const CIMConstClass& cls, Uint32 n) {
  CIMInstance inst("SM_DiskDrive");
  inst.addProperty(CIMProperty("SystemCreationClassName", String("CIM_ComputerSystem")));
  inst.addProperty(CIMProperty("SystemName", String("server.example")));
  inst.addProperty(CIMProperty("CreationClassName", String("SM_DiskDrive")));
  String id("/dev/sd");
  id.append(Char16(Uint16('a' + n % 26)));
  inst.addProperty(CIMProperty("DeviceID", id));
  inst.addProperty(CIMProperty("Name", String("ATA disk")));
  inst.addProperty(CIMProperty("MaxMediaSize", Uint64(500107862016ULL)));
  Array<Uint16> caps;
  caps.append(3);
  caps.append(4);
  inst.addProperty(CIMProperty("Capabilities", caps));
  inst.addProperty(CIMProperty("Availability", Uint16(3)));
  inst.setPath(inst.buildPath(cls));
  return inst;
}

void BM_InstanceBuildWithPath(benchmark::State& state) {
  CIMClass cls = DeviceClass();
  Uint32 n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(BuildDevice(cls, n++));
}
BENCHMARK(BM_InstanceBuildWithPath);

void BM_InstanceCopyHandle(benchmark::State& state) {
  CIMInstance inst = BuildDevice(DeviceClass(), 0);
  for (auto _ : state) {
    CIMInstance copy = inst;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_InstanceCopyHandle);

void BM_InstanceClone(benchmark::State& state) {
  CIMInstance inst = BuildDevice(DeviceClass(), 0);
  for (auto _ : state) benchmark::DoNotOptimize(inst.clone());
}
BENCHMARK(BM_InstanceClone);

void BM_InstanceCloneAndFilter(benchmark::State& state) {
  CIMInstance inst = BuildDevice(DeviceClass(), 0);
  Array<CIMName> names;
  names.append("DeviceID");
  names.append("Availability");
  CIMPropertyList list(names);
  for (auto _ : state) {
    CIMInstance copy = inst.clone();
    copy.instanceFilter(false, false, list);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_InstanceCloneAndFilter);

void BM_InstanceArrayCopy(benchmark::State& state) {
  CIMClass cls = DeviceClass();
  Array<CIMInstance> all;
  for (Uint32 i = 0; i < Uint32(state.range(0)); i++) all.append(BuildDevice(cls, i));
  for (auto _ : state) {
    Array<CIMInstance> copy(all);
    benchmark::DoNotOptimize(copy);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_InstanceArrayCopy)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
