#include "PasswordFile.h"

#include <crypt.h>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "base/atomic_file.h"
#include "base/base64.h"

namespace mgmt::cimom {

bool ValidUserName(const std::string& user) {
  if (user.empty() || user.size() > 32) return false;
  for (char c : user) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::map<std::string, std::string>> ReadPasswordFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::map<std::string, std::string> users;
  std::string line;
  for (int n = 0; n < 100000 && std::getline(in, line); ++n) {
    if (line.size() > 1024 || line.empty() || line.front() == '#') continue;
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string user = line.substr(0, colon);
    std::string hash = line.substr(colon + 1);
    if (ValidUserName(user) && !hash.empty()) users[user] = hash;
  }
  return users;
}

std::optional<std::string> HashPassword(const std::string& password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  // A null prefix asks libcrypt for its preferred method, random bytes from the OS.
  if (crypt_gensalt_rn(nullptr, 0, nullptr, 0, salt, sizeof salt) == nullptr) return std::nullopt;
  auto data = std::make_unique<crypt_data>();
  const char* h = crypt_r(password.c_str(), salt, data.get());
  if (h == nullptr || h[0] == '*') return std::nullopt;
  return std::string(h);
}

std::optional<std::string> CryptHash(const std::string& password, const std::string& setting) {
  auto data = std::make_unique<crypt_data>();
  const char* h = crypt_r(password.c_str(), setting.c_str(), data.get());
  if (h == nullptr || h[0] == '*') return std::nullopt;
  return std::string(h);
}

namespace {

// A hash no password can match ("*", "!..." locked).
bool UsableHash(const std::string& hash) {
  return !hash.empty() && hash[0] != '*' && hash[0] != '!';
}

// Always computes one hash, then compares in constant time (the lengths of
// crypt(3) strings are no secret).
bool HashMatches(const HashFunction& hashFunction, const std::string& password,
                 const std::string& hash) {
  auto h = hashFunction(password, hash);
  return h && h->size() == hash.size() && CRYPTO_memcmp(h->data(), hash.data(), hash.size()) == 0;
}

// The crypt(3) method of an entry: "$id$", or "" for the traditional DES form.
std::string MethodOf(const std::string& hash) {
  if (hash.empty() || hash[0] != '$') return {};
  return hash.substr(0, hash.find('$', 1) + 1);
}

// What an unknown or locked user is checked against, so that refusing one costs
// what refusing a known user with a wrong password costs: the hash of an entry
// of the method most entries use (its method, cost and salt). The result is
// thrown away, so matching it lets nobody in. Without usable entries, a fresh
// salt of crypt's preferred method.
std::string DummySetting(const std::map<std::string, std::string>& users) {
  std::map<std::string, std::pair<int, const std::string*>> byMethod;
  for (const auto& entry : users) {
    if (!UsableHash(entry.second)) continue;
    auto& [count, first] = byMethod[MethodOf(entry.second)];
    if (count++ == 0) first = &entry.second;
  }
  const std::string* best = nullptr;
  int bestCount = 0;
  for (const auto& [method, seen] : byMethod) {
    if (seen.first > bestCount) {
      bestCount = seen.first;
      best = seen.second;
    }
  }
  if (best != nullptr) return *best;
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (crypt_gensalt_rn(nullptr, 0, nullptr, 0, salt, sizeof salt) == nullptr) return {};
  return salt;
}

}  // namespace

bool VerifyPassword(const std::string& password, const std::string& hash) {
  return UsableHash(hash) && HashMatches(CryptHash, password, hash);
}

namespace {

std::string WriteUsers(const std::string& path, const std::map<std::string, std::string>& users) {
  std::string text;
  for (const auto& [u, h] : users) text += u + ":" + h + "\n";
  // Hashes are secrets: the file is 0600 whatever mode it was found with.
  if (base::ReplaceFileContents(path, text, {.mode = 0600}) != 0)
    return path + ": " + std::strerror(errno);
  return {};
}

}  // namespace

std::string SetPassword(const std::string& path, const std::string& user,
                        const std::string& password) {
  if (!ValidUserName(user)) return "invalid user name \"" + user + "\"";
  if (password.empty()) return "empty password";
  auto users = ReadPasswordFile(path);
  if (!users) {
    if (::access(path.c_str(), F_OK) == 0) return path + ": cannot read";
    users.emplace();
  }
  auto hash = HashPassword(password);
  if (!hash) return "cannot hash the password";
  (*users)[user] = *hash;
  return WriteUsers(path, *users);
}

std::string RemoveUser(const std::string& path, const std::string& user) {
  auto users = ReadPasswordFile(path);
  if (!users) return path + ": cannot read";
  if (users->erase(user) == 0) return "no such user \"" + user + "\"";
  return WriteUsers(path, *users);
}

void PasswordChecker::RefreshLocked() {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    if (seen_ || !users_.empty()) ++generation_;
    users_.clear();
    seen_.reset();
    if (dummySetting_.empty()) dummySetting_ = DummySetting(users_);
  } else if (!seen_ || seen_->first.tv_sec != st.st_mtim.tv_sec ||
             seen_->first.tv_nsec != st.st_mtim.tv_nsec || seen_->second != st.st_size ||
             inode_ != st.st_ino) {
    users_ = ReadPasswordFile(path_).value_or(std::map<std::string, std::string>{});
    dummySetting_ = DummySetting(users_);
    seen_ = std::make_pair(st.st_mtim, st.st_size);
    inode_ = st.st_ino;
    ++generation_;
  }
}

std::uint64_t PasswordChecker::Generation() {
  std::lock_guard lock(mutex_);
  RefreshLocked();
  return generation_;
}

bool PasswordChecker::Check(const std::string& user, const std::string& password) {
  // Known or not, one hash is computed: an early refusal would tell a remote
  // caller by its speed which user names exist.
  std::string hash;
  bool known = false;
  {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    auto it = users_.find(user);
    known = it != users_.end() && UsableHash(it->second);
    hash = known ? it->second : dummySetting_;
  }
  const bool matches = HashMatches(hash_, password, hash);
  return known && matches;
}

std::optional<std::pair<std::string, std::string>> DecodeBasicAuthorization(
    const std::string& header) {
  std::string_view v(header);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  if (v.size() < 6) return std::nullopt;
  std::string scheme(v.substr(0, 5));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "basic" || v[5] != ' ') return std::nullopt;
  v.remove_prefix(6);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  auto decoded = base::Base64Decode(v);
  if (!decoded) return std::nullopt;
  auto colon = decoded->find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(decoded->substr(0, colon), decoded->substr(colon + 1));
}

}  // namespace mgmt::cimom
