// Helpers of the inventory module's tests: running one class's table walk on
// bytes, reading property values, catching the module's log lines, and
// dmidecode's output split into records.
#ifndef MGMT_TESTS_PROVIDERS_DMI_DMI_TEST_UTIL_H
#define MGMT_TESTS_PROVIDERS_DMI_DMI_TEST_UTIL_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/SimpleResponseHandler.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DmiLog.h"

namespace dmitest {

using Bytes = std::vector<std::uint8_t>;

/// The instances a provider of class P builds from `table` with its parseDmiV2,
/// as enumerateInstances delivers them. The module-wide table is not involved.
template <class P>
std::vector<Pegasus::CIMInstance> Parse(const Bytes& table) {
  P provider;
  Bytes copy = table;
  provider.parseDmiV2(copy.empty() ? nullptr : copy.data(), copy.size());
  Pegasus::SimpleInstanceResponseHandler handler;
  provider.enumerateInstances(Pegasus::OperationContext(), Pegasus::CIMObjectPath(), false, false,
                              Pegasus::CIMPropertyList(), handler);
  const auto& got = handler.getObjects();
  return {got.getData(), got.getData() + got.size()};
}

bool Has(const Pegasus::CIMInstance& instance, const char* name);
/// Values of one property; nullopt when absent (or of another type).
std::optional<std::string> Str(const Pegasus::CIMInstance& instance, const char* name);
std::optional<std::uint64_t> Num(const Pegasus::CIMInstance& instance, const char* name);
std::optional<std::vector<std::uint16_t>> U16s(const Pegasus::CIMInstance& instance,
                                               const char* name);
std::optional<std::vector<std::string>> Strs(const Pegasus::CIMInstance& instance,
                                             const char* name);
/// Property names in order.
std::vector<std::string> Names(const Pegasus::CIMInstance& instance);
/// "Name:type" of every property, in order.
std::vector<std::string> Types(const Pegasus::CIMInstance& instance);

/// Collects the module's log lines while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::vector<std::string> Lines() const;
  std::size_t Count(const std::string& line) const;

 private:
  struct State;
  std::shared_ptr<State> state_;
  mgmt::dmi::LogSink previous_;
};

/// One structure as dmidecode prints it: its "\tKey: value" lines, and the
/// indented lines under a key ("Installable Languages", "Characteristics").
struct DmidecodeRecord {
  int type = -1;
  int length = 0;
  std::map<std::string, std::string> fields;
  std::map<std::string, std::vector<std::string>> lists;
  std::string Field(const std::string& key) const;
};
std::vector<DmidecodeRecord> DmidecodeRecords(const std::string& text, int type);
/// The "SMBIOS a.b present." version as a*100+b (dmidecode's fixed-up version).
int DmidecodeVersion(const std::string& text);

}  // namespace dmitest

#endif
