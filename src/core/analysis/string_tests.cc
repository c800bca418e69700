#include "analysis/string_tests.h"

#include <cctype>
#include <cstring>

namespace quillet {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsSquashed(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '"';
}

// Copies the significant bytes of `subject` into `out` (at most kSquashLimit),
// remembering where each came from.
size_t Squash(const char* subject, char* out, size_t* origin) {
  size_t n = 0;
  for (size_t i = 0; subject[i] != '\0' && n < kSquashLimit; ++i) {
    if (IsSquashed(subject[i])) continue;
    origin[n] = i;
    out[n++] = subject[i];
  }
  out[n] = '\0';
  return n;
}

}  // namespace

const char* StartsWith(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  for (size_t i = 0; pattern[i] != '\0'; ++i)
    if (subject[i] != pattern[i]) return nullptr;  // also stops at the subject's NUL
  return subject;
}

const char* StartsWithNoCase(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  for (size_t i = 0; pattern[i] != '\0'; ++i) {
    if (subject[i] == '\0' || Lower(subject[i]) != pattern[i]) return nullptr;
  }
  return subject;
}

const char* StartsWithSquashed(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  if (std::strlen(subject) < std::strlen(pattern)) return nullptr;
  char copy[kSquashLimit + 1];
  size_t origin[kSquashLimit + 1];
  Squash(subject, copy, origin);
  return StartsWithNoCase(copy, pattern) != nullptr ? subject : nullptr;
}

const char* ContainsSquashed(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  char copy[kSquashLimit + 1];
  size_t origin[kSquashLimit + 1];
  Squash(subject, copy, origin);
  const char* hit = FindNoCase(copy, pattern);
  if (hit == nullptr) return nullptr;
  size_t index = static_cast<size_t>(hit - copy);
  return subject + (copy[index] != '\0' ? origin[index] : 0);
}

const char* EndsWith(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  size_t n = std::strlen(subject), m = std::strlen(pattern);
  if (n < m) return nullptr;
  return std::memcmp(subject + n - m, pattern, m) == 0 ? subject : nullptr;
}

const char* FindNoCase(const char* subject, const char* pattern) {
  if (subject == nullptr || pattern == nullptr) return nullptr;
  size_t m = std::strlen(pattern);
  if (m == 0) return subject;
  char first = Lower(pattern[0]);
  for (const char* s = subject; *s != '\0'; ++s) {
    if (Lower(*s) != first) continue;
    size_t i = 1;
    while (i < m && s[i] != '\0' && Lower(s[i]) == Lower(pattern[i])) ++i;
    if (i == m) return s;
    if (s[i] == '\0') return nullptr;  // the rest is shorter than the pattern
  }
  return nullptr;
}

int ContainsNoCase(const char* subject, const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return 0;
  return FindNoCase(subject, pattern) != nullptr ? 1 : 0;
}

}  // namespace quillet
