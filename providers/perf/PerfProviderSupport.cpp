#include "PerfProviderSupport.h"

#include "BytesText.h"
#include "PerfCountersMain.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Provider/ProviderException.h>

namespace Pegasus {
namespace perfsupport {

void AddUint64(CIMInstance& instance, const char* name, std::uint64_t value) {
  instance.addProperty(CIMProperty(CIMName(name), CIMValue(static_cast<Uint64>(value))));
}

void AddUint32(CIMInstance& instance, const char* name, std::uint64_t value) {
  instance.addProperty(CIMProperty(CIMName(name), CIMValue(static_cast<Uint32>(value))));
}

void AddClocks(CIMInstance& instance, std::uint64_t jiffies, std::uint64_t ticks) {
  AddUint64(instance, "Frequency_Jiffies", 100);
  AddUint64(instance, "Frequency_Ticks", 1000);
  AddUint64(instance, "Timestamp_Jiffies", jiffies);
  AddUint64(instance, "Timestamp_Ticks", ticks);
}

void AddString(CIMInstance& instance, const char* name, const String& value) {
  instance.addProperty(CIMProperty(CIMName(name), CIMValue(value)));
}

void RefuseWrite(const char* provider, const char* operation) {
  String message(provider);
  message.append(" does not support ");
  message.append(operation);
  throw CIMNotSupportedException(message);
}

CIMObjectPath NamePath(const String& className, const String& name) {
  // Built from its parts rather than parsed from text, so that any character in a
  // device name (a quote, a backslash, an '=') stays part of the key value.
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName(PROPERTY_NAME), name, CIMKeyBinding::STRING));
  return CIMObjectPath(String(), CIMNamespaceName(), CIMName(className), keys);
}

void EnumerateKeyedNames(const KeyedClass& keyed, ObjectPathResponseHandler& handler) {
  handler.processing();
  for (const std::string& name : keyed.listNames()) {
    handler.deliver(NamePath(keyed.className, ::mgmt::broker::StringFromBytes(name)));
  }
  handler.complete();
}

void EnumerateKeyedInstances(const KeyedClass& keyed, InstanceResponseHandler& handler) {
  handler.processing();
  for (const std::string& name : keyed.listNames()) handler.deliver(keyed.build(name));
  handler.complete();
}

void GetKeyedInstance(const KeyedClass& keyed, const CIMObjectPath& request,
                      InstanceResponseHandler& handler) {
  const Array<CIMKeyBinding> keys = request.getKeyBindings();
  if (keys.size() != 1) throw CIMInvalidParameterException("Wrong number of keys");
  const CIMKeyBinding& key = keys[0];
  if (key.getName().isNull() || !key.getName().equal(CIMName(PROPERTY_NAME))) {
    String message = key.getName().getString();
    message.append(": Unrecognized key");
    throw CIMInvalidParameterException(message);
  }
  const String& wanted = key.getValue();
  const std::vector<std::string> names = keyed.listNames();
  const std::string* found = nullptr;
  for (const std::string& name : names) {
    if (::mgmt::broker::StringFromBytes(name) == wanted) {
      found = &name;
      break;
    }
  }
  if (found == nullptr) {
    String message = wanted;
    message.append(keyed.notFound);
    throw CIMObjectNotFoundException(message);
  }
  handler.processing();
  handler.deliver(keyed.build(*found));
  handler.complete();
}

}  // namespace perfsupport
}  // namespace Pegasus
