#include "engine/engine.h"

#include "compose/dates.h"
#include "store/uidl_store.h"

namespace quillet {

Engine::Engine(Clock& clock, UiPort& ui, Directories dirs, ScreenSize screen)
    : clock_(clock),
      ui_(ui),
      dirs_(std::move(dirs)),
      screen_(screen),
      history_(ui, clock),
      session_log_(dirs_.current + "/" + kSessionLogName),
      mailboxes_(std::make_unique<MailboxStates>()) {
  paths.current_dir = dirs_.current;
  paths.config_dir = dirs_.config;
  history_.SetSettings(&settings.global);
  ApplyDefaults(settings, screen_);
  ApplyFixUps(settings, screen_);
  pass_results.fill(kNotHandled);
  reply.reserve(kReplyBufferSize);
}

void Engine::LoadAll() {
  message.Clear();
  for (MailboxState& st : *mailboxes_) st.Clear();
  LoadSettings(settings, paths, screen_);
  history_.SetPath(paths.HistoryPath());
  history_.SetSettings(&settings.global);
  LoadUidlStore(paths.UidlStorePath(), settings.global.magic, *mailboxes_);
  if (settings.global.debug_logging != 0) {
    session_log_.Write("\r\n==== Quillet V3.47.1 starting up " +
                       FormatDateStamp(clock_.LocalTime()) + " ====\r\n");
  }
}

bool Engine::SaveAll(const WindowRect* window) {
  return SaveSettings(settings, paths, screen_, window);
}

bool Engine::SaveUidl() {
  return SaveUidlStore(paths.UidlStorePath(), *mailboxes_);
}

void Engine::Trace(std::string_view text) {
  if (settings.global.debug_logging != 0) session_log_.Write(text);
}

void Engine::RecordInfo(std::string_view text, int kind, int account) {
  const Account* a =
      (account >= 0 && account < kAccountCount) ? &settings.accounts[account] : nullptr;
  history_.RecordInfo(text, kind, a);
}

}  // namespace quillet
