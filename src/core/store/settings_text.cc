#include "store/settings_text.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quillet {
namespace {

// Ports are stored in 16-bit words but read and written as 0 to 65535.
bool IsPortField(const FieldInfo& f) {
  return std::string_view(f.name).ends_with("_port");
}

std::string QuoteText(const char* p, size_t capacity) {
  std::string out = "\"";
  for (size_t i = 0; i < capacity && p[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void ExportRecord(const void* record, std::span<const FieldInfo> table, std::string& out) {
  for (const FieldInfo& f : table) {
    const void* p = FieldAddress(record, f);
    std::string value;
    switch (f.type) {
      case FieldType::kReserved:
        continue;
      case FieldType::kText:
        value = QuoteText(static_cast<const char*>(p), f.size);
        break;
      case FieldType::kI16: {
        int16_t v;
        std::memcpy(&v, p, sizeof v);
        value = IsPortField(f) ? std::to_string(static_cast<uint16_t>(v)) : std::to_string(v);
        break;
      }
      case FieldType::kI32: {
        int32_t v;
        std::memcpy(&v, p, sizeof v);
        value = std::to_string(v);
        break;
      }
      case FieldType::kU8:
        value = std::to_string(*static_cast<const uint8_t*>(p));
        break;
      case FieldType::kI16List:
        for (int i = 0; i < 6; ++i) {
          int16_t v;
          std::memcpy(&v, static_cast<const char*>(p) + 2 * i, sizeof v);
          value += (i ? " " : "") + std::to_string(v);
        }
        break;
      case FieldType::kU32List:
        for (int i = 0; i < 7; ++i) {
          uint32_t v;
          std::memcpy(&v, static_cast<const char*>(p) + 4 * i, sizeof v);
          char buf[16];
          std::snprintf(buf, sizeof buf, "0x%06X", v);
          value += (i ? " " : "") + std::string(buf);
        }
        break;
    }
    out += f.name;
    out += " = ";
    out += value;
    out += '\n';
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseQuoted(std::string_view v, std::string& out, std::string& error) {
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') {
    error = "a text must be enclosed in double quotes";
    return false;
  }
  v = v.substr(1, v.size() - 2);
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (c == '"') {
      error = "a double quote inside a text must be written \\\"";
      return false;
    }
    if (c != '\\') {
      if (static_cast<unsigned char>(c) < 0x20) {
        error = "control characters in a text must be written \\xHH";
        return false;
      }
      out += c;
      continue;
    }
    if (++i >= v.size()) {
      error = "the text ends with a lone backslash";
      return false;
    }
    if (v[i] == '\\' || v[i] == '"') {
      out += v[i];
    } else if (v[i] == 'x' && i + 2 < v.size() && HexDigit(v[i + 1]) >= 0 &&
               HexDigit(v[i + 2]) >= 0) {
      int byte = HexDigit(v[i + 1]) * 16 + HexDigit(v[i + 2]);
      if (byte == 0) {
        error = "a text cannot hold \\x00";
        return false;
      }
      out += static_cast<char>(byte);
      i += 2;
    } else {
      error = "unknown escape in a text (use \\\\, \\\" or \\xHH)";
      return false;
    }
  }
  return true;
}

bool ParseInteger(std::string_view v, int64_t low, int64_t high, int64_t& out, bool allow_hex) {
  int base = 10;
  if (allow_hex && v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    v.remove_prefix(2);
    base = 16;
  }
  if (v.empty()) return false;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), out, base);
  return ec == std::errc() && ptr == v.data() + v.size() && out >= low && out <= high;
}

std::vector<std::string_view> SplitBlanks(std::string_view v) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < v.size()) {
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
    size_t start = i;
    while (i < v.size() && v[i] != ' ' && v[i] != '\t') ++i;
    if (i > start) parts.push_back(v.substr(start, i - start));
  }
  return parts;
}

bool ApplyValue(void* record, const FieldInfo& f, std::string_view v, std::string& error) {
  void* p = FieldAddress(record, f);
  int64_t n = 0;
  switch (f.type) {
    case FieldType::kText: {
      std::string text;
      if (!ParseQuoted(v, text, error)) return false;
      if (text.size() > f.limit) {
        error = "text of " + std::to_string(text.size()) + " bytes is longer than the limit of " +
                std::to_string(f.limit) + " for " + f.name;
        return false;
      }
      std::memset(p, 0, f.size);
      std::memcpy(p, text.data(), text.size());
      return true;
    }
    case FieldType::kI16:
      if (!ParseInteger(v, IsPortField(f) ? 0 : INT16_MIN, IsPortField(f) ? UINT16_MAX : INT16_MAX,
                        n, false))
        break;
      {
        int16_t x = static_cast<int16_t>(n);
        std::memcpy(p, &x, sizeof x);
      }
      return true;
    case FieldType::kI32:
      if (!ParseInteger(v, INT32_MIN, INT32_MAX, n, false)) break;
      {
        int32_t x = static_cast<int32_t>(n);
        std::memcpy(p, &x, sizeof x);
      }
      return true;
    case FieldType::kU8:
      if (!ParseInteger(v, 0, 255, n, false)) break;
      *static_cast<uint8_t*>(p) = static_cast<uint8_t>(n);
      return true;
    case FieldType::kI16List: {
      auto parts = SplitBlanks(v);
      int16_t values[6];
      if (parts.size() != 6) break;
      for (int i = 0; i < 6; ++i) {
        if (!ParseInteger(parts[i], INT16_MIN, INT16_MAX, n, false)) goto bad;
        values[i] = static_cast<int16_t>(n);
      }
      std::memcpy(p, values, sizeof values);
      return true;
    }
    case FieldType::kU32List: {
      auto parts = SplitBlanks(v);
      uint32_t values[7];
      if (parts.size() != 7) break;
      for (int i = 0; i < 7; ++i) {
        if (!ParseInteger(parts[i], 0, UINT32_MAX, n, true)) goto bad;
        values[i] = static_cast<uint32_t>(n);
      }
      std::memcpy(p, values, sizeof values);
      return true;
    }
    case FieldType::kReserved:
      break;
  }
bad:
  switch (f.type) {
    case FieldType::kI16List:
      error = std::string(f.name) + " takes six whole numbers from -32768 to 32767";
      break;
    case FieldType::kU32List:
      error = std::string(f.name) + " takes seven numbers such as 0x000000";
      break;
    case FieldType::kU8:
      error = std::string(f.name) + " takes a whole number from 0 to 255";
      break;
    case FieldType::kI16:
      error = std::string(f.name) + (IsPortField(f) ? " takes a port number from 0 to 65535"
                                                    : " takes a whole number from -32768 to 32767");
      break;
    default:
      error = std::string(f.name) + " takes a whole number";
  }
  return false;
}

}  // namespace

std::string ExportSettingsText(const Settings& s) {
  std::string out = "[global]\n";
  ExportRecord(&s.global, GlobalFields(), out);
  for (int k = 0; k < kAccountCount; ++k) {
    out += "\n[account." + std::to_string(k) + "]\n";
    ExportRecord(&s.accounts[k], AccountFields(), out);
  }
  return out;
}

bool ImportSettingsText(std::string_view text, Settings& s, std::string& error) {
  auto work = std::make_unique<Settings>(s);
  void* record = nullptr;
  std::span<const FieldInfo> table;
  int line_number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++line_number;
    std::string why;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line == "[global]") {
        record = &work->global;
        table = GlobalFields();
        continue;
      }
      int k = -1;
      if (line.size() == 11 && line.substr(0, 9) == "[account." && line[10] == ']' &&
          line[9] >= '0' && line[9] <= '9')
        k = line[9] - '0';
      if (k < 0) {
        why = "unknown section " + std::string(line);
      } else {
        record = &work->accounts[k];
        table = AccountFields();
        continue;
      }
    } else {
      size_t eq = line.find('=');
      if (eq == std::string_view::npos) {
        why = "expected \"field = value\" or a [section]";
      } else if (record == nullptr) {
        why = "a field before the first [section]";
      } else {
        std::string name(Trim(line.substr(0, eq)));
        const FieldInfo* f = FindField(table, name);
        if (f == nullptr || f->type == FieldType::kReserved) {
          why = "unknown field " + name;
        } else if (ApplyValue(record, *f, Trim(line.substr(eq + 1)), why)) {
          continue;
        }
      }
    }
    error = "line " + std::to_string(line_number) + ": " + why;
    return false;
  }
  s = *work;
  return true;
}

}  // namespace quillet
