#include "headless_app.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "compose/delivery.h"
#include "console_ui.h"
#include "engine/comm_thread.h"
#include "engine/engine.h"
#include "engine/mail_session.h"
#include "platform/paths.h"
#include "store/settings_text.h"

namespace quillet {
namespace {

constexpr char kUsage[] =
    "Usage: quilletpost [OPTION]...\n"
    "Forwards the mail of up to ten POP3 mailboxes through SMTP relays.\n"
    "\n"
    "  --headless --once        run one forwarding pass over all accounts and exit\n"
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

}  // namespace

int RunOnce(const Directories& dirs, std::FILE* out, std::FILE* err) {
  SystemClock clock;
  ConsoleUi ui(clock, out, err);
  auto engine = std::make_unique<Engine>(clock, ui, dirs);
  engine->LoadAll();
  if (engine->settings.global.debug_logging != 0) {
    // The reminder is an error-kind entry, but not an error of the run.
    engine->RecordInfo(
        "Quillet V3.47.1 Logging option for debug is enabled.: quillet_session.log : " +
            std::to_string(engine->session_log().SizeKb()) + " kbyte",
        kKindError, -1);
  }
  int errors_before = engine->history().error_count();
  MailSession protocols(*engine);
  MessageProcessing processing(*engine, protocols);
  engine->SetProtocols(&protocols);
  engine->SetProcessor(&processing);
  {
    CommThread worker(*engine);
    engine->Touch();
    worker.Launch(kCommandStartForwarding);
    worker.WaitIdle();
  }
  engine->SaveAll();
  if (engine->startup_refused) return 2;
  return engine->history().error_count() > errors_before ? 1 : 0;
}

int RunHeadlessApp(const std::vector<std::string>& args, const Directories& dirs, std::FILE* out,
                   std::FILE* err) {
  bool headless = false, once = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::fputs(kUsage, out);
      return 0;
    }
    if (a == "--version") {
      std::fputs("QuilletPost Quillet V3.47.1\n", out);
      return 0;
    }
    if (a == "--export-settings") {
      if (args.size() > i + 2) return Usage(err);
      return ExportSettings(dirs, i + 1 < args.size() ? &args[i + 1] : nullptr, out, err);
    }
    if (a == "--import-settings") {
      if (args.size() != i + 2) return Usage(err);
      return ImportSettings(dirs, args[i + 1], err);
    }
    if (a == "--demo") {
      if (args.size() != 1) return Usage(err);
      return RunDemo(out, err);
    }
    if (a == "--headless") {
      headless = true;
    } else if (a == "--once") {
      once = true;
    } else {
      std::fprintf(err, "quilletpost: unknown option %s\n", a.c_str());
      return Usage(err);
    }
  }
  if (headless && once) return RunOnce(dirs, out, err);
  std::fputs(
      "quilletpost: this build runs only single passes; use --headless --once "
      "(see --help)\n",
      err);
  return 2;
}

}  // namespace quillet
