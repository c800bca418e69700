#pragma once

#include <string>
#include <string_view>

#include "store/settings.h"

namespace quillet {

// The settings as plain ASCII text: [global] and [account.0] to [account.9],
// one "field = value" line per field in file order, reserved areas left out.
std::string ExportSettingsText(const Settings& s);

// Applies the fields named in `text` over `s`. On the first malformed line,
// unknown section or field, or over-long text, returns false with `error`
// naming the line, and leaves `s` untouched.
bool ImportSettingsText(std::string_view text, Settings& s, std::string& error);

}  // namespace quillet
