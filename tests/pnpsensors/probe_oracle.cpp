#include "probe_oracle.h"

#include <sstream>

#include "support/provider_driver.h"

namespace mgmt::test {

namespace {

const char* const kVoltageLocations[] = {
    "Processor",   "Disk",          "Peripheral Bay",   "System Management Module",
    "Motherboard", "Memory Module", "Processor Module", "Power Unit",
    "Add-in Card"};
const char* const kTemperatureOnlyLocations[] = {"Front Panel Board", "Back Panel Board",
                                                 "Power System Board", "Drive Back Plane"};

std::string Field(const DmiRecord& r, const std::string& key) {
  const auto it = r.fields.find(key);
  return it == r.fields.end() ? "" : it->second;
}

bool In(const std::string& value, const auto& list) {
  for (const char* item : list) {
    if (value == item) return true;
  }
  return false;
}

// dmidecode prints "Not Specified" for string number 0, which the library
// publishes as the empty text.
std::string Description(const DmiRecord& r) {
  const std::string d = Field(r, "Description");
  return d == "Not Specified" ? "" : d;
}

void AddStatus(std::map<std::string, std::string>& p, const std::string& status) {
  p["Status"] = std::string("string=") + (status == "OK" ? "OK" : "Error");
  p["CurrentState"] = "string=" + (status == "<OUT OF SPEC>" ? std::string() : status);
  p["PossibleStates"] = "string=Other Unknown OK Non-critical Critical Non-recoverable ";
}

void AddRaw(std::map<std::string, std::string>& p, const std::string& property,
            const std::string& type, const DmiRecord& r, const std::string& key) {
  const auto it = r.fields.find(key);
  if (it == r.fields.end()) return;
  if (const auto raw = RawValue(it->second)) {
    p[property] =
        type + "=" + std::to_string(type == "uint32" ? static_cast<uint32_t>(*raw) : *raw);
  }
}

void AddUnits(std::map<std::string, std::string>& p, int base, int rate, int sensorType,
              int modifier) {
  p["BaseUnits"] = "uint16=" + std::to_string(base);
  p["RateUnits"] = "uint16=" + std::to_string(rate);
  p["SensorType"] = "uint16=" + std::to_string(sensorType);
  p["UnitModifier"] = "sint32=" + std::to_string(modifier);
}

}  // namespace

std::vector<DmiRecord> DmidecodeRecords(const std::string& text) {
  std::vector<DmiRecord> records;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    unsigned handle = 0;
    int type = 0, length = 0;
    if (std::sscanf(line.c_str(), "Handle 0x%x, DMI type %d, %d bytes", &handle, &type, &length) ==
        3) {
      records.push_back({static_cast<uint16_t>(handle), type, length, {}});
      continue;
    }
    if (records.empty() || line.size() < 2 || line[0] != '\t' || line[1] == '\t') continue;
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    records.back().fields[line.substr(1, colon - 1)] = line.substr(colon + 2);
  }
  return records;
}

std::optional<long> RawValue(const std::string& printed) {
  std::string digits;
  size_t i = printed.rfind("+/- ", 0) == 0 ? 4 : 0;
  if (i < printed.size() && printed[i] == '-') digits += printed[i++];
  for (; i < printed.size(); ++i) {
    if (printed[i] >= '0' && printed[i] <= '9') {
      digits += printed[i];
    } else if (printed[i] != '.') {
      break;
    }
  }
  if (digits.empty() || digits == "-") return std::nullopt;
  return std::stol(digits);
}

bool IsFanRecord(const DmiRecord& record) {
  const std::string type = Field(record, "Type");
  return record.type == 27 && (type == "Fan" || type == "Chip Fan" || type == "Cabinet Fan" ||
                               type == "Power Supply Fan");
}

std::map<std::string, std::string> ExpectedProperties(const DmiRecord& r,
                                                      const std::string& hostName,
                                                      const std::string& fanName) {
  std::map<std::string, std::string> p;
  const char* cls = r.type == 26   ? "HM_VoltageSensor"
                    : r.type == 27 ? "HM_Tachometer"
                                   : "HM_TemperatureSensor";
  p["CreationClassName"] = std::string("string=") + cls;
  p["SystemCreationClassName"] = std::string("string=") + cls;
  p["DeviceID"] = "string=" + std::to_string(r.handle);
  p["SystemName"] = "string=" + hostName;
  AddStatus(p, Field(r, "Status"));

  if (r.type == 27) {
    p["Description"] = p["Name"] = p["Caption"] = "string=" + fanName;
    const std::string speed = Field(r, "Nominal Speed");
    if (const auto rpm = RawValue(speed)) {
      p["NominalReading"] = p["CurrentReading"] = "sint32=" + std::to_string(*rpm);
    }
    AddUnits(p, 38, 4, 5, 0);
    return p;
  }

  const bool voltage = r.type == 26;
  const std::string location = Field(r, "Location");
  std::string caption = voltage ? "Voltage Probe" : "Temperature Sensor";
  if (In(location, kVoltageLocations) || (!voltage && In(location, kTemperatureOnlyLocations))) {
    caption += " on " + location;
  }
  p["Description"] = p["Name"] = "string=" + Description(r);
  p["Caption"] = "string=" + caption;
  AddRaw(p, "MaxReadable", "sint32", r, "Maximum Value");
  AddRaw(p, "MinReadable", "sint32", r, "Minimum Value");
  AddRaw(p, "Resolution", "uint32", r, "Resolution");
  AddRaw(p, "Tolerance", "sint32", r, "Tolerance");
  AddRaw(p, "Accuracy", "sint32", r, "Accuracy");
  AddRaw(p, "NominalReading", "sint32", r, "Nominal Value");
  AddRaw(p, "CurrentReading", "sint32", r, "Nominal Value");
  if (voltage) {
    AddUnits(p, 5, 0, 3, -3);
  } else {
    AddUnits(p, 2, 0, 2, -1);
  }
  return p;
}

std::map<std::string, std::string> PublishedProperties(const Pegasus::CIMInstance& instance) {
  std::map<std::string, std::string> p;
  for (const std::string& described : Describe(instance)) {
    const size_t colon = described.find(':');
    p[described.substr(0, colon)] = described.substr(colon + 1);
  }
  return p;
}

}  // namespace mgmt::test
