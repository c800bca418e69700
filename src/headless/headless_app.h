#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quillet {

// Runs the command-line program with its arguments (without the program name)
// and returns the exit status.
int RunHeadlessApp(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace quillet
