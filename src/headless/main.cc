#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "headless_app.h"
#ifdef QUILLET_WITH_DESKTOP
#include "desktop_app.h"
#endif

int main(int argc, char** argv) {
#ifdef QUILLET_WITH_DESKTOP
  // Without options, the desktop program (signals keep their usual effect there).
  if (argc == 1) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0') &&
        platform == nullptr) {
      std::fputs(
          "quilletpost: no display for the desktop program; use --headless or --demo (see "
          "--help)\n",
          stderr);
      return 2;
    }
    return quillet::RunDesktop(argc, argv, quillet::DefaultDirectories());
  }
#endif
  // SIGINT and SIGTERM are taken by one thread that asks the daemon to stop,
  // so a signal never interrupts a write half-way.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  quillet::StopSignal stop;
  std::thread([&stop, stop_signals] {
    int signal = 0;
    if (sigwait(&stop_signals, &signal) == 0) stop.Request();
  }).detach();

  quillet::RunContext context;
  context.dirs = quillet::DefaultDirectories();
  context.stop = &stop;
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = quillet::RunHeadlessApp(args, context);
  std::fflush(stdout);
  return status;
}
