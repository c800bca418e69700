#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "engine/engine.h"
#include "engine/mail_session.h"
#include "support/fake_clock.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"
#include "support/scripted_server.h"

namespace quillet::testing {

// The name the SMTP client greets with.
inline std::string Host() {
  char host[512] = {};
  gethostname(host, sizeof host - 1);
  return host;
}

// An engine whose account 0 talks to a scripted server on loopback. The clock
// is fake, so the client's fixed pauses cost no time; socket waits are real.
class ProtocolTest : public SandboxTest {
 protected:
  using Server = ScriptedServer;

  void SetUp() override {
    SandboxTest::SetUp();
    engine = std::make_unique<Engine>(clock, ui, dirs());
    engine->LoadAll();
    session = std::make_unique<MailSession>(*engine);
    engine->SetProtocols(session.get());
    Account& a = account();
    SetText(a.account_name, "acct");
    SetText(a.pop3_server, "127.0.0.1");
    SetText(a.smtp_server, "127.0.0.1");
    SetText(a.pop3_user, "alice");
    SetText(a.pop3_password, "s3cret");
    SetText(a.mail_address, "me@example.org");
    SetText(a.forward_to, "phone@example.net");
    a.pop3_port = static_cast<int16_t>(server.port());
    a.smtp_port = static_cast<int16_t>(server.port());
    a.smtp_port_manual = 1;
    a.enabled = 1;
    // Failures in these tests should not wait a minute.
    engine->settings.global.custom_timeout = 1;
    engine->settings.global.timeout_seconds = 2;
  }

  void TearDown() override {
    EXPECT_TRUE(server.WaitDone()) << "the client did not finish every scripted session";
    for (const std::string& f : server.Failures()) ADD_FAILURE() << f;
    SandboxTest::TearDown();
  }

  Account& account() { return engine->account(0); }
  MailboxState& mailbox() { return engine->mailbox(0); }
  Pop3Client& pop3() { return session->pop3(); }
  SmtpClient& smtp() { return session->smtp(); }

  std::string SessionLog() {
    std::ifstream in(dirs().current + "/quillet_session.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The history texts recorded so far.
  std::vector<std::string> Entries() { return ui.RowTexts(); }

  // Greeting, USER/PASS and STAT answering `count` messages.
  static Server::Script Login(int count, std::string greeting = "+OK POP3 ready\r\n") {
    return {Server::S(std::move(greeting)),
            Server::C("USER alice\r\n"),
            Server::S("+OK\r\n"),
            Server::C("PASS s3cret\r\n"),
            Server::S("+OK\r\n"),
            Server::C("STAT\r\n"),
            Server::S("+OK " + std::to_string(count) + " 1000\r\n")};
  }
  static Server::Script Then(Server::Script a, const Server::Script& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  FakeClock clock;
  RecordingUi ui;
  Server server;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<MailSession> session;
};

}  // namespace quillet::testing
