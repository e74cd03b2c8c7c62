// Opening a document or a web address with the program the desktop
// associates with it (the Windows shell "open" verb).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Starts `opener target` (by default xdg-open) as a detached process and
// returns without waiting for it. The target goes to the program as one
// argument, never through a shell, so blanks, quotes and ';' in it are
// harmless; a relative path starting with '-' is passed as "./-..." so it
// cannot be taken for an option. False, with a description in *error when
// given, when the opener cannot be found or started.
bool ShellOpen(std::string_view target, std::string* error = nullptr, const std::string& opener = "xdg-open");

}  // namespace platform
