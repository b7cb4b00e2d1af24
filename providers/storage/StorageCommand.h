// Running the two outside commands of the storage collector (fdisk and df) and
// taking their output, from a provider that the object manager calls on many
// threads at once.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGECOMMAND_H
#define MGMT_PROVIDERS_STORAGE_STORAGECOMMAND_H

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace mgmt::storage {

/// How long one command may run before it is killed.
constexpr std::chrono::milliseconds kCommandTimeLimit{10000};

/// Largest output taken from one command; a listing beyond it is refused whole.
constexpr std::size_t kMaxCommandOutput = 8u << 20;

/**
 * Runs `program` (an absolute path, resolved through the installation root) with
 * the argument vector `args` and returns what it wrote to standard output.
 *
 * No shell is involved and no output file is made, so neither a device name nor a
 * planted link can change what runs or where its output goes. The child runs in
 * its own process group with LC_ALL=C (the listings are read in the C locale's
 * words and number format), a fixed PATH, standard input and error on /dev/null,
 * default signal handling and no descriptors of the caller's beyond the three.
 * The exit status is not looked at: fdisk reports an unreadable device in its
 * status but still lists the others.
 *
 * @return the output, or nothing when the program cannot be started, outlives
 *         `timeLimit` (its whole process group is killed) or writes more than
 *         kMaxCommandOutput bytes.
 */
std::optional<std::string> RunCommandOutput(
    const std::string& program, const std::vector<std::string>& args,
    std::chrono::milliseconds timeLimit = kCommandTimeLimit);

}  // namespace mgmt::storage

#endif
