#include "engine/engine.h"

#include "compose/dates.h"
#include "platform/cancellation.h"
#include "store/uidl_store.h"

namespace quillet {

namespace {
thread_local WorkerContext* current_context = nullptr;
}

WorkerContext* CurrentWorkerContext() {
  return current_context;
}
void SetCurrentWorkerContext(WorkerContext* context) {
  current_context = context;
}

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

void Engine::Status(const std::string& text, int kind) {
  if (!RunCancelled()) ui_.ShowStatus(text, kind);
}

void Engine::Touch() {
  if (!RunCancelled()) last_activity_tick = clock_.TickCount();
}

void Engine::Sleep(uint32_t milliseconds) {
  if (CurrentCancelToken() == nullptr) return clock_.Sleep(milliseconds);
  // In slices, so a cancelled run stops waiting within a tenth of a second.
  while (milliseconds > 0 && !RunCancelled()) {
    uint32_t slice = milliseconds < 100 ? milliseconds : 100;
    clock_.Sleep(slice);
    milliseconds -= slice;
  }
}

void Engine::Invalidate() {
  if (!RunCancelled()) ui_.Invalidate();
}

void Engine::RedrawHistory() {
  if (!RunCancelled()) ui_.RedrawHistory();
}

void Engine::Beep(BeepKind kind) {
  if (!RunCancelled()) ui_.Beep(kind);
}

MessageAnswer Engine::Ask(const std::string& text, const std::string& caption, MessageIcon icon,
                          MessageButtons buttons) {
  if (RunCancelled())
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
  return ui_.ShowMessage(text, caption, icon, buttons);
}

MailProtocols& Engine::protocols() {
  WorkerContext* c = CurrentWorkerContext();
  return c != nullptr && c->protocols != nullptr ? *c->protocols : *protocols_;
}

MessageProcessor* Engine::processor() {
  WorkerContext* c = CurrentWorkerContext();
  return c != nullptr && c->processor != nullptr ? c->processor : processor_;
}

MessageRecord& Engine::record() {
  WorkerContext* c = CurrentWorkerContext();
  return c != nullptr && c->record != nullptr ? *c->record : message;
}

void Engine::RecordInfo(std::string_view text, int kind, int account) {
  const Account* a =
      (account >= 0 && account < kAccountCount) ? &settings.accounts[account] : nullptr;
  history_.RecordInfo(text, kind, a);
}

}  // namespace quillet
