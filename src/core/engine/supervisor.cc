#include "engine/supervisor.h"

#include <cstdio>

namespace quillet {

void Supervisor::TraceSupervision(const std::string& text) {
  engine_.Trace(text);
}

bool Supervisor::WindowCreated() {
  if (engine_.settings.global.debug_logging != 0) {
    engine_.RecordInfo(
        "Quillet V3.47.1 Logging option for debug is enabled.: quillet_session.log : " +
            std::to_string(engine_.session_log().SizeKb()) + " kbyte",
        kKindError, -1);
  }
  if (engine_.settings.global.connect_at_startup == 0) return false;
  engine_.RecordInfo("Starting up automatically.", kKindInformation, -1);
  return true;
}

bool Supervisor::Launch(int command) {
  if (engine_.working != 0) return false;
  engine_.history().HalveHistory();
  return worker_.Launch(command);
}

void Supervisor::OnPassTimer() {
  if (engine_.working != 0) {
    Watchdog();
    return;
  }
  Launch(kCommandTick);
}

void Supervisor::OnStartupTimer() {
  if (engine_.working == 0) Launch(kCommandStartupTimer);
}

bool Supervisor::StartForwarding() {
  if (engine_.working != 0) return false;
  bool launched = Launch(kCommandStartForwarding);
  if (launched) engine_.Touch();
  return launched;
}

void Supervisor::Watchdog() {
  const GlobalSettings& g = engine_.settings.global;
  if (g.watchdog_enabled == 0 || engine_.config_open != 0) return;
  uint32_t limit = static_cast<uint32_t>(g.watchdog_minutes) * 60000u;
  uint32_t now = engine_.clock().TickCount();
  uint32_t last = engine_.last_activity_tick;
  if (now < last) {
    engine_.last_activity_tick = now;  // the tick count wrapped: start measuring again
    return;
  }
  uint32_t idle = now - last;
  char line[128];
  std::snprintf(line, sizeof line,
                "####: A timer event comes while the com thread is busy. : tick = %u/%u\r\n", idle,
                limit);
  TraceSupervision(line);
  if (idle <= limit) return;
  engine_.working = 0;
  TraceSupervision("####: Cancelling com thread... :");
  TraceSupervision(" done : retcode=1\r\n");
  TraceSupervision("####: Waiting termination... :");
  bool ended = worker_.Restart(restart_wait_);
  TraceSupervision(ended ? " done : retcode=0 :WAIT_OBJECT_0\r\n"
                         : " done : retcode=258 :WAIT_TIMEOUT\r\n");
  TraceSupervision("####: Creating thread... :");
  TraceSupervision(" done : ID=" + std::to_string(worker_.worker_id()) + "\r\n");
  engine_.RecordInfo(
      "Because the communication thread is busy for over specified time, it has been rebooted.",
      kKindError, -1);
  engine_.busy = 0;
}

bool Supervisor::Quit() {
  if (engine_.working != 0) {
    engine_.ui().Beep(BeepKind::kExclamation);
    return false;
  }
  if (engine_.settings.global.confirm_quit != 0) {
    MessageAnswer answer =
        engine_.ui().ShowMessage("Do you wish to quit QuilletPost?", "QuilletPost",
                                 MessageIcon::kQuestion, MessageButtons::kYesNo);
    if (answer != MessageAnswer::kYes) return false;
    if (engine_.working != 0) {
      engine_.ui().Beep(BeepKind::kExclamation);
      return false;
    }
  }
  engine_.DeleteAllOnQuit();
  return true;
}

std::string Supervisor::SummaryText() const {
  if (engine_.started != 1) return "Disconnected";
  char text[128];
  std::snprintf(text, sizeof text, "Ready.. : %d mails forwarded (Connection: %d times)",
                engine_.forwarded_count.load(), engine_.connection_count.load());
  return text;
}

int Supervisor::SummaryKind() const {
  return engine_.started == 1 ? kStatusReady : kStatusDisconnected;
}

}  // namespace quillet
