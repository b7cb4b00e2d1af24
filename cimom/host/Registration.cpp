#include "Registration.h"

#include "HostError.h"
#include "NameKey.h"
#include "installroot.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_set>

namespace mgmt::cimom {
namespace {

constexpr size_t kMaxLine = 4096;
constexpr std::uintmax_t kMaxFileSize = 1u << 20;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string> SplitList(std::string_view value) {
  std::vector<std::string> out;
  while (!value.empty()) {
    size_t comma = value.find(',');
    std::string_view item = Trim(value.substr(0, comma));
    if (!item.empty()) out.emplace_back(item);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return out;
}

bool LegalName(const std::string& text) {
  try {
    return Pegasus::CIMName::legal(Pegasus::String(text.c_str()));
  } catch (const Pegasus::Exception&) {
    return false;  // not UTF-8
  }
}

bool LegalNamespace(const std::string& text) {
  try {
    return Pegasus::CIMNamespaceName::legal(Pegasus::String(text.c_str()));
  } catch (const Pegasus::Exception&) {
    return false;
  }
}

class StanzaBuilder {
 public:
  StanzaBuilder(const std::string& file, int line) {
    reg_.file = file;
    reg_.line = line;
  }

  void Set(const std::string& key, std::string_view value, int line) {
    const std::string& file = reg_.file;
    if (!seen_.insert(key).second) throw ConfigError(file, line, "'" + key + "' given twice");
    if (key == "module") {
      reg_.module = std::string(value);
    } else if (key == "name") {
      reg_.providerName = std::string(value);
    } else if (key == "classes") {
      reg_.classes = SplitList(value);
      for (const std::string& c : reg_.classes) {
        if (!LegalName(c)) throw ConfigError(file, line, "'" + c + "' is not a legal class name");
      }
    } else if (key == "namespaces") {
      reg_.namespaces = SplitList(value);
      for (const std::string& n : reg_.namespaces) {
        if (!LegalNamespace(n))
          throw ConfigError(file, line, "'" + n + "' is not a legal namespace name");
      }
    } else if (key == "types") {
      for (const std::string& t : SplitList(value)) {
        std::string folded = FoldCase(t);
        if (folded == "instance")
          reg_.instanceProvider = true;
        else if (folded == "method")
          reg_.methodProvider = true;
        else
          throw ConfigError(file, line, "unknown provider type '" + t + "'");
      }
    } else {
      throw ConfigError(file, line, "unknown key '" + key + "'");
    }
  }

  ProviderRegistration Finish() {
    const auto fail = [&](const std::string& what) {
      throw ConfigError(reg_.file, reg_.line, what);
    };
    if (reg_.module.empty()) fail("[Provider] without Module");
    if (reg_.providerName.empty()) fail("[Provider] without Name");
    if (reg_.classes.empty()) fail("[Provider] without Classes");
    if (!seen_.count("types")) reg_.instanceProvider = true;
    if (!reg_.instanceProvider && !reg_.methodProvider) fail("[Provider] with empty Types");
    if (reg_.namespaces.empty()) reg_.namespaces.push_back("root/cimv2");
    return reg_;
  }

 private:
  ProviderRegistration reg_;
  std::unordered_set<std::string> seen_;
};

}  // namespace

std::vector<ProviderRegistration> ParseRegistrations(std::string_view text,
                                                     const std::string& fileName) {
  std::vector<ProviderRegistration> out;
  std::optional<StanzaBuilder> stanza;
  int lineNo = 0;
  while (!text.empty()) {
    ++lineNo;
    size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (raw.size() > kMaxLine) throw ConfigError(fileName, lineNo, "line too long");
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      if (FoldCase(line) != "[provider]") {
        throw ConfigError(fileName, lineNo, "unknown section " + std::string(line));
      }
      if (stanza) out.push_back(stanza->Finish());
      stanza.emplace(fileName, lineNo);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) throw ConfigError(fileName, lineNo, "expected 'Key = Value'");
    if (!stanza) throw ConfigError(fileName, lineNo, "setting outside a [Provider] section");
    std::string key = FoldCase(Trim(line.substr(0, eq)));
    std::string_view value = line.substr(eq + 1);
    if (size_t hash = value.find_first_of("#;"); hash != std::string_view::npos)
      value = value.substr(0, hash);
    value = Trim(value);
    if (value.empty()) throw ConfigError(fileName, lineNo, "'" + key + "' without a value");
    stanza->Set(key, value, lineNo);
  }
  if (stanza) out.push_back(stanza->Finish());
  return out;
}

std::vector<ProviderRegistration> LoadRegistrations(const std::filesystem::path& dir) {
  std::vector<ProviderRegistration> out;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return out;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() == ".reg")
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    if (std::filesystem::file_size(file) > kMaxFileSize)
      throw ConfigError(file.string(), 0, "file too large");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ConfigError(file.string(), 0, "cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    auto regs = ParseRegistrations(text.str(), file.string());
    out.insert(out.end(), regs.begin(), regs.end());
  }
  return out;
}

std::filesystem::path ResolveModulePath(const std::string& module,
                                        const std::vector<std::filesystem::path>& moduleDirs) {
  std::filesystem::path given(module);
  if (given.is_absolute()) return std::filesystem::path(mgmt::RootPath(module));
  std::string fileName = module;
  if (given.extension() != ".so" && module.find(".so.") == std::string::npos)
    fileName = "lib" + module + ".so";
  std::error_code ec;
  for (const auto& dir : moduleDirs) {
    std::filesystem::path candidate = dir / fileName;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

}  // namespace mgmt::cimom
