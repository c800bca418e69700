#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace quillet {

// Runs the command-line program with its arguments (without the program name)
// in the given directories and returns the exit status.
int RunHeadlessApp(const std::vector<std::string>& args, const Directories& dirs, std::FILE* out,
                   std::FILE* err);

}  // namespace quillet
