#include "analysis/html_text.h"

#include <cstring>

#include "analysis/charset.h"
#include "platform/text_encoding.h"

namespace quillet {
namespace {

constexpr const char* kBreakTags[] = {"br",   "hr", "p",  "div", "li", "ol", "dl", "ul", "dir",
                                      "menu", "h1", "h2", "h3",  "h4", "h5", "h6", "td"};

struct Entity {
  const char* name;
  const char* text;
};
constexpr Entity kEntities[] = {{"nbsp;", " "},  {"lt;", "<"},      {"gt;", ">"},
                                {"quot;", "\""}, {"amp;", "&"},     {"ndash;", "-"},
                                {"mdash;", "-"}, {"shy;", "-"},     {"copy;", "(C)"},
                                {"reg;", "(R)"}, {"trade;", "(TM)"}};

bool At(std::string_view s, size_t i, const char* word) {
  size_t n = std::strlen(word);
  if (s.size() < i || s.size() - i < n) return false;
  for (size_t k = 0; k < n; ++k)
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return false;
  return true;
}

bool IsBreakTag(std::string_view s, size_t i) {
  for (const char* tag : kBreakTags) {
    size_t n = std::strlen(tag);
    if (At(s, i, tag) && i + n < s.size() && (s[i + n] == '>' || s[i + n] == ' ')) return true;
  }
  return false;
}

std::string BlankLinePass(std::string text) {
  if (!text.ends_with("\r\n")) text += "\r\n";
  std::string out;
  bool previous_empty = false;
  size_t i = 0;
  while (i < text.size()) {
    size_t cr = text.find('\r', i);
    if (cr == std::string::npos) cr = text.size();
    size_t start = i;
    while (start < cr && (text[start] == ' ' || text[start] == '\t')) ++start;
    std::string_view line(text.data() + start, cr - start);
    if (line.empty()) {
      if (!previous_empty) out += "\r\n";
      previous_empty = true;
    } else {
      out.append(line);
      out += "\r\n";
      previous_empty = false;
    }
    i = cr + 2;  // the LF goes with its CR
  }
  return out;
}

}  // namespace

FoldWidths FoldWidthsFor(const Account& account) {
  if (account.mobile_enabled == 0 || account.wrap_enabled == 0) return {72, 80, 88};
  // A damaged settings file must not give a width of nothing.
  int w = account.wrap_bytes < 16 ? 16 : (account.wrap_bytes > 70 ? 70 : account.wrap_bytes);
  return {w, w + w / 9 + 1, w + w / 5 + 2};
}

uint32_t HtmlToText(std::string_view html, uint32_t charset, std::string& out) {
  std::string source;
  uint32_t result = charset;
  std::string copy(html);
  uint32_t detected = charset == kCharsetJis ? kCharsetJis : DetectCharset(copy.c_str());
  if (detected == kCharsetJis || detected == kCharsetUnknown) {
    source = JisToSjisPlain(html);
    result = kCharsetSjis;
  } else {
    source = std::move(copy);
  }
  size_t stop = html.size() >= 2 ? html.size() - 2 : 0;
  std::string text;
  bool in_tag = false, in_style = false, in_script = false, in_comment = false;
  bool previous_blank = false;
  for (size_t i = 0; i < source.size() && text.size() < stop; ++i) {
    char c = source[i];
    if (c == '<') {
      if (IsBreakTag(source, i + 1)) text += "\r\n";
      if (At(source, i + 1, "style")) in_style = true;
      if (At(source, i + 1, "/style>")) in_style = false;
      if (At(source, i + 1, "!--")) in_comment = true;
      if (At(source, i + 1, "script")) in_script = true;
      if (At(source, i + 1, "/script")) in_script = false;
      in_tag = true;
      previous_blank = false;
      continue;
    }
    if (in_comment) {
      if (source.compare(i, 3, "-->") == 0) {
        in_comment = false;
        in_tag = false;
        i += 2;
      }
      continue;
    }
    if (in_style || in_script) continue;
    if (c == '>') {
      in_tag = false;
      previous_blank = false;
      continue;
    }
    if (in_tag) continue;
    if (c == '&') {
      const Entity* hit = nullptr;
      for (const Entity& e : kEntities)
        if (At(source, i + 1, e.name)) hit = &e;
      if (hit != nullptr) {
        text += hit->text;
        i += std::strlen(hit->name);
        previous_blank = false;
        continue;
      }
    }
    if (c == ' ' && previous_blank) continue;
    if (c == '\r' || c == '\n') {
      previous_blank = false;
      continue;
    }
    text += c;
    previous_blank = c == ' ';
  }
  out = BlankLinePass(std::move(text));
  return result;
}

int FindCitationPrefix(const Account& account, const char* line, std::string& prefix) {
  prefix.clear();
  if (line == nullptr || account.mobile_enabled == 0 || account.citation_filter == 0) return 0;
  char list[1024 + 1] = {};
  GetText(account.citation_prefixes).copy(list, 1023);
  char* words[20];
  int n = SplitWordList(list, sizeof list, words, 20);
  for (int i = 0; i < n; ++i) {
    size_t len = std::strlen(words[i]);
    if (std::strncmp(line, words[i], len) == 0) {
      prefix.assign(words[i], len < 255 ? len : 255);
      return 1;
    }
  }
  return 0;
}

uint32_t WrapLines(std::string_view input, size_t room, uint32_t charset, const Account& account,
                   std::string& out) {
  std::string text(input);
  if (charset == kCharsetJis) {
    text = JisToSjisPlain(text);
    charset = kCharsetSjis;
  }
  FoldWidths w = FoldWidthsFor(account);
  size_t longest = 0, line_start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    longest = std::max(longest, i - line_start);
    line_start = i + 1;
  }
  bool japanese = charset == kCharsetJis || charset == kCharsetSjis;
  size_t limit = static_cast<size_t>(japanese ? w.japanese : w.hard);
  size_t keep = room > 0 ? room - 1 : 0;
  if (longest <= limit) {
    out = text.substr(0, std::min(text.size(), keep));
    return charset;
  }
  std::string prefix;
  FindCitationPrefix(account, text.c_str(), prefix);
  size_t stop = room > 6 ? room - 6 : 0;
  out.clear();
  int column = 0;
  for (size_t i = 0; i < text.size() && out.size() < stop; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool fold = japanese ? column > w.soft : (column > w.hard || (column > w.soft && c == ' '));
    if (fold) {
      if (out.size() + 2 + prefix.size() > stop) break;
      out += "\r\n";
      out += prefix;
      column = 0;
    }
    if (c == '\r' || c == '\n') {
      out += static_cast<char>(c);
      column = 0;
      if (c == '\n') FindCitationPrefix(account, text.c_str() + i + 1, prefix);
      continue;
    }
    if (IsSjisLeadByte(c) && i + 1 < text.size()) {
      if (out.size() + 2 > stop) break;  // a double-byte character is never split
      out += static_cast<char>(c);
      out += text[++i];
      column += 2;
    } else {
      out += static_cast<char>(c);
      column += 1;
    }
  }
  out += "\r\n";
  return charset;
}

}  // namespace quillet
