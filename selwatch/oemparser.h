// The OEM SEL-parser plug-in: a shared library named in SELWATCHModule.conf whose
// entry "ParseOEMSystemEventLog" sees every SEL record before it becomes a trap.
// Only a library the administrator controls is loaded: the configuration file,
// the library and its directory must belong to root and be writable by nobody
// else.
#ifndef MGMT_SELWATCH_OEMPARSER_H
#define MGMT_SELWATCH_OEMPARSER_H

#include <optional>
#include <string>

#include "oempet.h"

typedef struct _OEMParserLibrary {
  void* hLibrary;                     ///< null when none is loaded
  ParseOEMSystemEventLogFn pfnParse;  ///< null when none
} OEMPARSERLIBRARY;

extern OEMPARSERLIBRARY g_ParserLibrary;
/// "/usr/local/share/mgmtagent/hmon/hmconfig/SELWATCHModule.conf"
extern const char* const confFile;

/// Loads the plug-in the configuration file names, if any (failures are logged
/// and leave the record empty). When the file cannot be opened, tries once more
/// after 5 seconds.
void InitParserLib(const char* modelName, OEMPARSERLIBRARY* library);
/// Unloads it.
void CloseParserLib(OEMPARSERLIBRARY* library);

namespace mgmt::selwatch {

inline constexpr size_t kPluginLineBuffer = 128;
inline constexpr size_t kPluginNameMax = 63;
inline constexpr size_t kPluginPathMax = 127;

struct PluginLine {
  std::string name;
  std::string path;
};

/// A "LIBRARY: NAME PATH" line. nullopt for other lines (`*why` empty) and for
/// LIBRARY lines that are refused: a name longer than 63 characters, a path
/// longer than 127 or not absolute (`*why` says which).
std::optional<PluginLine> ParsePluginLine(const char* line, std::string* why);

/// True when the file at `path` belongs to root and neither group nor others
/// may write it; otherwise the reason in `*why`.
bool OwnedByRootOnly(const std::string& path, std::string* why);

}  // namespace mgmt::selwatch

#endif
