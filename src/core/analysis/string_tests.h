#pragma once

#include <cstddef>

namespace quillet {

inline constexpr size_t kSquashLimit = 254;

// Byte-string tests over NUL-terminated texts. Each returns the subject (or a
// position in it) on success and null otherwise, so callers can chain them.
// Patterns given to the *NoCase and squashed tests are written in lower case;
// only the subject side is lower-cased.
const char* StartsWith(const char* subject, const char* pattern);
const char* StartsWithNoCase(const char* subject, const char* pattern);
// Blanks, CR, LF, TAB and double quotes are removed from a copy of the subject
// (at most 254 bytes kept) before the comparison.
const char* StartsWithSquashed(const char* subject, const char* pattern);
const char* ContainsSquashed(const char* subject, const char* pattern);
const char* EndsWith(const char* subject, const char* pattern);
// Both sides lower-cased.
const char* FindNoCase(const char* subject, const char* pattern);
// As FindNoCase, but 1 or 0, and 0 for an empty pattern.
int ContainsNoCase(const char* subject, const char* pattern);

}  // namespace quillet
