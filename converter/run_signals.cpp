// The handlers use only async-signal-safe calls (unlink, write, _exit,
// raise); the path is kept in a static buffer guarded by a flag.
#include "converter/run_signals.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <initializer_list>

#include "converter/messages.h"

namespace vorel {

namespace {

char g_path[PATH_MAX];
volatile sig_atomic_t g_havePath = 0;

void WriteText(const char* text) {
  const std::size_t n = std::strlen(text);
  if (::write(STDOUT_FILENO, text, n) < 0) { /* nothing more can be done */ }
}

// Decimal signal number into buf (no snprintf in a handler).
const char* SignalNumberText(int sig, char (&buf)[12]) {
  char* p = buf + sizeof buf - 1;
  *p = '\0';
  unsigned v = static_cast<unsigned>(sig);
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0 && p > buf);
  return p;
}

void OnFatalSignal(int sig) {
  if (g_havePath) ::unlink(g_path);
  char number[12];
  WriteText(msg::kErrorPrefix);
  WriteText(sig == SIGBUS ? msg::kImageNotStored : msg::kStoppedBySignal);
  WriteText(SignalNumberText(sig, number));
  WriteText("\n");
  if (sig == SIGBUS) ::_exit(255);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void InstallRunSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGBUS}) sigaddset(&action.sa_mask, sig);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGBUS}) ::sigaction(sig, &action, nullptr);
  ::signal(SIGXFSZ, SIG_IGN);
}

void SetFileToRemoveOnSignal(const char* path) {
  g_havePath = 0;
  if (path == nullptr || std::strlen(path) >= sizeof g_path) return;
  std::strcpy(g_path, path);
  g_havePath = 1;
}

}  // namespace vorel
