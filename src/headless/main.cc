#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "headless_app.h"

int main(int argc, char** argv) {
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
