/* Configuration file store: INI-style text files held in memory as lines.
 *
 * A file is read whole into an ordered list of lines; reads and writes work on
 * the list, and the file is rewritten from it only when something was written.
 * Lines the store does not touch (comments, blank lines, unknown text, other
 * sections) come back unchanged and in their place.
 *
 * Syntax: "[name]" starts a section (text after the first "]" is ignored);
 * "key=value" is an entry (the key is the text before the first "=" after the
 * line's first character, the value everything after it, blanks included); a
 * line starting with ";" is a comment. Names are compared byte for byte. The
 * first of two equal sections or keys is the one found. Lines before the first
 * section belong to none and are never found.
 *
 * Paths given to the store are opened through the installation root
 * (MGMTAGENT_ROOT). A handle is used by one thread at a time; nothing locks the
 * file against other processes, but a flush replaces the file atomically.
 */
#ifndef MGMT_BMCLIB_CFG_CFGFILE_H
#define MGMT_BMCLIB_CFG_CFGFILE_H

#ifdef __cplusplus
extern "C" {
#endif

/** Opaque handle of an open configuration file. */
typedef struct _CfgFile _CfgFile;

/** Status of the last read or flush of a handle (returned by CfgCache). */
enum {
  CFG_OK = 0,         /**< success */
  CFG_NOFILE = 1,     /**< the file does not exist (read) or cannot be written (flush) */
  CFG_UNREADABLE = 2, /**< the file exists but cannot be read */
  CFG_NOMEMORY = 3    /**< memory ran out while the lines were read */
};

/** A new handle for `path` with no lines, without touching the file; null if
 *  `path` is null or memory runs out. */
_CfgFile* CfgNew(const char* path);

/** Reads the handle's file into its line list, replacing what the list held.
 *  On failure to open the list stays as it was. @return the status, also kept
 *  in the handle. */
int CfgCache(_CfgFile* cfg);

/** CfgNew, then CfgCache. A missing or unreadable file still gives a usable,
 *  empty handle; null only when memory runs out. */
_CfgFile* CfgOpen(const char* path);

/** Writes the lines back when something was written since the last flush. The
 *  file is replaced atomically (a sibling file is written, synced and renamed
 *  over it) and keeps its owner and mode; a symbolic link is followed to the
 *  file it names. @return 0 on success (or nothing to write); 1 when the file
 *  cannot be written, the handle then stays dirty so a later flush retries. */
int CfgFlush(_CfgFile* cfg);

/** Frees the handle and every line, writing nothing. Null is ignored. */
void CfgFree(_CfgFile* cfg);

/** CfgFlush, then CfgFree. @return the flush's result. */
int CfgClose(_CfgFile* cfg);

/** The value of `key` in `section`, pointing into the stored line, or null when
 *  either is missing. Valid until the key is written again or the handle freed. */
const char* CfgGetString(_CfgFile* cfg, const char* section, const char* key);

/** Copies the value into `buf` of `size` bytes with strncpy rules and a NUL
 *  always at buf[size-1]. @return 0, or -1 when not found or `buf`/`size` is
 *  unusable (then `buf` is untouched). */
int CfgReadString(_CfgFile* cfg, const char* section, const char* key, char* buf, int size);

/** As CfgReadString, but copies `def` (null counts as "") when not found. */
void CfgReadStringDef(_CfgFile* cfg, const char* section, const char* key, char* buf, int size,
                      const char* def);

/** Parses `count` numbers from a value written by CfgWriteLongs (strtol base 0
 *  each, one separator character stepped over after each; missing numbers read
 *  as 0). @return 0, or -1 when not found (then `values` is untouched). */
int CfgReadLongs(_CfgFile* cfg, const char* section, const char* key, long* values, int count);

/**
 * Sets `key` in `section` to `value`: replaces the first such entry in place,
 * or inserts a new entry after the section's last non-empty line, or appends
 * a new section ("[section]", the entry and an empty line) at the end of the
 * file. Marks the handle dirty.
 * @return 0, or 1 when memory runs out or the text would not read back as
 *         written (a line end in any part, an empty section or key, a "]" in
 *         the section, a "=" in the key, or a key starting with "[" or ";").
 */
int CfgWriteString(_CfgFile* cfg, const char* section, const char* key, const char* value);

/** Writes `count` numbers as one value, each followed by one blank: "0x%lX "
 *  when `base` is 16 ("-0x%lX " for a negative number), "%ld " otherwise. A list
 *  longer than 255 characters is not written. */
void CfgWriteLongs(_CfgFile* cfg, const char* section, const char* key, const long* values,
                   int count, int base);

#ifdef __cplusplus
}
#endif

#endif
