// Runs a program as a child process and captures its standard output, for
// tests that check a tool's complete output and exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  std::string out;   // standard output
  std::string err;   // standard error
  int exitCode = -1; // 0..255, or -1 when the child did not exit normally
  int signal = 0;    // the signal that ended the child, 0 when it exited
  bool timedOut = false;  // killed after ProcessOptions::timeoutSeconds
};

struct ProcessOptions {
  std::string workingDirectory;              // empty: inherit
  std::map<std::string, std::string> setEnv; // added or replaced
  std::vector<std::string> unsetEnv;
  std::string executable;                    // empty: argv[0]
  bool removeWorkingDirectory = false;       // rmdir it after changing into it
  int runAsUid = -1;                         // drop to this user (when root)
  long long fileSizeLimit = -1;              // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
  int timeoutSeconds = 0;                    // kill the child after this long (0: never)
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

}  // namespace testsupport
