// libFuzzer target for vorel's command line: the input is split at zero bytes
// into argument strings, joined into the process command line, scanned and
// validated. No file is touched: the run flow stops after the validation.
// Checks that what validation accepts is consistent with the options seen.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/command_line.h"
#include "converter/host_fs.h"

namespace {

std::vector<std::string> SplitArguments(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"vorel"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> args = SplitArguments(data, size);
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  const std::string line = vorel::host::ProcessCommandLine(static_cast<int>(argv.size()), argv.data());

  // The raw text as a whole command line, and the line rebuilt from arguments.
  for (const std::string& text : {std::string(reinterpret_cast<const char*>(data), size), line}) {
    const vorel::CommandLineOptions options(text);
    for (const auto& entry : options.Entries()) {
      if (!options.HasKey(entry.first)) __builtin_trap();
      for (char c : entry.first)
        if (c >= 'A' && c <= 'Z') __builtin_trap();  // keys are lower-cased
    }
    vorel::RunSettings settings;
    if (vorel::CheckRunOptions(text, settings)) {
      // Accepted settings always name a direction, a flash type and both paths.
      if (settings.direction != vorel::kDirectionPtf && settings.direction != vorel::kDirectionFtp)
        __builtin_trap();
      if (settings.FlashCode() == flashimage::FlashTypeCode::None) __builtin_trap();
      if (settings.source.empty() || settings.destination.empty()) __builtin_trap();
      if (settings.size < 0 || (!settings.isPtf && settings.size != 0)) __builtin_trap();
    }
    vorel::ParseVolumeSize(text);
  }
  return 0;
}
