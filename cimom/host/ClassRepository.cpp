#include "ClassRepository.h"

#include "HostError.h"
#include "NameKey.h"

#include <Pegasus/Common/CIMMethod.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace Pegasus;

namespace mgmt::cimom {
namespace {

constexpr std::uintmax_t kMaxMofFileSize = 4u << 20;

struct Pending {
  DeclaredClass decl;
  enum class State { kUnresolved, kResolving, kDone } state = State::kUnresolved;
};

/// Copies the qualifiers of `from` that `to` does not set itself: a subclass that
/// overrides a key property keeps it a key.
template <class T>
void InheritQualifiers(T& to, const T& from) {
  for (Uint32 i = 0; i < from.getQualifierCount(); ++i) {
    CIMQualifier q = from.getQualifier(i).clone();
    if (to.findQualifier(q.getName()) == PEG_NOT_FOUND) to.addQualifier(q);
  }
}

class Resolver {
 public:
  explicit Resolver(std::vector<DeclaredClass> declared) {
    for (DeclaredClass& d : declared) {
      std::string key = NameKey(d.cls.getClassName());
      if (pending_.count(key)) {
        const DeclaredClass& first = pending_[key].decl;
        throw ConfigError(d.file, d.line,
                          "class " + ToStd(d.cls.getClassName().getString()) +
                              " already defined at " + first.file + ":" +
                              std::to_string(first.line));
      }
      order.push_back(key);
      pending_[key].decl = std::move(d);
    }
  }

  void Run() {
    for (const std::string& key : order) Resolve(key);
  }

  std::unordered_map<std::string, CIMClass> resolved;
  std::vector<std::string> order;

 private:
  const CIMClass& Resolve(const std::string& key) {
    Pending& p = pending_.at(key);
    if (p.state == Pending::State::kDone) return resolved.at(key);
    const DeclaredClass& d = p.decl;
    if (p.state == Pending::State::kResolving) {
      throw ConfigError(
          d.file, d.line,
          "class " + ToStd(d.cls.getClassName().getString()) + " inherits from itself");
    }
    p.state = Pending::State::kResolving;
    CIMName superName = d.cls.getSuperClassName();
    CIMClass merged;
    if (superName.isNull()) {
      merged = d.cls.clone();
    } else {
      std::string superKey = NameKey(superName);
      if (!pending_.count(superKey)) {
        throw ConfigError(d.file, d.line,
                          "superclass " + ToStd(superName.getString()) + " is not defined");
      }
      merged = Merge(Resolve(superKey), d.cls);
    }
    p.state = Pending::State::kDone;
    return resolved[key] = merged;
  }

  /// The subclass as a client sees it: the superclass's properties and methods
  /// first (marked propagated unless redeclared), then its own.
  static CIMClass Merge(const CIMClass& super, const CIMClass& own) {
    CIMClass out(own.getClassName(), own.getSuperClassName());
    for (Uint32 i = 0; i < own.getQualifierCount(); ++i)
      out.addQualifier(own.getQualifier(i).clone());
    for (Uint32 i = 0; i < super.getPropertyCount(); ++i) {
      CIMProperty inherited = super.getProperty(i).clone();
      Uint32 at = own.findProperty(inherited.getName());
      if (at == PEG_NOT_FOUND) {
        inherited.setPropagated(true);
        out.addProperty(inherited);
      } else {
        CIMProperty overriding = own.getProperty(at).clone();
        InheritQualifiers(overriding, inherited);
        out.addProperty(overriding);
      }
    }
    for (Uint32 i = 0; i < own.getPropertyCount(); ++i) {
      if (out.findProperty(own.getProperty(i).getName()) == PEG_NOT_FOUND) {
        out.addProperty(own.getProperty(i).clone());
      }
    }
    for (Uint32 i = 0; i < super.getMethodCount(); ++i) {
      CIMMethod inherited = super.getMethod(i).clone();
      Uint32 at = own.findMethod(inherited.getName());
      if (at == PEG_NOT_FOUND) {
        inherited.setPropagated(true);
        out.addMethod(inherited);
      } else {
        out.addMethod(own.getMethod(at).clone());
      }
    }
    for (Uint32 i = 0; i < own.getMethodCount(); ++i) {
      if (out.findMethod(own.getMethod(i).getName()) == PEG_NOT_FOUND) {
        out.addMethod(own.getMethod(i).clone());
      }
    }
    return out;
  }

  std::unordered_map<std::string, Pending> pending_;
};

}  // namespace

ClassRepository::ClassRepository() : copyLock_(std::make_unique<std::mutex>()) {}
ClassRepository::ClassRepository(ClassRepository&&) noexcept = default;
ClassRepository& ClassRepository::operator=(ClassRepository&&) noexcept = default;
ClassRepository::~ClassRepository() = default;

ClassRepository ClassRepository::Load(const std::filesystem::path& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    throw ConfigError("class directory " + dir.string() + " does not exist");
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() == ".mof")
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<DeclaredClass> declared;
  for (const auto& file : files) {
    if (std::filesystem::file_size(file) > kMaxMofFileSize) {
      throw ConfigError(file.string(), 0, "file too large");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ConfigError(file.string(), 0, "cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    auto parsed = ParseMof(text.str(), file.string());
    for (auto& d : parsed) declared.push_back(std::move(d));
  }
  return Build(std::move(declared));
}

ClassRepository ClassRepository::Build(std::vector<DeclaredClass> declared) {
  Resolver resolver(std::move(declared));
  resolver.Run();

  ClassRepository repo;
  for (const std::string& key : resolver.order) {
    const CIMClass& cls = resolver.resolved.at(key);
    auto info = std::make_unique<ClassInfo>();
    info->name = cls.getClassName();
    info->key = key;
    info->superKey = NameKey(cls.getSuperClassName());
    for (Uint32 i = 0; i < cls.getPropertyCount(); ++i) {
      info->propertyKeys.insert(NameKey(cls.getProperty(i).getName()));
    }
    if (info->superKey.empty()) repo.rootKeys_.push_back(key);
    repo.infos_[key] = std::move(info);
    repo.classes_.emplace(key, cls);
  }
  for (const std::string& key : resolver.order) {
    ClassInfo& info = *repo.infos_.at(key);
    if (!info.superKey.empty()) repo.infos_.at(info.superKey)->childKeys.push_back(key);
  }
  return repo;
}

const ClassInfo* ClassRepository::Find(const CIMName& name) const {
  return name.isNull() ? nullptr : FindKey(NameKey(name));
}

const ClassInfo* ClassRepository::FindKey(const std::string& key) const {
  auto it = infos_.find(key);
  return it == infos_.end() ? nullptr : it->second.get();
}

CIMClass ClassRepository::CopyClass(const ClassInfo& info) const {
  std::lock_guard<std::mutex> lock(*copyLock_);
  return classes_.at(info.key).clone();
}

std::vector<const ClassInfo*> ClassRepository::WithSubclasses(const ClassInfo& info) const {
  std::vector<const ClassInfo*> out{&info};
  for (size_t i = 0; i < out.size(); ++i) {
    for (const std::string& child : out[i]->childKeys) out.push_back(infos_.at(child).get());
  }
  return out;
}

std::vector<const ClassInfo*> ClassRepository::Roots() const {
  std::vector<const ClassInfo*> out;
  for (const std::string& key : rootKeys_) out.push_back(infos_.at(key).get());
  return out;
}

bool ClassRepository::IsA(const ClassInfo& sub, const ClassInfo& super) const {
  for (const ClassInfo* c = &sub; c != nullptr;
       c = c->superKey.empty() ? nullptr : FindKey(c->superKey)) {
    if (c == &super) return true;
  }
  return false;
}

}  // namespace mgmt::cimom
