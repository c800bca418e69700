#include "store/settings.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/paths.h"

namespace quillet {
namespace {

void EncodeRecord(const void* record, std::span<const FieldInfo> table, uint8_t* out) {
  for (const FieldInfo& f : table)
    std::memcpy(out + f.file_offset, FieldAddress(record, f), f.size);
}

void DecodeRecord(const uint8_t* in, std::span<const FieldInfo> table, void* record) {
  for (const FieldInfo& f : table) std::memcpy(FieldAddress(record, f), in + f.file_offset, f.size);
}

void SetDefaults(void* record, std::span<const FieldInfo> table) {
  for (const FieldInfo& f : table) {
    void* p = FieldAddress(record, f);
    std::memset(p, 0, f.size);
    switch (f.type) {
      case FieldType::kText:
        if (f.default_text != nullptr) std::memcpy(p, f.default_text, std::strlen(f.default_text));
        break;
      case FieldType::kI16: {
        int16_t v = static_cast<int16_t>(f.default_value);
        std::memcpy(p, &v, sizeof v);
        break;
      }
      case FieldType::kI32: {
        int32_t v = static_cast<int32_t>(f.default_value);
        std::memcpy(p, &v, sizeof v);
        break;
      }
      case FieldType::kU8:
        *static_cast<uint8_t*>(p) = static_cast<uint8_t>(f.default_value);
        break;
      default:
        break;
    }
  }
}

// A text field read from a damaged file may lack its terminating NUL; every
// reader relies on it, so the last byte of each text field is always 0.
void TerminateTexts(void* record, std::span<const FieldInfo> table) {
  for (const FieldInfo& f : table)
    if (f.type == FieldType::kText) static_cast<char*>(FieldAddress(record, f))[f.size - 1] = '\0';
}

void Centre(GlobalSettings& g, const ScreenSize& screen) {
  g.window_x = static_cast<int16_t>((screen.width - g.window_width) / 2);
  g.window_y = static_cast<int16_t>((screen.height - g.window_height) / 2);
}

bool CanRead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in.is_open();
}

}  // namespace

void SwapNibbles(uint8_t* buffer, size_t length) {
  for (size_t i = 0; i < length; ++i)
    buffer[i] = static_cast<uint8_t>((buffer[i] << 4) | (buffer[i] >> 4));
}

std::vector<uint8_t> EncodeSettingsFile(const Settings& s) {
  std::vector<uint8_t> file(kSettingsFileSize, 0);
  EncodeRecord(&s.global, GlobalFields(), file.data());
  for (int k = 0; k < kAccountCount; ++k)
    EncodeRecord(&s.accounts[k], AccountFields(), file.data() + kGlobalSize + kAccountSize * k);
  SwapNibbles(file.data(), file.size());
  return file;
}

void DecodeSettingsFile(std::span<const uint8_t> file, Settings& s) {
  std::vector<uint8_t> image(kSettingsFileSize, 0);
  std::memcpy(image.data(), file.data(), std::min(file.size(), kSettingsFileSize));
  SwapNibbles(image.data(), image.size());
  DecodeRecord(image.data(), GlobalFields(), &s.global);
  for (int k = 0; k < kAccountCount; ++k)
    DecodeRecord(image.data() + kGlobalSize + kAccountSize * k, AccountFields(), &s.accounts[k]);
}

void ApplyDefaults(Settings& s, const ScreenSize& screen) {
  SetDefaults(&s.global, GlobalFields());
  static constexpr int16_t kWidths[6] = {100, 100, 120, 250, 120, 120};
  std::memcpy(s.global.history_column_widths, kWidths, sizeof kWidths);
  Centre(s.global, screen);
  for (Account& a : s.accounts) SetDefaults(&a, AccountFields());
}

void ApplyFixUps(Settings& s, const ScreenSize& screen) {
  GlobalSettings& g = s.global;
  TerminateTexts(&g, GlobalFields());
  // 1. A window that lies off the screen is centred again at its default size.
  if (g.window_x > screen.width || g.window_x < 0 || g.window_y > screen.height || g.window_y < 0) {
    g.window_height = 415;
    int sum = 15;
    for (int16_t w : g.history_column_widths) sum += w;
    g.window_width = static_cast<int16_t>(sum);
    Centre(g, screen);
  }
  // 2. The sixth width is left as it is.
  for (int i = 0; i < 5; ++i)
    if (g.history_column_widths[i] <= 0) g.history_column_widths[i] = 100;
  // 3.
  if (g.receive_buffer_level < 1 || g.receive_buffer_level > 8) g.receive_buffer_level = 1;
  // 4.
  for (Account& a : s.accounts) {
    TerminateTexts(&a, AccountFields());
    if (a.divide_max_pieces <= 0) a.divide_max_pieces = 1;
    if (a.divide_bytes <= 100) a.divide_bytes = 100;
    if (a.citation_prefixes[0] == '\0') SetText(a.citation_prefixes, "> |");
    a.account_name[sizeof a.account_name - 1] = '\0';
  }
  // 5.
  if (g.history_auto_halve != 0 && g.history_halve_threshold == 0) g.history_auto_halve = 0;
  // 6.
  for (Account& a : s.accounts) {
    a.no_uidl = a.no_uidl_option;
    if (a.piece_delay_seconds < 1 || a.piece_delay_seconds > 600) a.piece_delay_seconds = 10;
  }
  // 7.
  for (Account& a : s.accounts)
    if (a.subject_max_bytes == 0) a.subject_max_bytes = 16;
  // 8.
  if (g.watchdog_minutes < 10) g.watchdog_minutes = 10;
  // 9.
  for (Account& a : s.accounts)
    if (a.cut_keyword[0] == '\0') a.cut_after_keyword = 0;
}

void LoadSettings(Settings& s, SettingsPaths& paths, const ScreenSize& screen) {
  std::string current = paths.current_dir + "/" + kSettingsFileName;
  std::string config = paths.config_dir + "/" + kSettingsFileName;
  paths.data_is_current = CanRead(current);
  std::ifstream in(paths.data_is_current ? current : config, std::ios::binary);
  bool loaded = false;
  if (in.is_open()) {
    std::vector<uint8_t> file(kSettingsFileSize, 0);
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    file.resize(static_cast<size_t>(in.gcount()));
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    DecodeSettingsFile(file, s);
    loaded = std::strncmp(s.global.magic, kSettingsMagic, sizeof s.global.magic) == 0;
  }
  if (!loaded) {
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    ApplyDefaults(s, screen);
  }
  ApplyFixUps(s, screen);
}

bool SaveSettings(Settings& s, const SettingsPaths& paths, const ScreenSize& screen,
                  const WindowRect* window) {
  GlobalSettings& g = s.global;
  if (window != nullptr && !window->maximised && window->left < screen.width &&
      window->top < screen.height) {
    g.window_x = static_cast<int16_t>(window->left);
    g.window_y = static_cast<int16_t>(window->top);
    g.window_width = static_cast<int16_t>(window->right - window->left);
    g.window_height = static_cast<int16_t>(window->bottom - window->top);
  }
  std::vector<uint8_t> file = EncodeSettingsFile(s);
  std::string current = paths.current_dir + "/" + kSettingsFileName;
  if (paths.data_is_current) return WriteFileAtomically(current, file.data(), file.size());
  std::string config = paths.config_dir + "/" + kSettingsFileName;
  if (EnsureDirectory(paths.config_dir) && WriteFileAtomically(config, file.data(), file.size()))
    return true;
  return WriteFileAtomically(current, file.data(), file.size());
}

bool IsAccountComplete(const Account& a) {
  return a.pop3_server[0] != '\0' && a.smtp_server[0] != '\0' && a.mail_address[0] != '\0' &&
         a.forward_to[0] != '\0' && a.pop3_user[0] != '\0';
}

int FindIncompleteAccount(const Settings& s) {
  for (int k = 0; k < kAccountCount; ++k)
    if (s.accounts[k].enabled != 0 && !IsAccountComplete(s.accounts[k])) return k;
  return -1;
}

std::string AccountLabel(const Account& a) {
  if (a.account_name[0] != '\0') return std::string(GetText(a.account_name));
  if (a.pop3_user[0] != '\0') return "(" + std::string(GetText(a.pop3_user)) + ")";
  return std::string();
}

std::string AccountLabelOrIndex(const Account& a, int index) {
  std::string label = AccountLabel(a);
  if (label.empty()) label = "Account(" + std::to_string(index) + ")";
  return label;
}

std::vector<std::string> SplitAtBlanks(std::string_view text, size_t max_words) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size() && words.size() < max_words) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

int SplitWordList(char* text, size_t capacity, char** words, int max_words) {
  if (capacity == 0) return 0;
  size_t len = strnlen(text, capacity);
  if (len == capacity) text[--len] = '\0';  // keep within the buffer
  int count = 0;
  bool quoted = false;
  char* start = text;
  for (size_t i = 0; i <= len; ++i) {
    char c = text[i];
    if (c == '"') quoted = !quoted;
    if ((c == ' ' && !quoted) || i == len) {
      text[i] = '\0';
      if (*start != '\0' && count < max_words) words[count++] = start;
      start = text + i + 1;
    }
  }
  for (int w = 0; w < count; ++w) {
    char* out = words[w];
    for (char* in = words[w]; *in != '\0'; ++in)
      if (*in != '"') *out++ = *in;
    *out = '\0';
  }
  return count;
}

}  // namespace quillet
