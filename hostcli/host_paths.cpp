// Host paths on POSIX and std::filesystem.
#include "hostcli/host_paths.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "hostcli/messages.h"

namespace fs = std::filesystem;

namespace hostcli {

std::optional<std::string> MakeAbsolute(const std::string& path) {
  std::error_code ec;
  fs::path abs = path.empty() ? fs::path() : fs::absolute(path, ec);
  if (path.empty() || ec) {
    std::printf("%s", msg::kErrorPrefix);
    std::printf(msg::kNoAbsolutePath, path.c_str());
    return std::nullopt;
  }
  std::string text = abs.lexically_normal().string();
  while (text.size() > 1 && text.back() == kSeparator) text.pop_back();
  return text;
}

std::optional<unsigned long long> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || st.st_size < 0) return std::nullopt;
  return static_cast<unsigned long long>(st.st_size);
}

std::string ProgramDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return WorkingDirectory();
  return exe.parent_path().string();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == kSeparator) return dir + name;
  return dir + kSeparator + name;
}

std::string WorkingDirectory() {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  return ec ? std::string() : cwd.string();
}

}  // namespace hostcli
