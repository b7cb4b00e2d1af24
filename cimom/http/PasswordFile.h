// The server's password file: one "user:hash" line per user, the hash in crypt(3)
// form, the file mode 0600. Read by the server to check HTTP Basic credentials and
// rewritten atomically by the user-admin command.
#ifndef MGMT_CIMOM_PASSWORDFILE_H
#define MGMT_CIMOM_PASSWORDFILE_H

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace mgmt::cimom {

/// True for 1..32 characters of letters, digits, '.', '_', '-' (no ':', no blanks).
bool ValidUserName(const std::string& user);

/// Reads the file into user → hash. Malformed lines are skipped. nullopt when the
/// file cannot be read.
std::optional<std::map<std::string, std::string>> ReadPasswordFile(const std::string& path);

/// Hashes `password` with the system's preferred crypt(3) method and a fresh salt.
std::optional<std::string> HashPassword(const std::string& password);

/// crypt(3) of `password` with `setting` (a salt string or a whole hash, whose
/// method, cost and salt are used); nullopt when crypt refuses the setting.
std::optional<std::string> CryptHash(const std::string& password, const std::string& setting);

/// Computes a password's hash from a setting: CryptHash, or a test's stand-in.
using HashFunction = std::function<std::optional<std::string>(const std::string& password,
                                                              const std::string& setting)>;

/// True when `password` matches the crypt(3) `hash`.
bool VerifyPassword(const std::string& password, const std::string& hash);

/// Adds or replaces a user; the file is created with mode 0600 if needed and
/// replaced atomically. Returns an empty string or the reason it failed.
std::string SetPassword(const std::string& path, const std::string& user,
                        const std::string& password);

/// Removes a user. Returns an empty string, or the reason (also "no such user").
std::string RemoveUser(const std::string& path, const std::string& user);

/// Checks Basic credentials against a password file, re-reading it when it changes
/// so that users added while the server runs can log in at once. Thread-safe.
class PasswordChecker {
 public:
  explicit PasswordChecker(std::string path, HashFunction hash = CryptHash)
      : path_(std::move(path)), hash_(std::move(hash)) {}
  bool Check(const std::string& user, const std::string& password);
  /// Changes whenever the file is seen to change; credentials accepted under one
  /// generation must be checked again under the next (a user removed or re-keyed).
  std::uint64_t Generation();

 private:
  void RefreshLocked();  // re-reads the file if it changed; mutex_ held
  std::uint64_t generation_ = 0;
  std::string path_;
  HashFunction hash_;
  std::mutex mutex_;
  std::map<std::string, std::string> users_;
  std::string dummySetting_;                        // hashed with for unknown and locked users
  std::optional<std::pair<timespec, off_t>> seen_;  // mtime and size when last read
  ino_t inode_ = 0;
};

/// Decodes an "Authorization: Basic …" value into user and password.
std::optional<std::pair<std::string, std::string>> DecodeBasicAuthorization(
    const std::string& header);

}  // namespace mgmt::cimom

#endif
