#include "compose/delivery.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>

#include "analysis/header_parser.h"
#include "analysis/mime_walker.h"
#include "compose/compose_forward.h"
#include "engine/engine.h"
#include "engine/mail_session.h"
#include "platform/cancellation.h"

namespace quillet {

int SendPieces(Engine& engine, MailSession& session, int k) {
  MessageRecord& r = engine.record();
  const Account& a = engine.account(k);
  int n = r.pieceCount;
  bool divided = a.mobile_enabled != 0 && a.divide_enabled != 0;
  for (int i = 0; i < n; ++i) {
    int index = divided && a.pieces_reverse_order != 0 ? n - 1 - i : i;
    std::string path = PieceFilePath(engine.directories().temporary, index);
    if (FileSize(path) <= 0) continue;  // vanished: skipped, nothing to delete
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::stringstream text;
      text << in.rdbuf();
      if (session.smtp().SmtpTransaction(k, text.str()) < 0) return 0;  // the file stays
    }
    if (divided && a.piece_delay_enabled != 0) {
      for (int s = 1; s <= a.piece_delay_seconds && !RunCancelled(); ++s) {
        engine.Status("[" + std::string(GetText(a.account_name)) + "] Pausing... (" +
                          std::to_string(s) + "/" + std::to_string(a.piece_delay_seconds) + "sec) ",
                      kStatusSending);
        engine.Sleep(1000);
      }
    }
    std::remove(path.c_str());
  }
  return 1;
}

int MessageProcessing::ProcessMessage(int k) {
  Engine& e = engine_;
  Account& a = e.account(k);
  MessageRecord& r = e.record();
  std::string name(GetText(a.account_name));
  e.Status("[" + name + "] Processing...", kStatusTextOnly);
  ParseMessageHeaders(r);
  AnalysisContext context;
  context.now = e.clock().LocalTime();
  context.duplicates = &e.history();
  if (AnalyseMessage(r, a, context) == 0) {
    e.history().RecordMail(r, a, e.mailbox(k).uid_count);
    e.RedrawHistory();
    return 1;
  }
  std::string error;
  int composed = 0;
  try {
    composed = ComposeForward(r, a, e.directories().temporary, error);
  } catch (const std::bad_alloc&) {
    // Nothing was composed: never send the pieces of an earlier message.
    r.pieceCount = 0;
    error = "Error: Not enough memory to compose the forwarded mail.";
  }
  if (composed == 0) {
    e.Status(error, kStatusError);
    e.RecordInfo(error, kKindError, k);
    return 0;
  }
  if (session_.OpenSendSession(k) < 0) {
    e.Status("ERROR: OpenSendSession.", kStatusError);
    e.RecordInfo("Can't connect to the SMTP server", kKindError, k);
    session_.CloseSession(k, false);
    return 0;
  }
  if (session_.SmtpGreeting(k) < 0) {
    e.Status("ERROR: Smtp: HELP/EHLO", kStatusError);
    e.RecordInfo("Can't connect to the SMTP server", kKindError, k);
    session_.CloseSession(k, false);
    return 0;
  }
  if (SendPieces(e, session_, k) == 0) {
    e.Status("ERROR: Smtp: Send DATA", kStatusError);
    session_.CloseSession(k, false);
    return 0;
  }
  session_.CloseSession(k, true);
  if (RunCancelled()) return 0;
  ++e.forwarded_count;
  e.history().RecordMail(r, a, e.mailbox(k).uid_count);
  e.RedrawHistory();
  return 1;
}

}  // namespace quillet
