// Signals that can end a vorel run. None ends it without a line on standard
// output, and the one file the run is building at that moment (a new image
// not yet in place, a host file being written) is removed first.
#pragma once

namespace vorel {

// SIGINT, SIGTERM and SIGHUP remove the file, print a line and end the process
// by the same signal; SIGBUS (an image page the host could not store) does the
// same and exits with -1. SIGXFSZ is ignored so that a file-size limit shows
// as a failed write, which the run reports.
void InstallRunSignalHandlers();

// The file to remove when a signal ends the run; null for none. The text is
// copied (paths longer than the host allows are not kept).
void SetFileToRemoveOnSignal(const char* path);

}  // namespace vorel
