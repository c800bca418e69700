#include "compose/address.h"

#include <vector>

#include "analysis/charset.h"

namespace quillet {

void BreakEmptyLines(std::string& text) {
  size_t at;
  while ((at = text.find("\r\n\r\n")) != std::string::npos) text.replace(at, 4, "  \r\n");
}

void TakeQuotedPart(std::string& text) {
  size_t open = text.find('"');
  if (open == std::string::npos) return;
  size_t close = text.find('"', open + 1);
  text = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

void RemoveLeadingBlanks(std::string& text) {
  size_t n = 0;
  while (n < text.size() && text[n] == ' ') ++n;
  text.erase(0, n);
}

void RemoveBlanks(std::string& text) {
  std::erase(text, ' ');
}

void RemoveLineBreaks(std::string& text) {
  std::erase(text, '\r');
  std::erase(text, '\n');
}

std::string RewriteAddressHeader(std::string_view line, size_t capacity, std::string_view domain,
                                 std::string_view label) {
  std::string_view rest =
      line.size() >= label.size() ? line.substr(label.size()) : std::string_view();
  // Entries end at commas outside double quotes.
  std::vector<std::string_view> entries;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '"') quoted = !quoted;
    if (rest[i] == ',' && !quoted) {
      entries.push_back(rest.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < rest.size()) entries.push_back(rest.substr(start));
  if (entries.size() > kMaxAddressEntries) entries.resize(kMaxAddressEntries);

  std::string out(label);
  for (std::string_view entry : entries) {
    std::string decoded;
    uint32_t code = DecodeHeaderText(entry, decoded, false);
    size_t lt = decoded.find('<');
    std::string rewritten;
    if (lt != std::string::npos) {
      std::string name = decoded.substr(0, lt);
      TakeQuotedPart(name);
      RemoveLeadingBlanks(name);
      size_t gt = decoded.find('>', lt);
      std::string address =
          decoded.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1);
      if (address.find('@') != std::string::npos) {
        out.append(entry);
        out += ",";
        continue;
      }
      address += "@" + std::string(domain);
      if (!name.empty()) {
        RemoveLineBreaks(name);
        rewritten = EncodeHeaderJis("\"" + name + "\"", code) + "<" + address + ">";
      } else {
        rewritten = "<" + address + ">";
      }
    } else {
      std::string address = decoded;
      std::string comment;
      bool has_comment = false;
      size_t open = address.find('(');
      if (open != std::string::npos) {
        has_comment = true;
        size_t close = address.find(')', open);
        comment = address.substr(open + 1,
                                 close == std::string::npos ? std::string::npos : close - open - 1);
        TakeQuotedPart(comment);
        RemoveLeadingBlanks(comment);
        address.erase(open);
      }
      if (address.find('@') != std::string::npos) {
        out.append(entry);
        out += ",";
        continue;
      }
      RemoveBlanks(address);
      if (has_comment) RemoveLineBreaks(address);
      address += "@" + std::string(domain);
      rewritten =
          EncodeHeaderJis(has_comment ? "\"" + comment + "\" <" + address + ">" : address, code);
    }
    out += rewritten;
    out += ", ";
    if (out.size() > capacity) break;
  }
  return out;
}

}  // namespace quillet
