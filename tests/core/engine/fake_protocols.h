#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/protocols.h"
#include "support/fake_clock.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"

namespace quillet::testing {

// A mailbox behind the protocol interface: it lists, marks and "retrieves"
// into the engine's temporary files the way the POP3 client does.
struct FakeMailbox {
  std::vector<std::pair<std::string, std::string>> messages;  // unique ID, text
  bool refuse_login = false;
  bool fail_retrieve = false;
  bool refuse_relay = false;
  bool skip_file_of = false;  // leave one temporary file unwritten
  int skipped_number = 0;     // 1-based message number whose file is not written
};

class FakeProtocols final : public MailProtocols {
 public:
  explicit FakeProtocols(Engine& engine) : engine_(engine) {}

  int OpenRcvSession(int k) override {
    calls.push_back("pop-open " + std::to_string(k) + " tick " +
                    std::to_string(engine_.tick_counter));
    if (boxes[k].refuse_login) return -1;
    engine_.mailbox(k).message_count = static_cast<int32_t>(boxes[k].messages.size());
    return engine_.mailbox(k).message_count;
  }
  void CloseSession(int k, bool polite) override {
    calls.push_back(std::string(polite ? "close " : "drop ") + std::to_string(k));
  }
  int SnapshotUids(int k) override {
    calls.push_back("snapshot " + std::to_string(k));
    MailboxState& st = engine_.mailbox(k);
    st.uid_count = 0;
    for (auto& [uid, text] : boxes[k].messages) SetUid(st, st.uid_count++, uid);
    return 1;
  }
  int RetrieveNewMessages(int k) override {
    calls.push_back("retrieve " + std::to_string(k));
    FakeMailbox& box = boxes[k];
    if (box.fail_retrieve) return -1;
    MailboxState& st = engine_.mailbox(k);
    int n = static_cast<int>(box.messages.size());
    if (engine_.account(k).no_uidl == 0) {
      for (int i = 0; i < n; ++i) {
        bool known = false;
        for (int j = 0; j < st.uid_count; ++j)
          known = known || box.messages[i].first == st.uid_records[j].text;
        st.is_new[i] = known ? 0 : 1;
        if (!known) WriteMessage(k, i);
      }
      for (int i = 0; i < n; ++i) SetUid(st, i, box.messages[i].first);
      st.uid_count = n;
    } else {
      for (int i = st.first_index; i < n; ++i) WriteMessage(k, i);
    }
    return 1;
  }
  int DeleteForwarded(int k) override {
    calls.push_back("delete-forwarded " + std::to_string(k));
    deleted_results.assign(engine_.pass_results.begin(),
                           engine_.pass_results.begin() + engine_.mailbox(k).message_count);
    return 1;
  }
  int DeleteAll(int k) override {
    calls.push_back("delete-all " + std::to_string(k));
    return 1;
  }
  int OpenSendSession(int k) override {
    calls.push_back("smtp-open " + std::to_string(k));
    return boxes[k].refuse_relay ? -1 : 1;
  }
  int SmtpGreeting(int k) override {
    calls.push_back("smtp-greet " + std::to_string(k));
    return 1;
  }
  int SmtpReset(int k) override {
    calls.push_back("smtp-rset " + std::to_string(k));
    return 1;
  }

  // Calls that begin with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

  static void SetUid(MailboxState& st, int i, const std::string& uid) {
    std::memset(st.uid_records[i].text, 0, kUidRecordSize);
    uid.copy(st.uid_records[i].text, kMaxUidLength);
  }

  std::array<FakeMailbox, kAccountCount> boxes;
  std::vector<std::string> calls;
  std::vector<uint16_t> deleted_results;

 private:
  void WriteMessage(int k, int i) {
    FakeMailbox& box = boxes[k];
    if (box.skip_file_of && box.skipped_number == i + 1) return;
    std::ofstream out(engine_.TempMessagePath(i + 1), std::ios::binary | std::ios::trunc);
    out << box.messages[i].second;
  }

  Engine& engine_;
};

// Per-message processing stand-in: remembers what it saw and answers with the
// result the test chose for that message text.
class FakeProcessor final : public MessageProcessor {
 public:
  explicit FakeProcessor(Engine& engine) : engine_(engine) {}

  int ProcessMessage(int k) override {
    std::string text = engine_.record().text != nullptr ? engine_.record().text : "";
    seen.push_back(text);
    accounts.push_back(k);
    indexes.push_back(engine_.record().messageIndex);
    engine_.record().resultCode = result_code;
    if (hook) hook();
    return std::find(failing.begin(), failing.end(), text) == failing.end() ? 1 : 0;
  }

  std::vector<std::string> seen;
  std::vector<int> accounts;
  std::vector<uint32_t> indexes;
  std::vector<std::string> failing;  // message texts for which processing fails
  uint32_t result_code = 0;
  std::function<void()> hook;

 private:
  Engine& engine_;
};

// An engine over the fakes above, in its own sandbox.
class FakeEngineTest : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    engine = std::make_unique<Engine>(clock, ui, dirs());
    engine->LoadAll();
    protocols = std::make_unique<FakeProtocols>(*engine);
    processor = std::make_unique<FakeProcessor>(*engine);
    engine->SetProtocols(protocols.get());
    engine->SetProcessor(processor.get());
  }

  // A complete, enabled account k for POP3 user `user`.
  Account& Configure(int k, const char* user) {
    Account& a = engine->account(k);
    SetText(a.pop3_server, "pop.example.org");
    SetText(a.smtp_server, "smtp.example.org");
    SetText(a.mail_address, "me@example.org");
    SetText(a.forward_to, "phone@example.net");
    SetText(a.pop3_user, user);
    a.enabled = 1;
    return a;
  }

  FakeClock clock;
  RecordingUi ui;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<FakeProtocols> protocols;
  std::unique_ptr<FakeProcessor> processor;
};

}  // namespace quillet::testing
