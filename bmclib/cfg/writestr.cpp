#include <cstdlib>
#include <cstring>
#include <string>

#include "cfgstore.h"

namespace {

bool HasLineEnd(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

/// A section, key and value that, written out, read back as the same entry:
/// nothing may split the line, end the header early or move the "=".
bool Writable(const char* section, const char* key, const char* value) {
  if (section[0] == '\0' || std::strchr(section, ']') != nullptr || HasLineEnd(section))
    return false;
  if (key[0] == '\0' || key[0] == '[' || key[0] == ';') return false;
  if (std::strchr(key, '=') != nullptr || HasLineEnd(key)) return false;
  return !HasLineEnd(value);
}

void InsertAfter(_CfgFile* cfg, _CfgLine* where, _CfgLine* line) {
  line->next = where->next;
  where->next = line;
  if (where == cfg->tail) cfg->tail = line;
}

/// Appends "[section]", the entry and an empty line at the end of the file, all
/// or nothing.
int AppendSection(_CfgFile* cfg, const char* section, const char* key, const char* value) {
  const std::string header = std::string("[") + section + "]";
  _CfgLine* head = NewNode(header.c_str());
  _CfgLine* entry = NewEntry(key, value);
  _CfgLine* blank = NewNode(nullptr);
  if (head == nullptr || entry == nullptr || blank == nullptr) {
    FreeNode(head);
    FreeNode(entry);
    FreeNode(blank);
    return 1;
  }
  InsertAfter(cfg, cfg->tail, head);
  InsertAfter(cfg, head, entry);
  InsertAfter(cfg, entry, blank);
  return 0;
}

}  // namespace

extern "C" int CfgWriteString(_CfgFile* cfg, const char* section, const char* key,
                              const char* value) {
  if (cfg == nullptr || section == nullptr || key == nullptr) return 1;
  if (value == nullptr) value = "";
  cfg->dirty = 1;
  if (!Writable(section, key, value)) return 1;

  _CfgLine* header = LocateSection(cfg, section);
  if (header == nullptr) return AppendSection(cfg, section, key, value);

  _CfgLine* at = nullptr;
  if (LocateEntry(header, key, &at) != nullptr) {
    // Replaced in place; when the new text cannot be made the old one stays.
    _CfgLine* made = NewEntry(key, value);
    if (made == nullptr) return 1;
    std::free(at->text);
    at->text = made->text;
    made->text = nullptr;
    FreeNode(made);
    return 0;
  }
  _CfgLine* entry = NewEntry(key, value);
  if (entry == nullptr) return 1;
  InsertAfter(cfg, at, entry);
  return 0;
}
