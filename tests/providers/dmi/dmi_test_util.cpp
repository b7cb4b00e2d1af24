#include "dmi_test_util.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMValue.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <sstream>

#include "support/provider_driver.h"

namespace dmitest {
namespace {

using namespace Pegasus;
using mgmt::test::Text;

std::optional<CIMValue> ValueOf(const CIMInstance& instance, const char* name) {
  const CIMConstInstance view(instance);
  const Uint32 at = view.findProperty(CIMName(name));
  if (at == PEG_NOT_FOUND) return std::nullopt;
  return view.getProperty(at).getValue();
}

}  // namespace

bool Has(const CIMInstance& instance, const char* name) {
  return ValueOf(instance, name).has_value();
}

std::optional<std::string> Str(const CIMInstance& instance, const char* name) {
  const auto value = ValueOf(instance, name);
  if (!value || value->getType() != CIMTYPE_STRING || value->isArray()) return std::nullopt;
  String s;
  value->get(s);
  return Text(s);
}

std::optional<std::uint64_t> Num(const CIMInstance& instance, const char* name) {
  const auto value = ValueOf(instance, name);
  if (!value || value->isArray()) return std::nullopt;
  switch (value->getType()) {
    case CIMTYPE_UINT8: {
      Uint8 v;
      value->get(v);
      return v;
    }
    case CIMTYPE_UINT16: {
      Uint16 v;
      value->get(v);
      return v;
    }
    case CIMTYPE_SINT32: {
      Sint32 v;
      value->get(v);
      return static_cast<std::uint64_t>(v);
    }
    case CIMTYPE_UINT64: {
      Uint64 v;
      value->get(v);
      return v;
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::vector<std::uint16_t>> U16s(const CIMInstance& instance, const char* name) {
  const auto value = ValueOf(instance, name);
  if (!value || !value->isArray() || value->getType() != CIMTYPE_UINT16) return std::nullopt;
  Array<Uint16> a;
  value->get(a);
  return std::vector<std::uint16_t>(a.getData(), a.getData() + a.size());
}

std::optional<std::vector<std::string>> Strs(const CIMInstance& instance, const char* name) {
  const auto value = ValueOf(instance, name);
  if (!value || !value->isArray() || value->getType() != CIMTYPE_STRING) return std::nullopt;
  Array<String> a;
  value->get(a);
  std::vector<std::string> out;
  for (const auto& s : a) out.push_back(Text(s));
  return out;
}

std::vector<std::string> Names(const CIMInstance& instance) {
  std::vector<std::string> out;
  const CIMConstInstance view(instance);
  for (Uint32 i = 0; i < view.getPropertyCount(); ++i) {
    out.push_back(Text(view.getProperty(i).getName().getString()));
  }
  return out;
}

std::vector<std::string> Types(const CIMInstance& instance) {
  std::vector<std::string> out;
  const CIMConstInstance view(instance);
  for (Uint32 i = 0; i < view.getPropertyCount(); ++i) {
    const auto p = view.getProperty(i);
    out.push_back(Text(p.getName().getString()) + ":" + cimTypeToString(p.getType()) +
                  (p.isArray() ? "[]" : ""));
  }
  return out;
}

struct LogCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

LogCapture::LogCapture() : state_(std::make_shared<State>()) {
  previous_ = mgmt::dmi::SetLogSink([state = state_](const std::string& line) {
    const std::lock_guard lock(state->mutex);
    state->lines.push_back(line);
  });
}

LogCapture::~LogCapture() { mgmt::dmi::SetLogSink(std::move(previous_)); }

std::vector<std::string> LogCapture::Lines() const {
  const std::lock_guard lock(state_->mutex);
  return state_->lines;
}

std::size_t LogCapture::Count(const std::string& line) const {
  std::size_t n = 0;
  for (const auto& l : Lines()) n += l == line;
  return n;
}

std::string DmidecodeRecord::Field(const std::string& key) const {
  const auto it = fields.find(key);
  return it == fields.end() ? std::string("<missing " + key + ">") : it->second;
}

std::vector<DmidecodeRecord> DmidecodeRecords(const std::string& text, int type) {
  std::vector<DmidecodeRecord> all;
  std::istringstream in(text);
  std::string line;
  std::string lastKey;
  while (std::getline(in, line)) {
    if (line.rfind("Handle 0x", 0) == 0) {
      DmidecodeRecord record;
      const auto t = line.find("DMI type ");
      const auto comma = line.find(',', t);
      record.type = std::stoi(line.substr(t + 9, comma - t - 9));
      record.length = std::stoi(line.substr(comma + 2));
      all.push_back(record);
      lastKey.clear();
    } else if (!all.empty() && line.rfind("\t\t", 0) == 0) {
      all.back().lists[lastKey].push_back(line.substr(2));
    } else if (!all.empty() && line.rfind('\t', 0) == 0) {
      const auto colon = line.find(':');
      if (colon == std::string::npos) continue;
      lastKey = line.substr(1, colon - 1);
      all.back().fields[lastKey] = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    }
  }
  std::vector<DmidecodeRecord> selected;
  for (auto& r : all) {
    if (r.type == type) selected.push_back(std::move(r));
  }
  return selected;
}

int DmidecodeVersion(const std::string& text) {
  const auto at = text.find("SMBIOS ");
  if (at == std::string::npos) return 0;
  int major = 0, minor = 0;
  std::sscanf(text.c_str() + at, "SMBIOS %d.%d", &major, &minor);
  return major * 100 + minor;
}

}  // namespace dmitest
