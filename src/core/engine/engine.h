#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/message_record.h"
#include "engine/mailbox_state.h"
#include "engine/protocols.h"
#include "engine/ui_port.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "store/history_log.h"
#include "store/session_log.h"
#include "store/settings.h"

namespace quillet {

inline constexpr char kProductVersion[] = "Quillet V3.47";
inline constexpr char kProductVersionMinor[] = ".1";
inline constexpr size_t kReplyBufferSize = 32768;
inline constexpr size_t kCommandBufferSize = 32800;

// Pass commands.
inline constexpr int kCommandTick = 1;
inline constexpr int kCommandStartupTimer = 2;
inline constexpr int kCommandStartForwarding = 40053;

// What one worker thread uses of its own: its protocol objects and the record
// of the message it is processing. Set for the worker's thread only.
struct WorkerContext {
  MailProtocols* protocols = nullptr;
  MessageProcessor* processor = nullptr;
  MessageRecord* record = nullptr;
};
WorkerContext* CurrentWorkerContext();
void SetCurrentWorkerContext(WorkerContext* context);

// Capacity of the text buffer for a message file of `size` bytes.
size_t MessageBufferCapacity(size_t size);

// All process-wide state of the forwarder. Front ends and tests each build
// their own; nothing here is global.
class Engine {
 public:
  Engine(Clock& clock, UiPort& ui, Directories dirs, ScreenSize screen = {});
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Start-up: settings, data directory, UIDL store, banner.
  void LoadAll();
  // Writes the settings file (window rectangle when the front end has one).
  bool SaveAll(const WindowRect* window = nullptr);
  bool SaveUidl();

  void SetProtocols(MailProtocols* protocols) { protocols_ = protocols; }
  void SetProcessor(MessageProcessor* processor) { processor_ = processor; }

  // The body of one command run on the worker: every step between taking the
  // command and going idle again (flags, command, UIDL store).
  void ExecuteCommand(int command);
  // The command itself.
  void RunCommand(int command);

  int IsAccountDue(const Account& account);
  void StartupAllAccounts();
  void RunAccountStartup(int k);
  void RunAccountPass(int k);
  // Runs on the window's thread during the quit sequence.
  void DeleteAllOnQuit();
  int LoadMessageFile(const std::string& path);
  void FreeMessageFile();
  std::string TempMessagePath(int number) const;

  // Helpers used by every part of the engine. A cancelled worker's calls are
  // dropped: once the watchdog has given up on a run, it shows and records nothing.
  void Trace(std::string_view text);
  void Status(const std::string& text, int kind);
  void RecordInfo(std::string_view text, int kind, int account);
  void Touch();
  // Sleeps on the injected clock, cut short when the run is cancelled.
  void Sleep(uint32_t milliseconds);
  // The user interface as the worker reaches it (muted once cancelled).
  void Invalidate();
  void RedrawHistory();
  void Beep(BeepKind kind);
  MessageAnswer Ask(const std::string& text, const std::string& caption, MessageIcon icon,
                    MessageButtons buttons);
  // The protocol objects and message record of this thread's worker, or the
  // engine's own outside a worker (tests, the quit sequence).
  MailProtocols& protocols();
  MessageProcessor* processor();
  MessageRecord& record();
  // True when --once rules apply to the start-up (see RunAccountStartup).
  bool single_run = false;
  Account& account(int k) { return settings.accounts[k]; }
  MailboxState& mailbox(int k) { return (*mailboxes_)[k]; }
  MailboxStates& mailboxes() { return *mailboxes_; }

  Clock& clock() { return clock_; }
  UiPort& ui() { return ui_; }
  HistoryLog& history() { return history_; }
  SessionLog& session_log() { return session_log_; }
  const Directories& directories() const { return dirs_; }
  const ScreenSize& screen() const { return screen_; }

  Settings settings{};
  SettingsPaths paths;
  std::array<uint16_t, kMaxUids> pass_results{};
  MessageRecord message;
  // The last server reply (never more than kReplyBufferSize bytes) and the
  // command being sent; shared by both protocols, used by one thread at a time.
  std::string reply;
  std::string command;

  // Flags shared by the window's thread and the worker.
  std::atomic<int> pass_command{0};
  std::atomic<int> busy{0};
  std::atomic<int> working{0};
  std::atomic<int> config_open{0};
  std::atomic<int> started{0};
  std::atomic<uint32_t> last_activity_tick{0};
  std::atomic<int> connection_count{0};
  std::atomic<int> forwarded_count{0};
  int32_t tick_counter = 0;
  // Set when the last start-up run was refused for the account settings.
  std::atomic<bool> startup_refused{false};

 private:
  // Empties the stored IDs of the new mail at positions from `p` on, so that
  // mail this pass did not complete is taken again by the next pass.
  void ForgetUnfinished(int k, int p);
  int MessageNumberAt(int k, int p);

  Clock& clock_;
  UiPort& ui_;
  Directories dirs_;
  ScreenSize screen_;
  HistoryLog history_;
  SessionLog session_log_;
  std::unique_ptr<MailboxStates> mailboxes_;
  MailProtocols* protocols_ = nullptr;
  MessageProcessor* processor_ = nullptr;
};

}  // namespace quillet
