#include "headless_app.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "compose/delivery.h"
#include "console_ui.h"
#include "engine/comm_thread.h"
#include "engine/engine.h"
#include "engine/mail_session.h"
#include "engine/supervisor.h"
#include "instance_lock.h"
#include "platform/paths.h"
#include "store/settings_text.h"

namespace quillet {
namespace {

constexpr char kUsage[] =
    "Usage: quilletpost [OPTION]...\n"
    "Without options, the desktop program starts (when there is a display).\n"
    "Forwards the mail of up to ten POP3 mailboxes through SMTP relays.\n"
    "\n"
    "  --headless               run unattended: a pass at once, then every minute the\n"
    "                           accounts that are due, until SIGINT or SIGTERM\n"
    "  --headless --once        run one forwarding pass over all accounts and exit\n"
    "  --log-file FILE          also append the console lines to FILE\n"
    "  --demo                   forward sample mail between local servers and show it\n"
    "  --export-settings [FILE] write the settings as text to FILE or stdout\n"
    "  --import-settings FILE   apply the settings of FILE and save them\n"
    "  --help                   show this help and exit\n"
    "  --version                show the version and exit\n"
    "\n"
    "Settings, the UIDL store and the history log live in the current directory\n"
    "when it holds quillet3.prf, else in $XDG_CONFIG_HOME/quilletpost\n"
    "(by default ~/.config/quilletpost).\n"
    "\n"
    "Exit status of --once: 0 when the run recorded no error, 1 when it did,\n"
    "2 when the run was refused or the command line was wrong.\n";

int Usage(std::FILE* err) {
  std::fputs(kUsage, err);
  return 2;
}

int ExportSettings(const Directories& dirs, const std::string* file, std::FILE* out,
                   std::FILE* err) {
  auto settings = std::make_unique<Settings>();
  SettingsPaths paths{dirs.current, dirs.config, false};
  LoadSettings(*settings, paths, ScreenSize{});
  std::string text = ExportSettingsText(*settings);
  if (file == nullptr) {
    std::fwrite(text.data(), 1, text.size(), out);
    return 0;
  }
  std::ofstream f(*file, std::ios::binary);
  if (!f || !f.write(text.data(), static_cast<std::streamsize>(text.size()))) {
    std::fprintf(err, "quilletpost: cannot write %s\n", file->c_str());
    return 2;
  }
  return 0;
}

int ImportSettings(const Directories& dirs, const std::string& file, std::FILE* err) {
  std::ifstream f(file, std::ios::binary);
  if (!f) {
    std::fprintf(err, "quilletpost: cannot read %s\n", file.c_str());
    return 2;
  }
  std::stringstream buffer;
  buffer << f.rdbuf();
  auto settings = std::make_unique<Settings>();
  SettingsPaths paths{dirs.current, dirs.config, false};
  ScreenSize screen;
  LoadSettings(*settings, paths, screen);
  std::string error;
  if (!ImportSettingsText(buffer.str(), *settings, error)) {
    std::fprintf(err, "quilletpost: %s: %s\n", file.c_str(), error.c_str());
    return 2;
  }
  ApplyFixUps(*settings, screen);
  if (!SaveSettings(*settings, paths, screen, nullptr)) {
    std::fprintf(err, "quilletpost: cannot write %s\n", paths.SettingsPath().c_str());
    return 2;
  }
  return 0;
}

// Everything a headless run keeps alive: the engine, its front end, the worker.
struct HeadlessRun {
  HeadlessRun(const RunContext& context, const std::string& log_file)
      : ui(clock, context.out, context.err, log_file),
        engine(std::make_unique<Engine>(clock, ui, context.dirs)),
        session(*engine) {
    engine->LoadAll();
    engine->SetProtocols(&session);
  }
  SystemClock clock;
  ConsoleUi ui;
  std::unique_ptr<Engine> engine;
  MailSession session;  // the window thread's own, for the quit sequence
};

std::string LockDirectory(const RunContext& context) {
  return context.lock_dir.empty() ? InstanceLock::DefaultDirectory(context.dirs.config)
                                  : context.lock_dir;
}

int AlreadyRunning(const InstanceLock& lock, std::FILE* out) {
  std::fprintf(
      out, "quilletpost: another instance is already running (pid %ld, lock %s); nothing to do.\n",
      lock.holder(), lock.path().c_str());
  return 0;
}

}  // namespace

void StopSignal::Request() {
  std::lock_guard<std::mutex> lock(mutex_);
  requested_ = true;
  cv_.notify_all();
}

bool StopSignal::WaitFor(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return requested_; });
}

bool StopSignal::requested() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requested_;
}

int RunOnce(const RunContext& context, const std::string& log_file) {
  InstanceLock lock(LockDirectory(context));
  if (!lock.acquired()) return AlreadyRunning(lock, context.out);
  HeadlessRun run(context, log_file);
  Engine& engine = *run.engine;
  engine.single_run = true;
  int errors_before;
  {
    CommThread worker(engine, MailServices::Make);
    Supervisor supervisor(engine, worker);
    supervisor.WindowCreated();
    // The debug reminder is an error-kind entry, but not an error of the run.
    errors_before = engine.history().error_count();
    supervisor.StartForwarding();
    worker.WaitIdle();
  }
  engine.SaveAll();
  if (engine.startup_refused) return 2;
  return engine.history().error_count() > errors_before ? 1 : 0;
}

int RunDaemon(const RunContext& context, const std::string& log_file) {
  InstanceLock lock(LockDirectory(context));
  if (!lock.acquired()) return AlreadyRunning(lock, context.out);
  HeadlessRun run(context, log_file);
  Engine& engine = *run.engine;
  StopSignal never;
  StopSignal& stop = context.stop != nullptr ? *context.stop : never;
  {
    CommThread worker(engine, MailServices::Make);
    Supervisor supervisor(engine, worker);
    supervisor.WindowCreated();
    supervisor.StartForwarding();
    while (!stop.WaitFor(context.tick_ms)) supervisor.OnPassTimer();
    // A pass in progress may finish; one that will not is cancelled, and the
    // UIDL store keeps its last saved state, so nothing is marked as handled
    // that was not.
    if (!worker.WaitIdleFor(std::chrono::seconds(30))) {
      engine.working = 0;
      worker.Restart();
      engine.busy = 0;
    }
    // Nobody can answer the question here: mail is deleted on quit only when
    // that needs no confirmation.
    supervisor.Quit();
  }
  engine.SaveAll();
  std::fprintf(context.out, "quilletpost: stopped; settings saved.\n");
  return 0;
}

int RunHeadlessApp(const std::vector<std::string>& args, const RunContext& context) {
  bool headless = false, once = false;
  std::string log_file;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::fputs(kUsage, context.out);
      return 0;
    }
    if (a == "--version") {
      std::fputs("QuilletPost Quillet V3.47.1\n", context.out);
      return 0;
    }
    if (a == "--export-settings") {
      if (args.size() > i + 2) return Usage(context.err);
      return ExportSettings(context.dirs, i + 1 < args.size() ? &args[i + 1] : nullptr, context.out,
                            context.err);
    }
    if (a == "--import-settings") {
      if (args.size() != i + 2) return Usage(context.err);
      return ImportSettings(context.dirs, args[i + 1], context.err);
    }
    if (a == "--demo") {
      if (args.size() != 1) return Usage(context.err);
      return RunDemo(context.out, context.err);
    }
    if (a == "--headless") {
      headless = true;
    } else if (a == "--once") {
      once = true;
    } else if (a == "--log-file" && i + 1 < args.size()) {
      log_file = args[++i];
    } else {
      std::fprintf(context.err, "quilletpost: unknown option %s\n", a.c_str());
      return Usage(context.err);
    }
  }
  if (once) return RunOnce(context, log_file);
  if (headless) return RunDaemon(context, log_file);
  std::fputs(
      "quilletpost: the desktop program is not part of this build; use --headless (see --help)\n",
      context.err);
  return 2;
}

}  // namespace quillet
