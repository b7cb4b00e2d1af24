// Making, reading and freeing a configuration file handle, and its lines.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/fd.h"
#include "cfgstore.h"
#include "installroot.h"

namespace {

struct BufferFree {
  void operator()(char* p) const { std::free(p); }
};

/// A chain of lines being built, freed unless it is handed over.
struct LineChain {
  _CfgLine* first = nullptr;
  _CfgLine* last = nullptr;
  LineChain() = default;
  LineChain(const LineChain&) = delete;
  LineChain& operator=(const LineChain&) = delete;
  ~LineChain() {
    while (first != nullptr) {
      _CfgLine* next = first->next;
      FreeNode(first);
      first = next;
    }
  }
  void append(_CfgLine* line) {
    (last == nullptr ? first : last->next) = line;
    last = line;
  }
};

void FreeLinesAfter(_CfgLine* line) {
  _CfgLine* p = line->next;
  line->next = nullptr;
  while (p != nullptr) {
    _CfgLine* next = p->next;
    FreeNode(p);
    p = next;
  }
}

/// Reads every line of `file` into `chain`, whole whatever its length (a line
/// cut into pieces would come back as several lines on the next flush).
int ReadLines(std::FILE* file, LineChain& chain) {
  char* raw = nullptr;
  std::size_t capacity = 0;
  std::unique_ptr<char, BufferFree> owner;
  for (;;) {
    errno = 0;
    ssize_t len = getline(&raw, &capacity, file);
    owner.release();
    owner.reset(raw);
    if (len < 0) {
      if (std::ferror(file) == 0) return CFG_OK;
      return errno == ENOMEM ? CFG_NOMEMORY : CFG_UNREADABLE;
    }
    if (len > 0 && raw[len - 1] == '\n') {
      raw[--len] = '\0';
      if (len > 0 && raw[len - 1] == '\r') raw[--len] = '\0';
    }
    _CfgLine* line = NewNode(raw);
    if (line == nullptr) return CFG_NOMEMORY;
    chain.append(line);
  }
}

}  // namespace

extern "C" {

_CfgLine* NewNode(const char* text) {
  auto* line = static_cast<_CfgLine*>(std::calloc(1, sizeof(_CfgLine)));
  if (line == nullptr || text == nullptr) return line;
  line->text = strdup(text);
  if (line->text == nullptr) {
    std::free(line);
    return nullptr;
  }
  return line;
}

_CfgLine* NewEntry(const char* key, const char* value) {
  if (key == nullptr) return nullptr;
  if (value == nullptr) value = "";
  const std::size_t keyLen = std::strlen(key);
  const std::size_t valueLen = std::strlen(value);
  auto* text = static_cast<char*>(std::malloc(keyLen + 1 + valueLen + 1));
  if (text == nullptr) return nullptr;
  std::memcpy(text, key, keyLen);
  text[keyLen] = '=';
  std::memcpy(text + keyLen + 1, value, valueLen + 1);
  auto* line = static_cast<_CfgLine*>(std::calloc(1, sizeof(_CfgLine)));
  if (line == nullptr) {
    std::free(text);
    return nullptr;
  }
  line->text = text;
  return line;
}

void FreeNode(_CfgLine* line) {
  if (line == nullptr) return;
  std::free(line->text);
  std::free(line);
}

char* xfgets(char* buf, int size, FILE* file) {
  if (buf == nullptr || size <= 0 || file == nullptr) return nullptr;
  if (std::fgets(buf, size, file) == nullptr) return nullptr;
  std::size_t len = std::strlen(buf);
  if (len > 0 && buf[len - 1] == '\n') {
    buf[--len] = '\0';
    if (len > 0 && buf[len - 1] == '\r') buf[--len] = '\0';
  }
  return buf;
}

_CfgFile* CfgNew(const char* path) {
  if (path == nullptr) return nullptr;
  auto* cfg = static_cast<_CfgFile*>(std::calloc(1, sizeof(_CfgFile)));
  if (cfg == nullptr) return nullptr;
  cfg->head = NewNode(nullptr);
  cfg->path = strdup(path);
  if (cfg->head == nullptr || cfg->path == nullptr) {
    FreeNode(cfg->head);
    std::free(cfg->path);
    std::free(cfg);
    return nullptr;
  }
  cfg->tail = cfg->head;
  cfg->cursor = cfg->head;
  return cfg;
}

int CfgCache(_CfgFile* cfg) {
  if (cfg == nullptr) return CFG_UNREADABLE;
  const mgmt::base::UniqueFile file = mgmt::base::OpenFile(mgmt::RootPath(cfg->path), "rb");
  if (!file) {
    cfg->status = errno == ENOENT ? CFG_NOFILE : CFG_UNREADABLE;
    return cfg->status;
  }
  // The new lines replace the list only once the whole file has been read: a
  // list cut short by a read error would be written back and lose the rest.
  LineChain chain;
  cfg->status = ReadLines(file.get(), chain);
  if (cfg->status != CFG_OK) return cfg->status;

  FreeLinesAfter(cfg->head);
  cfg->head->next = chain.first;
  cfg->tail = chain.last != nullptr ? chain.last : cfg->head;
  chain.first = chain.last = nullptr;
  cfg->sectionCache = nullptr;
  cfg->sectionLen = 0;
  return cfg->status;
}

_CfgFile* CfgOpen(const char* path) {
  _CfgFile* cfg = CfgNew(path);
  if (cfg != nullptr && CfgCache(cfg) == CFG_NOMEMORY) {
    CfgFree(cfg);
    return nullptr;
  }
  return cfg;
}

void CfgFree(_CfgFile* cfg) {
  if (cfg == nullptr) return;
  FreeLinesAfter(cfg->head);
  FreeNode(cfg->head);
  std::free(cfg->path);
  std::free(cfg);
}

}  // extern "C"
