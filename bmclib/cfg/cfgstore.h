/* Inside the configuration file store: the handle's layout and the operations
 * the Cfg* functions are built from. Also plain C symbols, for tools and tests
 * that inspect the line list. */
#ifndef MGMT_BMCLIB_CFG_CFGSTORE_H
#define MGMT_BMCLIB_CFG_CFGSTORE_H

#include <stdio.h>

#include "cfgfile.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Size of a line buffer: CfgWriteLongs builds values of at most
 *  CFG_LINE_BUFFER - 1 characters. */
#define CFG_LINE_BUFFER 256

/** One line of the file. Lines are only ever added, never removed, so a pointer
 *  to a line stays valid for the handle's lifetime. */
typedef struct _CfgLine {
  struct _CfgLine* next; /**< following line, null for the last */
  char* text;            /**< owned copy of the text without line end, or null */
} _CfgLine;

struct _CfgFile {
  _CfgLine* head;         /**< sentinel without text, always present, never written */
  _CfgLine* tail;         /**< last line; new sections are appended after it */
  _CfgLine* cursor;       /**< set to the head when made, otherwise unused */
  _CfgLine* sectionCache; /**< header line of the section found last, or null */
  int sectionLen;         /**< length of the cached section's name */
  int dirty;              /**< set by every write, cleared by a successful flush */
  int status;             /**< CFG_* status of the last read or flush */
  char* path;             /**< owned copy of the path the handle was made with */
};

/** A new line holding a copy of `text`, or no text when `text` is null; null if
 *  memory runs out. */
_CfgLine* NewNode(const char* text);

/** A new line holding key "=" value; null if memory runs out. */
_CfgLine* NewEntry(const char* key, const char* value);

/** Frees a line and its text. */
void FreeNode(_CfgLine* line);

/** The header line of section `name`, or null. Remembers the last one found. */
_CfgLine* LocateSection(_CfgFile* cfg, const char* name);

/**
 * The value of `key` within the section that starts at `header`, or null. When
 * `outLine` is not null it receives the matching line or, without a match, the
 * insertion point for a new entry: the section's last non-empty line (the
 * header itself when the section has none).
 */
char* LocateEntry(_CfgLine* header, const char* key, _CfgLine** outLine);

/** Reads one line like fgets into `buf` of `size` bytes and removes its line end
 *  ("\n", and a "\r" directly before it). @return `buf`, or null at end of file. */
char* xfgets(char* buf, int size, FILE* file);

#ifdef __cplusplus
}
#endif

#endif
