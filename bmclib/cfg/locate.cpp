// Finding sections and entries in the line list.
#include <cstring>

#include "cfgstore.h"

namespace {

/// When `text` is a section header, sets `name`/`len` to the text between "["
/// and the first "]" after it.
bool HeaderName(const char* text, const char** name, std::size_t* len) {
  if (text == nullptr || text[0] != '[') return false;
  const char* close = std::strchr(text + 1, ']');
  if (close == nullptr) return false;
  *name = text + 1;
  *len = static_cast<std::size_t>(close - (text + 1));
  return true;
}

}  // namespace

extern "C" {

_CfgLine* LocateSection(_CfgFile* cfg, const char* name) {
  if (cfg == nullptr || name == nullptr) return nullptr;
  const std::size_t len = std::strlen(name);

  // Headers are never rewritten, so the cached one still names the same section.
  if (cfg->sectionCache != nullptr && static_cast<std::size_t>(cfg->sectionLen) == len &&
      std::strncmp(cfg->sectionCache->text + 1, name, len) == 0) {
    return cfg->sectionCache;
  }
  for (_CfgLine* line = cfg->head->next; line != nullptr; line = line->next) {
    const char* found = nullptr;
    std::size_t foundLen = 0;
    if (HeaderName(line->text, &found, &foundLen) && foundLen == len &&
        std::memcmp(found, name, len) == 0) {
      cfg->sectionCache = line;
      cfg->sectionLen = static_cast<int>(len);
      return line;
    }
  }
  return nullptr;
}

char* LocateEntry(_CfgLine* header, const char* key, _CfgLine** outLine) {
  if (outLine != nullptr) *outLine = header;
  if (header == nullptr || key == nullptr) return nullptr;
  const std::size_t keyLen = std::strlen(key);

  for (_CfgLine* line = header->next; line != nullptr; line = line->next) {
    char* text = line->text;
    if (text == nullptr || text[0] == '\0') continue;
    if (text[0] == '[') break;
    if (outLine != nullptr) *outLine = line;
    if (text[0] == ';') continue;
    // The key has at least one character, so the "=" is looked for after the first.
    char* equals = std::strchr(text + 1, '=');
    if (equals == nullptr) continue;
    if (static_cast<std::size_t>(equals - text) == keyLen && std::memcmp(text, key, keyLen) == 0) {
      if (outLine != nullptr) *outLine = line;
      return equals + 1;
    }
  }
  return nullptr;
}

}  // extern "C"
