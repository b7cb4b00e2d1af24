#include "PerfProcessorProvider.h"

#include "BytesText.h"
#include "PerfCountersMain.h"
#include "PerfProcessor.h"
#include "PerfProviderSupport.h"

#include <cctype>

namespace Pegasus {

namespace {

using perfsupport::AddUint32;
using perfsupport::AddUint64;

// "CPU_Total" for the all-processor line, otherwise the name in capitals (CPU0).
String DisplayName(const std::string& name) {
  if (name == "cpu") return String("CPU_Total");
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ::mgmt::broker::StringFromBytes(upper);
}

CIMInstance BuildProcessorInstance(const std::string& name) {
  PerfProcessor processor;
  std::uint64_t user = 0, privileged = 0, idle = 0;
  processor.getProcessorTime(name, user, privileged, idle);
  std::uint64_t interrupts = 0;
  processor.getInterrupts(name, interrupts);
  // The processor's own time total is its clock: no uptime is read.
  const std::uint64_t total = user + privileged + idle;

  CIMInstance instance{CIMName(CLASS_PERFPROCESSOR)};
  perfsupport::AddString(instance, "Name", DisplayName(name));
  AddUint64(instance, "PercentUserTime", user);
  AddUint64(instance, "PercentPrivilegedTime", privileged);
  AddUint64(instance, "PercentProcessorTime", idle);  // the idle counter, by design
  perfsupport::AddClocks(instance, total, total * 10);
  AddUint32(instance, "InterruptsPersec", interrupts);
  instance.setPath(
      perfsupport::NamePath(CLASS_PERFPROCESSOR, ::mgmt::broker::StringFromBytes(name)));
  return instance;
}

}  // namespace

const perfsupport::KeyedClass& PerfProcessorProvider::Keyed() {
  static const perfsupport::KeyedClass keyed{CLASS_PERFPROCESSOR, ": No such processor",
                                             [] {
                                               PerfProcessor processor;
                                               processor.getProcessorNames();
                                               return processor.names();
                                             },
                                             BuildProcessorInstance};
  return keyed;
}

}  // namespace Pegasus
