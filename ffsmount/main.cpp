// ffsmount: a relay flash image as a directory on the workstation (FUSE).
#include <cstdio>
#include <string>
#include <vector>

#include "ffsmount/mount_run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int code = ffsmount::RunFfsmount(args);
  std::fflush(stdout);
  return code;
}
