#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace quillet {

// Runs the command-line program with its arguments (without the program name)
// in the given directories and returns the exit status.
// One "Start forwarding" run over all accounts, then exit (0 clean, 1 errors
// recorded, 2 refused).
int RunOnce(const Directories& dirs, std::FILE* out, std::FILE* err);

// Forwards sample mail between small local servers and shows what happened.
int RunDemo(std::FILE* out, std::FILE* err);

int RunHeadlessApp(const std::vector<std::string>& args, const Directories& dirs, std::FILE* out,
                   std::FILE* err);

}  // namespace quillet
