#pragma once

#include <cstdint>
#include <string>

#include "analysis/message_record.h"
#include "store/settings.h"

namespace quillet {

inline constexpr int kMaxReplyMarkers = 64;
inline constexpr size_t kPieceLineLimit = 65532;

// "Re: Fw: Lunch" becomes "<>Lunch": reply prefixes leave "<", forward ">".
void CompactReplyPrefixes(std::string& subject);

// The mobile preparation of the body: charset, citations, quoted messages,
// marker words, character removal, blank lines, mail number. Returns the
// work text; updates the record's charset and encoding codes.
std::string PrepareMobileBody(MessageRecord& record, Account& account);

// The number prefix of a piece's subject ("071)", "3)"), empty when none.
std::string PiecePrefix(const Account& account, int piece);

// The info lines at the top of a piece body (with their CR LF). The length
// counted against the piece size is `text_length`.
std::string SubjectInfo(const MessageRecord& record, const Account& account, int piece,
                        size_t& text_length);
std::string SenderInfo(const MessageRecord& record, const Account& account, int piece,
                       size_t& text_length);

// The header block of piece `piece`, blank line included.
std::string HeaderBlock(MessageRecord& record, const Account& account, int piece);

// Composes the forward into "$qltdiv<n>.eml" piece files in `temp_dir` (with
// its trailing separator) and sets pieceCount. 1 on success; 0 when a piece
// file could not be written (`error` names it; pieceCount is then 0).
int ComposeForward(MessageRecord& record, Account& account, const std::string& temp_dir,
                   std::string& error);
std::string PieceFilePath(const std::string& temp_dir, int piece);

}  // namespace quillet
