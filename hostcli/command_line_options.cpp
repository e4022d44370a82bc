// The option scanner. Any '-' or '/' outside a value starts a key, the
// program path included, so that scanning resumes behind each value and
// never inside one.
#include "hostcli/command_line_options.h"

#include <cctype>

namespace hostcli {

CommandLineOptions::CommandLineOptions(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size()) {
    const std::size_t dash = line.find_first_of("-/", p);
    if (dash == std::string_view::npos) break;
    const std::size_t keyStart = dash + 1;
    if (keyStart >= line.size()) break;
    const std::size_t sep = line.find_first_of(" :", keyStart);
    if (sep == std::string_view::npos) {
      Insert(std::string(line.substr(keyStart)), std::string());
      break;
    }
    std::string key(line.substr(keyStart, sep - keyStart));
    if (line[sep] == ' ' || sep + 1 == line.size()) {
      Insert(std::move(key), std::string());
      p = sep + 1;
      continue;
    }
    std::size_t valueStart = sep + 1;
    char endMark = ' ';
    if (line[valueStart] == '"') {
      ++valueStart;
      endMark = '"';
    }
    const std::size_t end = line.find(endMark, valueStart);
    if (end == std::string_view::npos) {
      if (!key.empty()) Insert(std::move(key), std::string(line.substr(valueStart)));
      break;
    }
    if (!key.empty()) Insert(std::move(key), std::string(line.substr(valueStart, end - valueStart)));
    p = end + 1;
  }
}

void CommandLineOptions::Insert(std::string key, std::string value) {
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (HasKey(key)) return;
  entries_.emplace_back(std::move(key), std::move(value));
}

bool CommandLineOptions::HasKey(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return true;
  return false;
}

std::optional<std::string> CommandLineOptions::Value(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return e.second;
  return std::nullopt;
}

std::string ProcessCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (i > 0) line += ' ';
    if (arg.find(' ') == std::string::npos) {
      line += arg;
      continue;
    }
    const std::size_t colon = arg.find(':');
    const bool isOption = i > 0 && !arg.empty() && (arg[0] == '-' || arg[0] == '/');
    if (isOption && colon != std::string::npos && arg.find(' ') > colon) {
      line += arg.substr(0, colon + 1) + '"' + arg.substr(colon + 1) + '"';
    } else {
      line += '"' + arg + '"';
    }
  }
  return line;
}

CommandLineOptions ScanArguments(const char* program, const std::vector<std::string>& args,
                                 std::vector<std::string>& positional) {
  std::vector<const char*> optionArgv{program};
  for (const std::string& a : args) {
    if (!a.empty() && a[0] == '-') optionArgv.push_back(a.c_str());
    else positional.push_back(a);
  }
  return CommandLineOptions(ProcessCommandLine(int(optionArgv.size()), optionArgv.data()));
}

}  // namespace hostcli
