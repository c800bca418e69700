#include <cstdio>
#include <cstring>
#include <new>

#include "compose/dates.h"
#include "engine/engine.h"
#include "platform/cancellation.h"

namespace quillet {

namespace {

constexpr size_t kSmallMessage = 524288;
constexpr size_t kMegabyte = 1048576;
// A message file larger than this cannot be described by the record's sizes.
constexpr size_t kLargestMessage = 0x7FFFFFFF - kMegabyte;

bool DueOnTick(const Account& a, int32_t tick) {
  // An interval below 1 in a damaged settings file must not divide by zero.
  int interval = a.check_interval_minutes < 1 ? 1 : a.check_interval_minutes;
  return tick % interval == 0;
}

}  // namespace

size_t MessageBufferCapacity(size_t size) {
  if (size < kSmallMessage) return kMegabyte;
  if (size < kMegabyte) return size * 2;
  return size + kMegabyte;
}

void Engine::ExecuteCommand(int command) {
  busy = 1;
  Touch();
  working = 1;
  ui_.SetMenuItemEnabled(kMenuQuit, false);
  RunCommand(command);
  // A run the watchdog gave up on saves nothing and leaves the flags to it.
  if (RunCancelled()) return;
  SaveUidl();
  working = 0;
  ui_.SetMenuItemEnabled(kMenuQuit, true);
  busy = 0;
}

void Engine::RunCommand(int command) {
  switch (command) {
    case kCommandTick: {
      if (started == 0) return;
      ++tick_counter;
      bool dialed = false;
      if (settings.global.use_autodial != 0) {
        for (int k = 0; k < kAccountCount && !dialed; ++k) {
          const Account& a = settings.accounts[k];
          if (a.enabled != 0 && DueOnTick(a, tick_counter) && IsAccountDue(a)) {
            Status("Dialing...", kStatusDialing);
            dialed = true;  // dialling is left to the system here
          }
        }
      }
      for (int k = 0; k < kAccountCount && !RunCancelled(); ++k) {
        const Account& a = settings.accounts[k];
        if (a.enabled == 0 || !DueOnTick(a, tick_counter)) continue;
        Touch();
        if (IsAccountDue(a)) {
          Touch();
          RunAccountPass(k);
          Invalidate();
        }
      }
      return;
    }
    case kCommandStartupTimer:
      ui_.KillStartupTimer();
      [[fallthrough]];
    case kCommandStartForwarding:
      StartupAllAccounts();
      if (RunCancelled()) return;
      tick_counter = 0;
      if (started == 1 && settings.global.tray_at_startup != 0) {
        ui_.Invalidate();
        ui_.HideIntoTray();
      }
      return;
    default:
      return;
  }
}

int Engine::IsAccountDue(const Account& a) {
  if (a.schedule_enabled == 0 || a.schedule_hold_mail != 0) return 1;
  std::tm now = clock_.LocalTime();
  int day = (now.tm_wday + 6) % 7;  // Monday is 0
  int hour = now.tm_hour < 0 ? 0 : (now.tm_hour > 23 ? 23 : now.tm_hour);
  uint32_t bit = 1u << (23 - hour);
  return (a.schedule_stop_hours[day] & bit) != 0 ? 0 : 1;
}

void Engine::StartupAllAccounts() {
  startup_refused = false;
  bool any = false;
  for (const Account& a : settings.accounts) any = any || a.enabled != 0;
  if (!any) {
    startup_refused = true;
    Ask("There is no available account.", "ALERT", MessageIcon::kExclamation, MessageButtons::kOk);
    return;
  }
  int incomplete = FindIncompleteAccount(settings);
  if (incomplete >= 0) {
    startup_refused = true;
    Ask("Wrong account settings.\n" +
            AccountLabelOrIndex(settings.accounts[incomplete], incomplete),
        "ALERT", MessageIcon::kExclamation, MessageButtons::kOk);
    return;
  }
  if (settings.global.use_autodial != 0) Status("Dialing...", kStatusDialing);
  for (int k = 0; k < kAccountCount && !RunCancelled(); ++k) {
    if (settings.accounts[k].enabled == 0) continue;
    RunAccountStartup(k);
    Invalidate();
  }
  if (!RunCancelled()) started = 1;
}

void Engine::RunAccountStartup(int k) {
  Account& a = settings.accounts[k];
  MailboxState& st = mailbox(k);
  int count = protocols().OpenRcvSession(k);
  if (count < 0) {
    Status("ERROR: OpenRcvSession.", kStatusError);
    RecordInfo("Can't connect to the POP server", kKindError, k);
    Beep(BeepKind::kExclamation);
    protocols().CloseSession(k, false);
    return;
  }
  if (RunCancelled()) return;
  st.message_count = count;
  protocols().CloseSession(k, true);
  if (protocols().OpenSendSession(k) < 0) {
    Status("ERROR: OpenSendSession.", kStatusError);
    RecordInfo("Can't connect to the SMTP server", kKindError, k);
    Beep(BeepKind::kExclamation);
    protocols().CloseSession(k, false);
    return;
  }
  // A relay that fails the greeting or RSET ends the check; its socket is closed.
  if (protocols().SmtpGreeting(k) < 0 || protocols().SmtpReset(k) < 0) {
    protocols().CloseSession(k, false);
    return;
  }
  protocols().CloseSession(k, true);
  if (st.message_count >= 1) {
    char text[128];
    if (a.skip_existing_at_startup != 0)
      std::snprintf(text, sizeof text, "Starting up : remaining %d mail(s) are not forwarded.",
                    st.message_count);
    else
      std::snprintf(text, sizeof text, "Starting up : %d mail(s) left in your mailbox. ",
                    st.message_count);
    RecordInfo(text, kKindInformation, k);
  }
  if (RunCancelled()) return;
  started = 1;
  const char* login;
  if (a.use_apop != 0 && a.smtp_auth != 0)
    login = "APOP/SSMTP connection completed successfully.";
  else if (a.use_apop != 0)
    login = "APOP/SMTP connection completed successfully.";
  else if (a.smtp_auth != 0)
    login = "POP3/SSMTP connection completed successfully.";
  else
    login = "POP3/SMTP connection completed successfully.";
  RecordInfo(login, kKindInformation, k);
  RedrawHistory();
  // A single run (--once) is always a start-up: skipping the mail present
  // would then skip all mail, so only an account without stored IDs skips.
  bool skip = a.skip_existing_at_startup != 0 && (!single_run || st.uid_count == 0);
  if (!skip) {
    Touch();
    RunAccountPass(k);
    return;
  }
  if (a.no_uidl == 0) {
    st.first_index = 0;
    if (protocols().SnapshotUids(k) != 1) protocols().CloseSession(k, false);
  } else {
    st.first_index = st.message_count;
  }
  Status("Waiting... ", kStatusWaiting);
}

int Engine::MessageNumberAt(int k, int p) {
  const MailboxState& st = mailbox(k);
  return settings.accounts[k].pop_reverse_order != 0 ? st.message_count - 1 - p : p;
}

void Engine::ForgetUnfinished(int k, int p) {
  if (settings.accounts[k].no_uidl != 0) return;  // position mode keeps first_index instead
  MailboxState& st = mailbox(k);
  for (int q = p; q < st.message_count; ++q) {
    int m = MessageNumberAt(k, q);
    if (m >= 0 && m < kMaxUids && st.is_new[m] != 0)
      std::memset(&st.uid_records[m], 0, kUidRecordSize);
  }
}

void Engine::RunAccountPass(int k) {
  Account& a = settings.accounts[k];
  MailboxState& st = mailbox(k);
  pass_results.fill(kNotHandled);
  ++connection_count;
  int count = protocols().OpenRcvSession(k);
  if (count < 0) {
    Status("ERROR: OpenRcvSession.", kStatusError);
    RecordInfo("Can't connect to the POP server", kKindError, k);
    return;
  }
  if (RunCancelled()) return;
  st.message_count = count;
  if (a.no_uidl != 0) {
    if (st.message_count < st.first_index) {
      st.first_index = 0;
      RecordInfo("The status of the mailbox has been updated. Scan all mails. ", kKindInformation,
                 k);
    }
  } else {
    st.first_index = 0;
    if (st.message_count == 0) st.uid_count = 0;
  }
  if (st.message_count > st.first_index) {
    if (protocols().RetrieveNewMessages(k) != 1) {
      protocols().CloseSession(k, false);
      return;
    }
  }
  protocols().CloseSession(k, true);

  MessageRecord& message = record();
  for (int p = st.first_index; p < st.message_count; ++p) {
    if (RunCancelled()) return;
    Touch();
    int m = MessageNumberAt(k, p);
    // In UIDL mode a position beyond the table cannot be told apart; the listing
    // switches to position mode once the table is full.
    if (a.no_uidl == 0 && (m >= kMaxUids || st.is_new[m] == 0)) continue;
    message.Clear();
    message.messageIndex = static_cast<uint32_t>(m);
    std::string file = TempMessagePath(m + 1);
    if (LoadMessageFile(file) == 0) {
      ForgetUnfinished(k, p);
      return;
    }
    int r = processor() != nullptr ? processor()->ProcessMessage(k) : 0;
    // A cancelled run leaves the stored IDs and results as they were.
    if (RunCancelled()) return;
    if (r == 0 && a.no_uidl == 0 && m < kMaxUids)
      std::memset(&st.uid_records[m], 0, kUidRecordSize);
    if (p < kMaxUids) pass_results[p] = static_cast<uint16_t>(message.resultCode & 0xFFFF);
    FreeMessageFile();
    std::remove(file.c_str());
    if (r == 0) {
      ForgetUnfinished(k, p + 1);
      return;
    }
  }
  if (a.delete_after_forward != 0 && st.message_count != 0 && st.first_index < st.message_count)
    protocols().DeleteForwarded(k);
  if (RunCancelled()) return;
  st.first_index = a.no_uidl != 0 ? st.message_count : 0;
  Status("Waiting... ", kStatusWaiting);
}

void Engine::DeleteAllOnQuit() {
  if (started != 1 || settings.global.delete_all_on_quit == 0) return;
  if (settings.global.delete_on_quit_immediately == 0) {
    MessageAnswer answer = Ask("Delete all incoming mails on the mailbox of all accounts?",
                               "Confirmation", MessageIcon::kQuestion, MessageButtons::kYesNo);
    if (answer != MessageAnswer::kYes) return;
  }
  for (int k = 0; k < kAccountCount; ++k) {
    const Account& a = settings.accounts[k];
    if (a.enabled == 0 || a.delete_after_forward != 0 || mailbox(k).message_count == 0) continue;
    protocols().DeleteAll(k);
    RecordInfo("The incoming mails on the mailbox have been deleted.", kKindInformation, k);
    Invalidate();
  }
}

std::string Engine::TempMessagePath(int number) const {
  return dirs_.temporary + "$qltml" + std::to_string(number) + ".eml";
}

int Engine::LoadMessageFile(const std::string& path) {
  MessageRecord& message = record();
  size_t size = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(f, 0, SEEK_END) == 0) {
      long end = std::ftell(f);
      if (end > 0) size = static_cast<size_t>(end);
    }
    std::fclose(f);
  }
  bool ok = size > 0 && size <= kLargestMessage;
  if (ok) {
    size_t capacity = MessageBufferCapacity(size);
    message.buffer.reset(new (std::nothrow) char[capacity]());
    ok = message.buffer != nullptr;
    if (ok) {
      message.bufferSize = capacity;
      if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        // Never more than the size measured above, whatever the file does meanwhile.
        size_t got = std::fread(message.buffer.get(), 1, size, f);
        std::fclose(f);
        size = got;
      }
      message.buffer[size] = '\0';
      message.fileSize = static_cast<int32_t>(size);
      message.text = message.buffer.get();
      message.capacity = static_cast<uint32_t>(capacity);
    }
  }
  if (!ok) {
    RecordInfo("Error: Cannot open or allocate temporary file", kKindError, -1);
    return 0;
  }
  return 1;
}

void Engine::FreeMessageFile() {
  MessageRecord& message = record();
  message.buffer.reset();
  message.bufferSize = 0;
  message.text = nullptr;
}

}  // namespace quillet
