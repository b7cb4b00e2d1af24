// The MOF subset of the class repository: class declarations with a superclass,
// qualifiers, properties (scalar, array, reference) and methods with typed
// parameters. Format in mof/README.md.
#ifndef MGMT_CIMOM_HOST_MOFPARSER_H
#define MGMT_CIMOM_HOST_MOFPARSER_H

#include <Pegasus/Common/CIMClass.h>

#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimom {

/// One class as written in a file: only its own features, superclass not merged.
struct DeclaredClass {
  Pegasus::CIMClass cls;
  std::string file;
  int line = 0;
};

/// Parses one file's text. Throws ConfigError("file:line: ...") on the first error.
std::vector<DeclaredClass> ParseMof(std::string_view text, const std::string& fileName);

}  // namespace mgmt::cimom

#endif
