// The tool side of the SMBIOS access functions: platform type and model name as
// the installed smbiosinfo tool reports them, through its output files.
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "base/fd.h"
#include "base/spawn.h"
#include "installroot.h"
#include "smbapi.h"

namespace mgmt::smbapi {
namespace {

// The tool reads a table and asks the BMC once; the IMB layer waits at most 30 s
// for an answer. A tool that takes longer than this is stopped.
constexpr std::chrono::seconds kToolTimeLimit{60};
constexpr std::string_view kProductNamePrefix = "Product Name: ";

// Runs "smbiosinfo <option>" with its standard output in `outputFile`: what
// "smbiosinfo <option> ><file>" does in a shell, without one. The child gets no
// descriptor of ours but its standard input, output and error.
void RunTool(const char* option, const char* outputFile) {
  const base::UniqueFd out = base::OpenOutputFile(RootPath(outputFile), 0644);
  if (!out.Valid()) return;
  base::ChildOptions options;
  options.path = RootPath(kSmbiosInfoPath);
  options.in = base::StdStream::Inherit();
  options.out = base::StdStream::Fd(out.Get());
  options.err = base::StdStream::Inherit();
  options.timeLimit = kToolTimeLimit;
  base::RunChild({"smbiosinfo", option}, options);
}

// The first line of `path` (at most size-1 characters, line end included when it
// fits) into `output`; empty when the file cannot be read.
void ReadFirstLine(const char* path, char* output, size_t size) {
  output[0] = '\0';
  const base::UniqueFile file = base::OpenFile(RootPath(path), "r");
  if (!file) return;
  if (std::fgets(output, static_cast<int>(size), file.get()) == nullptr) output[0] = '\0';
}

}  // namespace

void GetPlatformType(char* output) {
  if (output == nullptr) return;
  output[0] = '\0';
  RunTool("-t", kPlatformTypeFile);
  ReadFirstLine(kPlatformTypeFile, output, kToolOutputSize);
}

void GetModelName(char* output) {
  if (output == nullptr) return;
  output[0] = '\0';
  RunTool("-m", kModelNameFile);
  char line[kToolOutputSize];
  ReadFirstLine(kModelNameFile, line, sizeof line);
  const size_t length = std::strlen(line);
  // The prefix itself is not compared: the tool writes nothing else there.
  if (length > kProductNamePrefix.size()) {
    std::memcpy(output, line + kProductNamePrefix.size(), length - kProductNamePrefix.size() + 1);
  }
}

void GetModelName_Trimed(char* output) {
  if (output == nullptr) return;
  GetModelName(output);
  size_t length = std::strlen(output);
  while (length > 0 && std::strchr("\r\n \t_", output[length - 1]) != nullptr) --length;
  output[length] = '\0';
  for (size_t i = 0; i < length; ++i) {
    if (output[i] == ' ') output[i] = '_';
  }
}

}  // namespace mgmt::smbapi
