#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr int kMaxAddressEntries = 400;

// Completes domain-less addresses of a To, From or Cc line with `domain`. The
// result starts with `label`; it stops growing once it is longer than
// `capacity`, and every entry ends with its separator.
std::string RewriteAddressHeader(std::string_view line, size_t capacity, std::string_view domain,
                                 std::string_view label);

// Every "\r\n\r\n" becomes two blanks and "\r\n", so a header cannot end the block.
void BreakEmptyLines(std::string& text);
// The text between the first double quote and the next, when there is one.
void TakeQuotedPart(std::string& text);
void RemoveLeadingBlanks(std::string& text);
void RemoveBlanks(std::string& text);
void RemoveLineBreaks(std::string& text);

}  // namespace quillet
