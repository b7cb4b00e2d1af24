// Tokens of the MOF subset read by the class repository (see mof/README.md).
#ifndef MGMT_CIMOM_HOST_MOFLEXER_H
#define MGMT_CIMOM_HOST_MOFLEXER_H

#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimom {

enum class MofTokenKind { kIdentifier, kString, kInteger, kReal, kPunct, kEnd };

struct MofToken {
  MofTokenKind kind = MofTokenKind::kEnd;
  std::string text;  ///< identifier, decoded string, number text, or the punctuation character
  int line = 0;
};

/// Splits MOF text into tokens: comments and #pragma lines are dropped, string
/// escapes decoded. Throws ConfigError("file:line: ...") on a malformed token.
/// The result always ends with one End token.
std::vector<MofToken> TokenizeMof(std::string_view text, const std::string& fileName);

}  // namespace mgmt::cimom

#endif
