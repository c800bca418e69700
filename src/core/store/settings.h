#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr int kAccountCount = 10;
inline constexpr size_t kGlobalSize = 1100;
inline constexpr size_t kAccountSize = 33383;
inline constexpr size_t kSettingsFileSize = kGlobalSize + kAccountSize * kAccountCount;  // 334930
inline constexpr char kSettingsMagic[] = "QUILLETS_V300";
inline constexpr char kSettingsFileName[] = "quillet3.prf";
inline constexpr char kUidlStoreFileName[] = "qlt3uidl.mbx";
inline constexpr char kHistoryFileName[] = "quillet_.log";

// Screen used for the default window placement when there is no display.
inline constexpr int kHeadlessScreenWidth = 1920;
inline constexpr int kHeadlessScreenHeight = 1080;

// The global part of the settings. Members are typed; the byte layout of the
// settings file is described by the field table, not by this struct's layout.
struct GlobalSettings {
  char magic[16];
  int16_t history_column_widths[6];
  int16_t window_width;
  int16_t window_height;
  int16_t window_x;
  int16_t window_y;
  int16_t connect_at_startup;
  int16_t skip_if_in_history;
  int16_t debug_logging;
  int16_t history_check_all;
  int16_t receive_buffer_level;
  int16_t tray_at_startup;
  int16_t startup_password_required;
  char startup_password[12];
  int16_t history_auto_halve;
  int32_t history_halve_threshold;
  uint8_t reserved_68[2];
  int16_t delete_all_on_quit;
  int16_t delete_on_quit_immediately;
  uint8_t reserved_74[2];
  int16_t use_autodial;
  int16_t custom_timeout;
  int32_t timeout_seconds;
  uint8_t reserved_84[2];
  int16_t history_skip_filtered;
  int16_t confirm_quit;
  int16_t watchdog_enabled;
  int32_t watchdog_minutes;
  uint8_t reserved_96[1004];
};

// One account record.
struct Account {
  char smtp_server[256];
  int16_t smtp_auth;
  char smtp_auth_password[64];
  char smtp_auth_user[64];
  char mail_address[256];
  char forward_to[256];
  char pop3_server[256];
  char pop3_user[64];
  char pop3_password[64];
  uint8_t enabled;
  char account_name[254];
  uint8_t reserved_1537[2];
  int16_t smtp_port_manual;
  int16_t mobile_enabled;
  int16_t add_sender_to_body;
  int16_t add_subject_to_body;
  int16_t minimum_headers;
  int16_t citation_filter;
  int16_t citation_keep_first;
  char citation_prefixes[1024];
  int32_t cut_after_original;
  int16_t cut_after_original_lines;
  int16_t remove_spaces;
  int16_t remove_wide_spaces;
  int16_t remove_blank_lines;
  int16_t remove_tabs;
  int16_t omit_removed_file_info;
  int16_t remove_repeated_chars;
  int16_t divide_enabled;
  int16_t divide_bytes;
  int16_t divide_max_pieces;
  uint8_t reserved_2601[1026];
  int16_t allow_8bit;
  uint8_t reserved_3629[2];
  int16_t number_in_subject;
  uint8_t reserved_3633[2];
  int16_t wrap_enabled;
  int16_t wrap_bytes;
  int16_t piece_delay_enabled;
  int16_t piece_delay_seconds;
  char cut_keyword[256];
  int16_t cut_keyword_lines;
  int16_t cut_after_keyword;
  int16_t pieces_reverse_order;
  int16_t shorten_first_piece_subject;
  int16_t subject_max_bytes;
  uint8_t reserved_3909[230];
  int16_t pop3_port;
  int16_t smtp_port;
  int16_t check_interval_minutes;
  int16_t size_filter;
  int16_t size_filter_strip;
  int16_t size_filter_skip;
  int16_t filter_from;
  int16_t filter_to;
  int16_t filter_cc;
  int32_t size_limit_kb;
  char filter_from_words[4098];
  char filter_to_words[4098];
  char filter_cc_words[4098];
  int16_t forward_html;
  uint8_t reserved_16457[2];
  int16_t pop_reverse_order;
  int16_t from_is_own_address;
  int16_t filter_subject;
  int16_t filter_mailer;
  int16_t filter_timezone;
  int16_t filter_charset;
  char filter_subject_words[4098];
  char filter_mailer_words[4098];
  char filter_timezone_words[4098];
  char filter_charset_words[4098];
  int16_t skip_from_destination;
  int16_t add_own_domain;
  int16_t shorten_subject;
  int16_t skip_existing_at_startup;
  int16_t filter_mode_include;
  int16_t delete_after_forward;
  int16_t delete_all_mail;
  int16_t omit_message_id;
  int16_t omit_date;
  int16_t add_resent_headers;
  int16_t no_filter_smtp_errors;
  uint8_t reserved_32885[2];
  int16_t omit_from_reply_to;
  int16_t require_to_address;
  int16_t destination_in_to;
  int16_t use_apop;
  int16_t no_uidl;
  int16_t no_uidl_option;
  int16_t schedule_enabled;
  uint32_t schedule_stop_hours[7];
  int16_t schedule_hold_mail;
  int16_t convert_all_html_parts;
  int16_t nonblocking;
  int16_t mail_number;
  uint8_t reserved_32937[446];
};

struct Settings {
  GlobalSettings global;
  std::array<Account, kAccountCount> accounts;
};

enum class FieldType { kText, kI16, kI32, kU8, kI16List, kU32List, kReserved };

// One field of the settings file: where it lies in the file record and in the
// in-memory struct. `limit` is the longest text the preferences accept.
struct FieldInfo {
  const char* name;
  uint32_t file_offset;
  uint32_t size;
  FieldType type;
  uint32_t limit;
  size_t member_offset;
  int64_t default_value;
  const char* default_text;
};

std::span<const FieldInfo> GlobalFields();
std::span<const FieldInfo> AccountFields();
const FieldInfo* FindField(std::span<const FieldInfo> table, std::string_view name);

// Address of a field inside a record (GlobalSettings or Account).
inline void* FieldAddress(void* record, const FieldInfo& f) {
  return static_cast<char*>(record) + f.member_offset;
}
inline const void* FieldAddress(const void* record, const FieldInfo& f) {
  return static_cast<const char*>(record) + f.member_offset;
}

struct ScreenSize {
  int width = kHeadlessScreenWidth;
  int height = kHeadlessScreenHeight;
};

// The main window's last rectangle, as the desktop reports it at save time.
struct WindowRect {
  bool maximised = false;
  int left = 0, top = 0, right = 0, bottom = 0;
};

// The file image: nibbles exchanged, exactly kSettingsFileSize bytes.
std::vector<uint8_t> EncodeSettingsFile(const Settings& s);
// Reads a file image of any length (a short one leaves the tail zero).
void DecodeSettingsFile(std::span<const uint8_t> file, Settings& s);

void SwapNibbles(uint8_t* buffer, size_t length);

// Zeroes `s` and fills in the documented defaults.
void ApplyDefaults(Settings& s, const ScreenSize& screen);
// The repairs applied after every load, in their fixed order.
void ApplyFixUps(Settings& s, const ScreenSize& screen);

// Where the settings, the UIDL store and the history log live.
struct SettingsPaths {
  std::string current_dir;  // candidate 1
  std::string config_dir;   // candidate 2, the per-user data directory
  bool data_is_current = false;
  std::string DataDirectory() const { return data_is_current ? current_dir : config_dir; }
  std::string SettingsPath() const { return DataDirectory() + "/" + kSettingsFileName; }
  std::string UidlStorePath() const { return DataDirectory() + "/" + kUidlStoreFileName; }
  std::string HistoryPath() const { return DataDirectory() + "/" + kHistoryFileName; }
};

// Loads the settings file from the current directory, else from the config
// directory; decides the data directory. Never fails: defaults are used.
void LoadSettings(Settings& s, SettingsPaths& paths, const ScreenSize& screen);
// Records the window rectangle (when given) and writes the settings file.
// Returns false when nothing could be written (the caller stays silent).
bool SaveSettings(Settings& s, const SettingsPaths& paths, const ScreenSize& screen,
                  const WindowRect* window);

// Text helpers over fixed-capacity fields.
template <size_t N>
void SetText(char (&field)[N], std::string_view text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  for (size_t i = n; i < N; ++i) field[i] = '\0';
}
template <size_t N>
std::string_view GetText(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string_view(field, n);
}

// Lowest enabled account with an empty required field, or -1.
int FindIncompleteAccount(const Settings& s);
bool IsAccountComplete(const Account& a);

// Label of an account in history records: name, else "(user)", else empty.
std::string AccountLabel(const Account& a);
// Label for dialogs: as above, but "Account(%d)" when both are empty.
std::string AccountLabelOrIndex(const Account& a, int index);

// The words of a list separated by blanks (runs of blanks give no empty
// words), at most `max_words` of them.
std::vector<std::string> SplitAtBlanks(std::string_view text, size_t max_words);

// Appends a blank to `text` (which must have room for it) and cuts it in place
// into words at blanks outside double quotes; quotes are removed from the words
// taken. Returns the number of words stored in `words` (at most max_words).
int SplitWordList(char* text, size_t capacity, char** words, int max_words);

}  // namespace quillet
