// vorel: converts between a host directory tree and a NOR-flash file-system
// image. All output on standard output; exit code 0 or -1.
#include <cstdio>

#include "converter/host_fs.h"
#include "converter/run_flow.h"

int main(int argc, char** argv) {
  const int code = vorel::RunVorel(vorel::host::ProcessCommandLine(argc, argv));
  std::fflush(stdout);
  return code;
}
