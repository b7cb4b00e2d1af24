// The installation root.
//
// Every absolute path the system opens or runs (configuration files, devices,
// /proc and /sys files, tools named with a directory) goes through MgmtPath, which
// prefixes the directory named by the environment variable MGMTAGENT_ROOT. Unset or
// empty means the real root. Tests and the demo point it at fixture trees so the real
// binaries run unchanged against them. Relative names are returned as they are: they
// stay in the working directory.
#ifndef MGMT_PLATFORM_INSTALLROOT_H
#define MGMT_PLATFORM_INSTALLROOT_H

#include <stddef.h>

#ifdef __cplusplus
#include <string>
#include <string_view>

namespace mgmt {

/// The root prefix in force (without a trailing slash), empty for the real root.
/// Read from the environment on every call, so a test can change it.
std::string InstallRoot();

/// `path` resolved against the installation root. Relative paths are unchanged.
std::string RootPath(std::string_view path);

}  // namespace mgmt

extern "C" {
#endif

/// C form for fixed-size buffers: writes the resolved path of `path` into `buf` of
/// `size` bytes. Returns `buf`, or NULL (and `buf` empty when size > 0) when the
/// resolved path does not fit or an argument is null; never truncates silently.
const char* MgmtPath(const char* path, char* buf, size_t size);

#ifdef __cplusplus
}
#endif

#endif
