#include <bit>
#include <cstring>

#include "store/settings.h"

namespace quillet {

static_assert(std::endian::native == std::endian::little,
              "the settings file is little-endian and copied as it is");

namespace {

// clang-format off
const FieldInfo kGlobalFields[] = {
    {"magic", 0, 16, FieldType::kText, 15, offsetof(GlobalSettings, magic), 0, "QUILLETS_V300"},
    {"history_column_widths", 16, 12, FieldType::kI16List, 0, offsetof(GlobalSettings, history_column_widths), 0, nullptr},
    {"window_width", 28, 2, FieldType::kI16, 0, offsetof(GlobalSettings, window_width), 825, nullptr},
    {"window_height", 30, 2, FieldType::kI16, 0, offsetof(GlobalSettings, window_height), 415, nullptr},
    {"window_x", 32, 2, FieldType::kI16, 0, offsetof(GlobalSettings, window_x), 0, nullptr},
    {"window_y", 34, 2, FieldType::kI16, 0, offsetof(GlobalSettings, window_y), 0, nullptr},
    {"connect_at_startup", 36, 2, FieldType::kI16, 0, offsetof(GlobalSettings, connect_at_startup), 0, nullptr},
    {"skip_if_in_history", 38, 2, FieldType::kI16, 0, offsetof(GlobalSettings, skip_if_in_history), 0, nullptr},
    {"debug_logging", 40, 2, FieldType::kI16, 0, offsetof(GlobalSettings, debug_logging), 0, nullptr},
    {"history_check_all", 42, 2, FieldType::kI16, 0, offsetof(GlobalSettings, history_check_all), 0, nullptr},
    {"receive_buffer_level", 44, 2, FieldType::kI16, 0, offsetof(GlobalSettings, receive_buffer_level), 1, nullptr},
    {"tray_at_startup", 46, 2, FieldType::kI16, 0, offsetof(GlobalSettings, tray_at_startup), 0, nullptr},
    {"startup_password_required", 48, 2, FieldType::kI16, 0, offsetof(GlobalSettings, startup_password_required), 0, nullptr},
    {"startup_password", 50, 12, FieldType::kText, 10, offsetof(GlobalSettings, startup_password), 0, nullptr},
    {"history_auto_halve", 62, 2, FieldType::kI16, 0, offsetof(GlobalSettings, history_auto_halve), 0, nullptr},
    {"history_halve_threshold", 64, 4, FieldType::kI32, 0, offsetof(GlobalSettings, history_halve_threshold), 0, nullptr},
    {"reserved_68", 68, 2, FieldType::kReserved, 0, offsetof(GlobalSettings, reserved_68), 0, nullptr},
    {"delete_all_on_quit", 70, 2, FieldType::kI16, 0, offsetof(GlobalSettings, delete_all_on_quit), 0, nullptr},
    {"delete_on_quit_immediately", 72, 2, FieldType::kI16, 0, offsetof(GlobalSettings, delete_on_quit_immediately), 0, nullptr},
    {"reserved_74", 74, 2, FieldType::kReserved, 0, offsetof(GlobalSettings, reserved_74), 0, nullptr},
    {"use_autodial", 76, 2, FieldType::kI16, 0, offsetof(GlobalSettings, use_autodial), 0, nullptr},
    {"custom_timeout", 78, 2, FieldType::kI16, 0, offsetof(GlobalSettings, custom_timeout), 0, nullptr},
    {"timeout_seconds", 80, 4, FieldType::kI32, 0, offsetof(GlobalSettings, timeout_seconds), 60, nullptr},
    {"reserved_84", 84, 2, FieldType::kReserved, 0, offsetof(GlobalSettings, reserved_84), 0, nullptr},
    {"history_skip_filtered", 86, 2, FieldType::kI16, 0, offsetof(GlobalSettings, history_skip_filtered), 0, nullptr},
    {"confirm_quit", 88, 2, FieldType::kI16, 0, offsetof(GlobalSettings, confirm_quit), 0, nullptr},
    {"watchdog_enabled", 90, 2, FieldType::kI16, 0, offsetof(GlobalSettings, watchdog_enabled), 1, nullptr},
    {"watchdog_minutes", 92, 4, FieldType::kI32, 0, offsetof(GlobalSettings, watchdog_minutes), 30, nullptr},
    {"reserved_96", 96, 1004, FieldType::kReserved, 0, offsetof(GlobalSettings, reserved_96), 0, nullptr},};

const FieldInfo kAccountFields[] = {
    {"smtp_server", 0, 256, FieldType::kText, 255, offsetof(Account, smtp_server), 0, nullptr},
    {"smtp_auth", 256, 2, FieldType::kI16, 0, offsetof(Account, smtp_auth), 0, nullptr},
    {"smtp_auth_password", 258, 64, FieldType::kText, 63, offsetof(Account, smtp_auth_password), 0, nullptr},
    {"smtp_auth_user", 322, 64, FieldType::kText, 63, offsetof(Account, smtp_auth_user), 0, nullptr},
    {"mail_address", 386, 256, FieldType::kText, 63, offsetof(Account, mail_address), 0, nullptr},
    {"forward_to", 642, 256, FieldType::kText, 255, offsetof(Account, forward_to), 0, nullptr},
    {"pop3_server", 898, 256, FieldType::kText, 255, offsetof(Account, pop3_server), 0, nullptr},
    {"pop3_user", 1154, 64, FieldType::kText, 63, offsetof(Account, pop3_user), 0, nullptr},
    {"pop3_password", 1218, 64, FieldType::kText, 63, offsetof(Account, pop3_password), 0, nullptr},
    {"enabled", 1282, 1, FieldType::kU8, 0, offsetof(Account, enabled), 0, nullptr},
    {"account_name", 1283, 254, FieldType::kText, 253, offsetof(Account, account_name), 0, nullptr},
    {"reserved_1537", 1537, 2, FieldType::kReserved, 0, offsetof(Account, reserved_1537), 0, nullptr},
    {"smtp_port_manual", 1539, 2, FieldType::kI16, 0, offsetof(Account, smtp_port_manual), 0, nullptr},
    {"mobile_enabled", 1541, 2, FieldType::kI16, 0, offsetof(Account, mobile_enabled), 0, nullptr},
    {"add_sender_to_body", 1543, 2, FieldType::kI16, 0, offsetof(Account, add_sender_to_body), 0, nullptr},
    {"add_subject_to_body", 1545, 2, FieldType::kI16, 0, offsetof(Account, add_subject_to_body), 0, nullptr},
    {"minimum_headers", 1547, 2, FieldType::kI16, 0, offsetof(Account, minimum_headers), 0, nullptr},
    {"citation_filter", 1549, 2, FieldType::kI16, 0, offsetof(Account, citation_filter), 0, nullptr},
    {"citation_keep_first", 1551, 2, FieldType::kI16, 0, offsetof(Account, citation_keep_first), 0, nullptr},
    {"citation_prefixes", 1553, 1024, FieldType::kText, 1023, offsetof(Account, citation_prefixes), 0, "> |"},
    {"cut_after_original", 2577, 4, FieldType::kI32, 0, offsetof(Account, cut_after_original), 0, nullptr},
    {"cut_after_original_lines", 2581, 2, FieldType::kI16, 0, offsetof(Account, cut_after_original_lines), 0, nullptr},
    {"remove_spaces", 2583, 2, FieldType::kI16, 0, offsetof(Account, remove_spaces), 0, nullptr},
    {"remove_wide_spaces", 2585, 2, FieldType::kI16, 0, offsetof(Account, remove_wide_spaces), 0, nullptr},
    {"remove_blank_lines", 2587, 2, FieldType::kI16, 0, offsetof(Account, remove_blank_lines), 0, nullptr},
    {"remove_tabs", 2589, 2, FieldType::kI16, 0, offsetof(Account, remove_tabs), 0, nullptr},
    {"omit_removed_file_info", 2591, 2, FieldType::kI16, 0, offsetof(Account, omit_removed_file_info), 0, nullptr},
    {"remove_repeated_chars", 2593, 2, FieldType::kI16, 0, offsetof(Account, remove_repeated_chars), 0, nullptr},
    {"divide_enabled", 2595, 2, FieldType::kI16, 0, offsetof(Account, divide_enabled), 0, nullptr},
    {"divide_bytes", 2597, 2, FieldType::kI16, 0, offsetof(Account, divide_bytes), 100, nullptr},
    {"divide_max_pieces", 2599, 2, FieldType::kI16, 0, offsetof(Account, divide_max_pieces), 1, nullptr},
    {"reserved_2601", 2601, 1026, FieldType::kReserved, 0, offsetof(Account, reserved_2601), 0, nullptr},
    {"allow_8bit", 3627, 2, FieldType::kI16, 0, offsetof(Account, allow_8bit), 0, nullptr},
    {"reserved_3629", 3629, 2, FieldType::kReserved, 0, offsetof(Account, reserved_3629), 0, nullptr},
    {"number_in_subject", 3631, 2, FieldType::kI16, 0, offsetof(Account, number_in_subject), 0, nullptr},
    {"reserved_3633", 3633, 2, FieldType::kReserved, 0, offsetof(Account, reserved_3633), 0, nullptr},
    {"wrap_enabled", 3635, 2, FieldType::kI16, 0, offsetof(Account, wrap_enabled), 0, nullptr},
    {"wrap_bytes", 3637, 2, FieldType::kI16, 0, offsetof(Account, wrap_bytes), 0, nullptr},
    {"piece_delay_enabled", 3639, 2, FieldType::kI16, 0, offsetof(Account, piece_delay_enabled), 0, nullptr},
    {"piece_delay_seconds", 3641, 2, FieldType::kI16, 0, offsetof(Account, piece_delay_seconds), 10, nullptr},
    {"cut_keyword", 3643, 256, FieldType::kText, 255, offsetof(Account, cut_keyword), 0, nullptr},
    {"cut_keyword_lines", 3899, 2, FieldType::kI16, 0, offsetof(Account, cut_keyword_lines), 0, nullptr},
    {"cut_after_keyword", 3901, 2, FieldType::kI16, 0, offsetof(Account, cut_after_keyword), 0, nullptr},
    {"pieces_reverse_order", 3903, 2, FieldType::kI16, 0, offsetof(Account, pieces_reverse_order), 0, nullptr},
    {"shorten_first_piece_subject", 3905, 2, FieldType::kI16, 0, offsetof(Account, shorten_first_piece_subject), 0, nullptr},
    {"subject_max_bytes", 3907, 2, FieldType::kI16, 0, offsetof(Account, subject_max_bytes), 16, nullptr},
    {"reserved_3909", 3909, 230, FieldType::kReserved, 0, offsetof(Account, reserved_3909), 0, nullptr},
    {"pop3_port", 4139, 2, FieldType::kI16, 0, offsetof(Account, pop3_port), 110, nullptr},
    {"smtp_port", 4141, 2, FieldType::kI16, 0, offsetof(Account, smtp_port), 25, nullptr},
    {"check_interval_minutes", 4143, 2, FieldType::kI16, 0, offsetof(Account, check_interval_minutes), 10, nullptr},
    {"size_filter", 4145, 2, FieldType::kI16, 0, offsetof(Account, size_filter), 0, nullptr},
    {"size_filter_strip", 4147, 2, FieldType::kI16, 0, offsetof(Account, size_filter_strip), 1, nullptr},
    {"size_filter_skip", 4149, 2, FieldType::kI16, 0, offsetof(Account, size_filter_skip), 0, nullptr},
    {"filter_from", 4151, 2, FieldType::kI16, 0, offsetof(Account, filter_from), 0, nullptr},
    {"filter_to", 4153, 2, FieldType::kI16, 0, offsetof(Account, filter_to), 0, nullptr},
    {"filter_cc", 4155, 2, FieldType::kI16, 0, offsetof(Account, filter_cc), 0, nullptr},
    {"size_limit_kb", 4157, 4, FieldType::kI32, 0, offsetof(Account, size_limit_kb), 0, nullptr},
    {"filter_from_words", 4161, 4098, FieldType::kText, 4096, offsetof(Account, filter_from_words), 0, nullptr},
    {"filter_to_words", 8259, 4098, FieldType::kText, 4096, offsetof(Account, filter_to_words), 0, nullptr},
    {"filter_cc_words", 12357, 4098, FieldType::kText, 4096, offsetof(Account, filter_cc_words), 0, nullptr},
    {"forward_html", 16455, 2, FieldType::kI16, 0, offsetof(Account, forward_html), 0, nullptr},
    {"reserved_16457", 16457, 2, FieldType::kReserved, 0, offsetof(Account, reserved_16457), 0, nullptr},
    {"pop_reverse_order", 16459, 2, FieldType::kI16, 0, offsetof(Account, pop_reverse_order), 0, nullptr},
    {"from_is_own_address", 16461, 2, FieldType::kI16, 0, offsetof(Account, from_is_own_address), 0, nullptr},
    {"filter_subject", 16463, 2, FieldType::kI16, 0, offsetof(Account, filter_subject), 0, nullptr},
    {"filter_mailer", 16465, 2, FieldType::kI16, 0, offsetof(Account, filter_mailer), 0, nullptr},
    {"filter_timezone", 16467, 2, FieldType::kI16, 0, offsetof(Account, filter_timezone), 0, nullptr},
    {"filter_charset", 16469, 2, FieldType::kI16, 0, offsetof(Account, filter_charset), 0, nullptr},
    {"filter_subject_words", 16471, 4098, FieldType::kText, 4096, offsetof(Account, filter_subject_words), 0, nullptr},
    {"filter_mailer_words", 20569, 4098, FieldType::kText, 4096, offsetof(Account, filter_mailer_words), 0, nullptr},
    {"filter_timezone_words", 24667, 4098, FieldType::kText, 4096, offsetof(Account, filter_timezone_words), 0, nullptr},
    {"filter_charset_words", 28765, 4098, FieldType::kText, 4096, offsetof(Account, filter_charset_words), 0, nullptr},
    {"skip_from_destination", 32863, 2, FieldType::kI16, 0, offsetof(Account, skip_from_destination), 0, nullptr},
    {"add_own_domain", 32865, 2, FieldType::kI16, 0, offsetof(Account, add_own_domain), 0, nullptr},
    {"shorten_subject", 32867, 2, FieldType::kI16, 0, offsetof(Account, shorten_subject), 0, nullptr},
    {"skip_existing_at_startup", 32869, 2, FieldType::kI16, 0, offsetof(Account, skip_existing_at_startup), 0, nullptr},
    {"filter_mode_include", 32871, 2, FieldType::kI16, 0, offsetof(Account, filter_mode_include), 0, nullptr},
    {"delete_after_forward", 32873, 2, FieldType::kI16, 0, offsetof(Account, delete_after_forward), 0, nullptr},
    {"delete_all_mail", 32875, 2, FieldType::kI16, 0, offsetof(Account, delete_all_mail), 0, nullptr},
    {"omit_message_id", 32877, 2, FieldType::kI16, 0, offsetof(Account, omit_message_id), 0, nullptr},
    {"omit_date", 32879, 2, FieldType::kI16, 0, offsetof(Account, omit_date), 0, nullptr},
    {"add_resent_headers", 32881, 2, FieldType::kI16, 0, offsetof(Account, add_resent_headers), 1, nullptr},
    {"no_filter_smtp_errors", 32883, 2, FieldType::kI16, 0, offsetof(Account, no_filter_smtp_errors), 0, nullptr},
    {"reserved_32885", 32885, 2, FieldType::kReserved, 0, offsetof(Account, reserved_32885), 0, nullptr},
    {"omit_from_reply_to", 32887, 2, FieldType::kI16, 0, offsetof(Account, omit_from_reply_to), 0, nullptr},
    {"require_to_address", 32889, 2, FieldType::kI16, 0, offsetof(Account, require_to_address), 0, nullptr},
    {"destination_in_to", 32891, 2, FieldType::kI16, 0, offsetof(Account, destination_in_to), 0, nullptr},
    {"use_apop", 32893, 2, FieldType::kI16, 0, offsetof(Account, use_apop), 0, nullptr},
    {"no_uidl", 32895, 2, FieldType::kI16, 0, offsetof(Account, no_uidl), 0, nullptr},
    {"no_uidl_option", 32897, 2, FieldType::kI16, 0, offsetof(Account, no_uidl_option), 0, nullptr},
    {"schedule_enabled", 32899, 2, FieldType::kI16, 0, offsetof(Account, schedule_enabled), 0, nullptr},
    {"schedule_stop_hours", 32901, 28, FieldType::kU32List, 0, offsetof(Account, schedule_stop_hours), 0, nullptr},
    {"schedule_hold_mail", 32929, 2, FieldType::kI16, 0, offsetof(Account, schedule_hold_mail), 0, nullptr},
    {"convert_all_html_parts", 32931, 2, FieldType::kI16, 0, offsetof(Account, convert_all_html_parts), 0, nullptr},
    {"nonblocking", 32933, 2, FieldType::kI16, 0, offsetof(Account, nonblocking), 1, nullptr},
    {"mail_number", 32935, 2, FieldType::kI16, 0, offsetof(Account, mail_number), 0, nullptr},
    {"reserved_32937", 32937, 446, FieldType::kReserved, 0, offsetof(Account, reserved_32937), 0, nullptr},};
// clang-format on

}  // namespace

std::span<const FieldInfo> GlobalFields() {
  return kGlobalFields;
}
std::span<const FieldInfo> AccountFields() {
  return kAccountFields;
}

const FieldInfo* FindField(std::span<const FieldInfo> table, std::string_view name) {
  for (const FieldInfo& f : table)
    if (name == f.name) return &f;
  return nullptr;
}

}  // namespace quillet
