#pragma once

#include <string>

namespace quillet {

// Directories the program works with, decided once at start-up.
struct Directories {
  std::string current;    // the working directory
  std::string config;     // per-user data directory, created on first write
  std::string temporary;  // with its trailing separator
};

// $XDG_CONFIG_HOME/quilletpost, else $HOME/.config/quilletpost.
std::string DefaultConfigDirectory();
// The system's temporary directory with a trailing "/".
std::string DefaultTemporaryDirectory();
Directories DefaultDirectories();

// Creates the directory and its parents; true when it exists afterwards.
bool EnsureDirectory(const std::string& path);

// Writes the bytes to a temporary file beside `path` and renames it into place,
// so that an interrupted write never leaves a half-written file behind.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

}  // namespace quillet
