// The demo: an ordinary run of the program against two small local servers,
// with sample mail, in a data directory of its own that is removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "analysis/charset.h"
#include "demo_servers.h"
#include "headless_app.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"
#include "store/settings.h"
#include "transport/digests.h"

namespace quillet {
namespace {

std::string Jis(const std::string& sjis) {
  return SjisToJis(sjis, sjis.size() * 4 + 16);
}

std::string EncodedWord(const std::string& sjis) {
  return EncodeHeaderJis(sjis, kCharsetSjis);
}

std::vector<DemoPop3Server::Message> AliceMail() {
  std::string pdf = "%PDF-1.4 sample report\n";
  for (int i = 0; i < 60; ++i) pdf += "0123456789abcdefghijklmnopqrstuvwxyz\n";
  std::string b64 = Base64EncodeBytes(pdf.data(), pdf.size());
  std::string b64_lines;
  for (size_t i = 0; i < b64.size(); i += 76) b64_lines += b64.substr(i, 76) + "\r\n";
  return {
      {"alice-1",
       "From: Tom <tom@example.com>\r\nTo: alice@example.org\r\nSubject: Lunch on Friday?\r\n"
       "Date: Thu, 10 Dec 2026 09:12:00 +0000\r\nMessage-ID: <lunch@example.com>\r\n\r\n"
       "Hi Alice,\r\n\r\nshall we have lunch on Friday at noon?\r\n\r\nTom\r\n"},
      {"alice-2",
       "From: Garden Shop <news@shop.example.com>\r\nTo: alice@example.org\r\nSubject: Spring "
       "News\r\n"
       "Message-ID: <news@shop.example.com>\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n"
       "<html><head><style>p{color:green}</style></head><body><h1>Spring&nbsp;News</h1>"
       "<p>Seeds &amp; bulbs are in.</p><p>&copy; 2026 Garden Shop</p></body></html>\r\n"},
      {"alice-3",
       "From: Carol <carol@example.net>\r\nTo: alice@example.org\r\nSubject: Quarterly report\r\n"
       "Message-ID: <report@example.net>\r\nContent-Type: multipart/mixed; "
       "boundary=\"DemoPart01\"\r\n\r\n"
       "--DemoPart01\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nThe report is "
       "attached.\r\n\r\n"
       "--DemoPart01\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
       "Content-Disposition: attachment; filename=\"report.pdf\"\r\nContent-Transfer-Encoding: "
       "base64\r\n\r\n" +
           b64_lines + "\r\n--DemoPart01--\r\n"},
      {"alice-4",
       "From: Offers <offers@spam.example>\r\nTo: alice@example.org\r\nSubject: [SPAM] You have "
       "won\r\n"
       "Message-ID: <win@spam.example>\r\n\r\nClick here.\r\n"},
  };
}

std::vector<DemoPop3Server::Message> BobMail() {
  std::string subject = "\x89\xEF\x8B\x63\x82\xCC\x93\xFA\x92\xF6";  // Japanese: the meeting date
  std::string body =
      "\x8E\x52\x93\x63\x82\xB3\x82\xF1\r\n\r\n"
      "\x97\x88\x8F\x54\x82\xCC\x89\xEF\x8B\x63\x82\xCD\x96\xD8\x97\x6A\x93\xFA\x82\xC9\x82\xC8\x82"
      "\xE8"
      "\x82\xDC\x82\xB5\x82\xBD\x81\x42\r\n"
      "> \x91\x4F\x82\xCC\x83\x81\x81\x5B\x83\x8B\r\n";
  std::string long_text;
  for (int i = 1; i <= 12; ++i)
    long_text += "Item " + std::to_string(i) + ": the shipment has left the warehouse.\r\n";
  return {
      {"bob-1", "From: " + EncodedWord("\x97\xE9\x96\xD8") +
                    " <suzuki@example.jp>\r\nTo: bob@example.org\r\n"
                    "Subject: " +
                    EncodedWord(subject) +
                    "\r\nMessage-ID: <jp@example.jp>\r\n"
                    "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" +
                    Jis(body)},
      {"bob-2",
       "From: \"Shop Orders\" <orders@shop.example.com>\r\nTo: bob@example.org\r\n"
       "Subject: Re: Fw: Your order has shipped\r\nMessage-ID: <order@shop.example.com>\r\n\r\n" +
           long_text},
  };
}

void SetAccount(Account& a, const std::string& name, const std::string& user, uint16_t pop,
                uint16_t smtp) {
  SetText(a.account_name, name);
  SetText(a.pop3_server, "127.0.0.1");
  SetText(a.smtp_server, "127.0.0.1");
  SetText(a.pop3_user, user);
  SetText(a.pop3_password, "demo");
  SetText(a.mail_address, user + "@example.org");
  SetText(a.forward_to, user + "-phone@example.net");
  a.pop3_port = static_cast<int16_t>(pop);
  a.smtp_port = static_cast<int16_t>(smtp);
  a.smtp_port_manual = 1;
  a.enabled = 1;
  a.add_resent_headers = 0;
  a.delete_after_forward = 1;
}

std::string Readable(const std::string& text) {
  std::string sjis = HasJisEscape(text.c_str()) ? JisToSjisPlain(text) : text;
  std::string out = SjisToUtf8(sjis);
  std::string clean;
  for (size_t i = 0; i < out.size(); ++i)
    if (out[i] != '\r') clean += out[i];
  return clean;
}

void Say(std::FILE* out, const std::string& text) {
  std::fprintf(out, "\n>>> %s\n", text.c_str());
}

}  // namespace

int RunDemo(std::FILE* out, std::FILE* err) {
  std::string pattern = DefaultTemporaryDirectory() + "quilletpost-demo-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(err, "quilletpost: cannot create a demo directory in %s\n",
                 DefaultTemporaryDirectory().c_str());
    return 1;
  }
  Directories dirs{pattern, pattern + "/config", pattern + "/tmp/"};
  EnsureDirectory(dirs.temporary);
  int status;
  {
    DemoPop3Server pop3;
    DemoSmtpServer smtp;
    pop3.AddMailbox("alice", "demo");
    pop3.AddMailbox("bob", "demo");
    for (auto& m : AliceMail()) pop3.Deliver("alice", m);
    for (auto& m : BobMail()) pop3.Deliver("bob", m);
    Say(out, "A POP3 server on 127.0.0.1:" + std::to_string(pop3.port()) + " holds " +
                 std::to_string(pop3.Count("alice")) +
                 " messages for alice (plain, HTML newsletter, "
                 "attachment, spam) and " +
                 std::to_string(pop3.Count("bob")) + " for bob (Japanese, a long order notice).");
    Say(out, "An SMTP server on 127.0.0.1:" + std::to_string(smtp.port()) +
                 " keeps whatever is sent to it.");

    auto settings = std::make_unique<Settings>();
    ApplyDefaults(*settings, ScreenSize{});
    Account& alice = settings->accounts[0];
    SetAccount(alice, "Alice (computer)", "alice", pop3.port(), smtp.port());
    alice.size_filter = 1;  // attachments over 1 KB are removed, HTML becomes text
    alice.size_limit_kb = 1;
    alice.filter_subject = 1;
    SetText(alice.filter_subject_words, "[SPAM]");
    Account& bob = settings->accounts[1];
    SetAccount(bob, "Bob (mobile)", "bob", pop3.port(), smtp.port());
    bob.mobile_enabled = 1;
    bob.add_subject_to_body = 1;
    bob.add_sender_to_body = 1;
    bob.shorten_subject = 1;
    bob.citation_filter = 1;
    bob.divide_enabled = 1;
    bob.divide_bytes = 250;
    bob.divide_max_pieces = 3;
    ApplyFixUps(*settings, ScreenSize{});
    SettingsPaths paths{dirs.current, dirs.config, true};
    SaveSettings(*settings, paths, ScreenSize{}, nullptr);
    Say(out,
        "Settings written to " + paths.SettingsPath() +
            ": account 0 forwards alice's mail as it is (attachments over 1 KB removed, HTML "
            "turned "
            "into text, \"[SPAM]\" held back); account 1 shapes bob's mail for a phone (sender and "
            "subject on top, citations removed, pieces of 250 bytes, at most 3).");

    Say(out, "One forwarding pass, exactly as `quilletpost --headless --once` runs it:");
    std::fflush(out);
    RunContext context;
    context.dirs = dirs;
    context.out = out;
    context.err = err;
    context.lock_dir = pattern;  // its own: a daemon of the user's may be running
    status = RunOnce(context, std::string());

    std::vector<DemoSmtpServer::Received> received = smtp.Messages();
    Say(out, "The SMTP server received " + std::to_string(received.size()) + " messages:");
    for (size_t i = 0; i < received.size(); ++i) {
      std::fprintf(out, "\n----- message %zu, to %s -----\n%s", i + 1,
                   received[i].to.empty() ? "?" : received[i].to[0].c_str(),
                   Readable(received[i].data).c_str());
    }
    std::ifstream history(paths.HistoryPath(), std::ios::binary);
    std::stringstream lines;
    lines << history.rdbuf();
    Say(out, "The history log " + paths.HistoryPath() +
                 " (status;size(stored IDs);date;subject;from;to;message id;account):");
    std::fprintf(out, "%s", Readable(lines.str()).c_str());
    Say(out, "Forwarded mail was deleted on the server: alice has " +
                 std::to_string(pop3.Count("alice")) +
                 " message(s) left (the one held back), bob " + std::to_string(pop3.Count("bob")) +
                 ".");
  }
  std::error_code ec;
  std::filesystem::remove_all(pattern, ec);
  Say(out, "Servers stopped; " + pattern + " removed. The demo " +
               (status == 0 ? std::string("ran without errors.") : "recorded errors (see above)."));
  return status;
}

}  // namespace quillet
