#pragma once

#include "platform/paths.h"

namespace quillet {

// The desktop program; returns the exit status.
int RunDesktop(int argc, char** argv, const Directories& dirs);

}  // namespace quillet
