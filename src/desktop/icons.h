#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string>
#include <string_view>

namespace quillet {

QIcon ProgramIcon();
// "tool-start", "tool-preferences", "tool-log", "tool-accounts", "tool-tray".
QIcon ToolIcon(const char* name);
// Status kinds 0..7 of the status bar.
QIcon StatusIcon(int kind);
// History status codes 0..17.
QIcon HistoryIcon(int code);
// The small check-box pictures of the account drop-down.
QIcon CheckIcon(bool checked);

// Texts between the settings (Shift_JIS) and the widgets.
QString FromSjis(std::string_view sjis);
// At most `limit` bytes of Shift_JIS, never half a character.
std::string ToSjis(const QString& text, size_t limit);

}  // namespace quillet
