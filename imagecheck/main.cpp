// ffsinspect: lists, maps and checks a flash image without changing it.
#include <cstdio>
#include <string>
#include <vector>

#include "imagecheck/checker_cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int code = inspect::RunInspect(args);
  std::fflush(stdout);
  return code;
}
