// The class repository: every class of mof/classes with its inherited features
// merged in, and the inheritance tree for routing enumerations.
#ifndef MGMT_CIMOM_HOST_CLASSREPOSITORY_H
#define MGMT_CIMOM_HOST_CLASSREPOSITORY_H

#include "MofParser.h"

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMName.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace mgmt::cimom {

/// What the router needs to know about a class without touching the class object.
struct ClassInfo {
  Pegasus::CIMName name;
  std::string key;                               ///< case-folded name
  std::string superKey;                          ///< case-folded superclass name, empty for a root
  std::vector<std::string> childKeys;            ///< direct subclasses, in declaration order
  std::unordered_set<std::string> propertyKeys;  ///< case-folded names of all its properties
};

/// Immutable after Build(); every member may be called from any thread.
class ClassRepository {
 public:
  /// Reads every *.mof file of `dir` (sorted by name) and resolves inheritance.
  /// Throws ConfigError naming the file and line of the first problem.
  static ClassRepository Load(const std::filesystem::path& dir);

  /// Resolves inheritance of already parsed classes (throws ConfigError).
  static ClassRepository Build(std::vector<DeclaredClass> declared);

  ClassRepository(ClassRepository&&) noexcept;
  ClassRepository& operator=(ClassRepository&&) noexcept;
  ~ClassRepository();

  /// Null when the class is unknown.
  const ClassInfo* Find(const Pegasus::CIMName& name) const;
  const ClassInfo* FindKey(const std::string& key) const;

  /// A deep copy of the resolved class, safe for the caller to change.
  Pegasus::CIMClass CopyClass(const ClassInfo& info) const;

  /// `info` first, then its subclasses at every depth (parents before children).
  std::vector<const ClassInfo*> WithSubclasses(const ClassInfo& info) const;

  /// Classes without a superclass, in declaration order.
  std::vector<const ClassInfo*> Roots() const;

  /// True if `sub` is `super` or derives from it.
  bool IsA(const ClassInfo& sub, const ClassInfo& super) const;

  size_t Size() const { return infos_.size(); }

 private:
  ClassRepository();
  std::unordered_map<std::string, std::unique_ptr<ClassInfo>> infos_;
  std::unordered_map<std::string, Pegasus::CIMClass> classes_;
  std::vector<std::string> rootKeys_;
  // The class objects are shared handles; copying them from several threads at
  // once is serialised here rather than trusting the handle's reference count.
  std::unique_ptr<std::mutex> copyLock_;
};

}  // namespace mgmt::cimom

#endif
