// The option scanner both programs use: a whole command line scanned for
// "-key:value" options (any '-' or '/' outside a value starts a key), keys
// lower-cased, the first occurrence of a key wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hostcli {

// Ordered option map, keys lower-cased, first insertion of a key wins.
class CommandLineOptions {
 public:
  // Scans a whole command line (program path included).
  explicit CommandLineOptions(std::string_view commandLine);

  bool HasKey(std::string_view key) const;
  std::optional<std::string> Value(std::string_view key) const;
  const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

 private:
  void Insert(std::string key, std::string value);
  std::vector<std::pair<std::string, std::string>> entries_;
};

// Program arguments as ffsinspect and ffsmount take them: the ones that start
// with '-' are scanned as one command line, the others are left in order in
// positional.
CommandLineOptions ScanArguments(const char* program, const std::vector<std::string>& args,
                                 std::vector<std::string>& positional);

// Rebuilds the process command line as one text: the program path, then each
// argument separated by one blank. An argument holding a blank is quoted so
// that the option scanner reads the same value back: "-key:value with blanks"
// becomes -key:"value with blanks"; one without a colon is quoted whole.
std::string ProcessCommandLine(int argc, const char* const* argv);

}  // namespace hostcli
