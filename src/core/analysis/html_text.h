#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/settings.h"

namespace quillet {

// Fold widths in bytes per line.
struct FoldWidths {
  int soft;
  int japanese;
  int hard;
};
FoldWidths FoldWidthsFor(const Account& account);

// HTML to plain text: line breaks for block tags, hidden style, script and
// comments, the common entities, runs of blanks and empty lines reduced.
// Returns the character set of `out`; `out` is never longer than the input
// plus a final line end.
uint32_t HtmlToText(std::string_view html, uint32_t charset, std::string& out);

// Folds lines that are too long, repeating a citation prefix on continuation
// lines and never splitting a double-byte character. `out` with its NUL fits
// in `room` bytes. Returns the character set of `out`.
uint32_t WrapLines(std::string_view text, size_t room, uint32_t charset, const Account& account,
                   std::string& out);

// 1 and the prefix when `line` begins with one of the account's citation
// prefixes (mobile form with the citation filter only), else 0.
int FindCitationPrefix(const Account& account, const char* line, std::string& prefix);

}  // namespace quillet
