// The command line of vorel: the option scanner over the whole process
// command line, and the validation that turns the options into run settings.
// The first occurrence of an option wins; keys are compared lower-cased.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorel {

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

enum class FlashTypeCode : std::uint32_t { None = 0, Old = 1, New = 2 };

inline constexpr char kDirectionPtf[] = "ptf";
inline constexpr char kDirectionFtp[] = "ftp";
inline constexpr char kFlashTypeOld[] = "MX29LV640B";
inline constexpr char kFlashTypeNew[] = "M29W256G";

struct RunSettings {
  std::string direction;
  std::string source;
  std::string destination;
  std::int32_t size = 0;
  std::string flashType;
  bool isPtf = false;

  FlashTypeCode FlashCode() const {
    return flashType == kFlashTypeOld ? FlashTypeCode::Old
         : flashType == kFlashTypeNew ? FlashTypeCode::New
                                      : FlashTypeCode::None;
  }
};

// Reads a "-size:" value: leading white space, optional sign, decimal digits
// up to the first other character. Text that is not a number, a negative
// number or one beyond 32 bits is bad input and gives 0.
std::int32_t ParseVolumeSize(std::string_view text);

// Checks the options in their fixed order, printing the messages of the first
// failure. Touches no file.
bool CheckRunOptions(std::string_view commandLine, RunSettings& settings);

// CheckRunOptions, then the temp-directory step (deleting "Disk2.dat").
bool ParseRunSettings(std::string_view commandLine, RunSettings& settings);

void PrintBanner();
void PrintHelp();

}  // namespace vorel
