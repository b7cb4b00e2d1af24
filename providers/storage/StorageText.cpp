#include "StorageText.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

namespace mgmt::storage {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// One whitespace-separated field of a line and where it starts.
struct Field {
  std::string_view text;
  std::size_t offset = 0;
};

std::vector<Field> SplitFields(std::string_view line) {
  std::vector<Field> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back({line.substr(start, i - start), start});
  }
  return fields;
}

/// Calls `visit` for every line of `text`, without its line end.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    visit(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

/// The text between `from` (after it) and `to` (or the end of the line), trimmed.
std::string Between(std::string_view line, std::string_view from, std::string_view to) {
  const std::size_t start = line.find(from);
  if (start == std::string_view::npos) return {};
  std::string_view rest = line.substr(start + from.size());
  if (!to.empty()) rest = rest.substr(0, rest.find(to));
  return std::string(Trim(rest));
}

/// "\040" and the like, as mount tables write blanks, tabs, line ends and
/// backslashes inside a field.
std::string UnescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.size() == 3 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out.push_back(static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                        (digits[2] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

/// "4425" or "4425," (fdisk ends the fields of its geometry line with commas).
std::optional<std::uint64_t> ParseListedNumber(std::string_view field) {
  if (!field.empty() && field.back() == ',') field.remove_suffix(1);
  return ParseNumber<std::uint64_t>(field);
}

}  // namespace

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimLineEnd(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) < 0x20 && text.back() != ' ') {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
  return ParseNumber<std::uint64_t>(Trim(text));
}

bool IsPartitionOf(std::string_view partition, std::string_view drive) {
  if (drive.empty() || partition.size() <= drive.size()) return false;
  if (partition.substr(0, drive.size()) != drive) return false;
  const std::string_view rest = partition.substr(drive.size());
  return std::all_of(rest.begin(), rest.end(), IsDigit);
}

std::optional<ScsiAddress> ParseScsiAddress(std::string_view text) {
  unsigned parts[4] = {};
  for (int i = 0; i < 4; ++i) {
    const std::size_t colon = i < 3 ? text.find(':') : text.size();
    if (colon == std::string_view::npos) return std::nullopt;
    const auto value = ParseNumber<unsigned>(text.substr(0, colon));
    if (!value) return std::nullopt;
    parts[i] = *value;
    text.remove_prefix(i < 3 ? colon + 1 : colon);
  }
  return ScsiAddress{parts[0], parts[1], parts[2], parts[3]};
}

std::vector<ScsiDevice> ParseScsiDevices(std::string_view text) {
  std::vector<ScsiDevice> devices;
  bool inEntry = false;  // the lines below belong to the last entry kept
  ForEachLine(text, [&](std::string_view line) {
    const std::vector<Field> f = SplitFields(line);
    if (f.empty()) return;
    if (f[0].text == "Host:") {
      inEntry = false;
      if (f.size() < 8 || f[1].text.substr(0, 4) != "scsi" || f[2].text != "Channel:" ||
          f[4].text != "Id:" || f[6].text != "Lun:") {
        return;
      }
      const auto host = ParseNumber<unsigned>(f[1].text.substr(4));
      const auto channel = ParseNumber<unsigned>(f[3].text);
      const auto id = ParseNumber<unsigned>(f[5].text);
      const auto lun = ParseNumber<unsigned>(f[7].text);
      if (!host || !channel || !id || !lun) return;
      devices.push_back({{*host, *channel, *id, *lun}, {}, {}, {}});
      inEntry = true;
      return;
    }
    if (!inEntry) return;
    if (f[0].text == "Vendor:") {
      devices.back().vendor = Between(line, "Vendor:", "Model:");
      devices.back().model = Between(line, "Model:", "Rev:");
    } else if (f[0].text == "Type:") {
      devices.back().type = Between(line, "Type:", "ANSI");
    }
  });
  return devices;
}

std::optional<ScsiAddress> FindAttachedScsiDisk(std::string_view bootLog, std::string_view name) {
  const std::string key = "Attached scsi disk " + std::string(name) + " at ";
  std::optional<ScsiAddress> found;
  ForEachLine(bootLog, [&](std::string_view line) {
    if (found) return;
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return;
    // "scsi0, channel 0, id 1, lun 0"
    const std::vector<Field> f = SplitFields(line.substr(at + key.size()));
    if (f.size() < 7 || f[0].text.substr(0, 4) != "scsi" || f[1].text != "channel" ||
        f[3].text != "id" || f[5].text != "lun") {
      return;
    }
    const auto host = ParseListedNumber(f[0].text.substr(4));
    const auto channel = ParseListedNumber(f[2].text);
    const auto id = ParseListedNumber(f[4].text);
    const auto lun = ParseListedNumber(f[6].text);
    if (!host || !channel || !id || !lun) return;
    found = ScsiAddress{static_cast<unsigned>(*host), static_cast<unsigned>(*channel),
                        static_cast<unsigned>(*id), static_cast<unsigned>(*lun)};
  });
  return found;
}

std::optional<BootLogDisk> FindBootLogDisk(std::string_view bootLog, std::string_view name) {
  const std::string key = "SCSI device " + std::string(name) + ":";
  std::optional<BootLogDisk> found;
  ForEachLine(bootLog, [&](std::string_view line) {
    if (found) return;
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return;
    BootLogDisk disk;
    // "35566480 512-byte hdwr sectors (18210 MB)"
    const std::string_view rest = line.substr(at + key.size());
    const std::vector<Field> f = SplitFields(rest);
    std::optional<std::uint64_t> sectors;
    if (f.size() >= 2) {
      sectors = ParseNumber<std::uint64_t>(f[0].text);
      const std::size_t dash = f[1].text.find("-byte");
      if (dash != std::string_view::npos) {
        disk.bytesPerSector = ParseNumber<std::uint32_t>(f[1].text.substr(0, dash)).value_or(0);
      }
    }
    if (sectors && disk.bytesPerSector != 0) {
      disk.size = *sectors * disk.bytesPerSector;
    } else if (const std::size_t paren = rest.find('('); paren != std::string_view::npos) {
      const std::vector<Field> mb = SplitFields(rest.substr(paren + 1));
      if (mb.size() >= 2 && mb[1].text.substr(0, 2) == "MB") {
        disk.size = ParseNumber<std::uint64_t>(mb[0].text).value_or(0) * 1048576;
      }
    }
    found = disk;
  });
  return found;
}

std::vector<PartitionLine> ParseProcPartitions(std::string_view text) {
  std::vector<PartitionLine> lines;
  ForEachLine(text, [&](std::string_view line) {
    const std::vector<Field> f = SplitFields(line);
    if (f.size() < 4 || !ParseNumber<unsigned>(f[0].text) || !ParseNumber<unsigned>(f[1].text)) {
      return;
    }
    const auto blocks = ParseNumber<std::uint64_t>(f[2].text);
    if (!blocks) return;
    lines.push_back({*blocks, std::string(f[3].text)});
  });
  return lines;
}

std::vector<MountEntry> ParseMounts(std::string_view text) {
  std::vector<MountEntry> mounts;
  ForEachLine(text, [&](std::string_view line) {
    const std::vector<Field> f = SplitFields(line);
    if (f.size() < 3 || f[0].text.front() == '#') return;
    mounts.push_back(
        {UnescapeMountField(f[0].text), UnescapeMountField(f[1].text), std::string(f[2].text)});
  });
  return mounts;
}

std::string MountedDeviceName(std::string_view source) {
  constexpr std::string_view kDev = "/dev/";
  if (source.substr(0, kDev.size()) != kDev) return {};
  const std::string_view name = source.substr(kDev.size());
  if (name.empty() || name.find('/') != std::string_view::npos) return {};
  return std::string(name);
}

FdiskListing ParseFdiskListing(std::string_view text) {
  FdiskListing listing;
  std::string pendingDisk;  // the drive whose "Disk" line came just before
  // Layout of the partition table being read: whether rows may carry a boot
  // flag, and how many fields stand between it and the system text.
  bool hasBoot = false;
  std::size_t skipFields = 0;
  bool haveHeader = false;

  ForEachLine(text, [&](std::string_view line) {
    const std::vector<Field> f = SplitFields(line);
    const std::string disk = std::move(pendingDisk);
    pendingDisk.clear();
    if (f.empty()) return;

    if (f[0].text == "Disk" && f.size() >= 2 && f[1].text.substr(0, 5) == "/dev/" &&
        f[1].text.back() == ':') {
      pendingDisk = std::string(f[1].text.substr(0, f[1].text.size() - 1));
      haveHeader = false;
      return;
    }
    if (!disk.empty() && f.size() >= 6 && f[1].text.substr(0, 5) == "heads" &&
        f[3].text.substr(0, 7) == "sectors" && f[5].text.substr(0, 9) == "cylinders") {
      const auto heads = ParseListedNumber(f[0].text);
      const auto sectors = ParseListedNumber(f[2].text);
      const auto cylinders = ParseListedNumber(f[4].text);
      if (heads && sectors && cylinders && *heads <= UINT32_MAX && *sectors <= UINT32_MAX) {
        listing.geometry[disk] = {static_cast<std::uint32_t>(*heads),
                                  static_cast<std::uint32_t>(*sectors), *cylinders};
      }
      return;
    }
    if (f[0].text == "Device") {
      const auto system = std::find_if(f.begin(), f.end(), [](const Field& x) {
        return x.text == "System" || x.text == "Type";
      });
      if (system == f.end()) return;
      hasBoot = f.size() > 1 && f[1].text == "Boot";
      const std::size_t firstData = hasBoot ? 2 : 1;
      const std::size_t systemIndex = static_cast<std::size_t>(system - f.begin());
      if (systemIndex < firstData) return;
      skipFields = systemIndex - firstData;
      haveHeader = true;
      return;
    }
    if (!haveHeader || f[0].text.substr(0, 5) != "/dev/") return;
    std::size_t next = 1;
    if (hasBoot && next < f.size() && f[next].text == "*") ++next;
    next += skipFields;
    if (next >= f.size()) return;
    listing.systems[std::string(f[0].text)] = std::string(Trim(line.substr(f[next].offset)));
  });
  return listing;
}

std::map<std::string, std::uint64_t> ParseDfAvailable(std::string_view text) {
  std::map<std::string, std::uint64_t> available;
  std::string wrapped;  // a device name that stood alone on the line before
  ForEachLine(text, [&](std::string_view line) {
    const std::vector<Field> f = SplitFields(line);
    const bool startsWithDevice = !f.empty() && f[0].text.substr(0, 4) == "/dev";
    std::string device;
    std::size_t first = 1;
    if (!wrapped.empty() && !startsWithDevice) {
      device = std::move(wrapped);  // the numbers of a wrapped line
      first = 0;
    } else if (startsWithDevice) {
      device = std::string(f[0].text);
    }
    wrapped.clear();
    if (device.empty()) return;
    if (startsWithDevice && f.size() == 1) {
      wrapped = std::move(device);
      return;
    }
    // Blocks, Used, Available (in KiB: the listing is asked for with -k).
    if (f.size() < first + 3) return;
    const auto kib = ParseNumber<std::uint64_t>(f[first + 2].text);
    if (!kib || *kib > UINT64_MAX / 1024) return;
    available.emplace(device, *kib * 1024);
  });
  return available;
}

}  // namespace mgmt::storage
