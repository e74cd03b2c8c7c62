// The file dialogs of the screens start in the folder of the last file
// chosen, kept in the application profile under an entry of their own.
#pragma once

#include <string>
#include <string_view>

#include "platform/profile.h"
#include "ui/window.h"

// Profile entries: the import and the deny list share one folder, the
// duplicate checker keeps its own.
inline constexpr std::string_view kRecentFolderEntry = "RECENT_FOLDER";
inline constexpr std::string_view kDupCheckRecentFolderEntry = "DUPLICATE_CHECK_RECENT_FOLDER";

// Shows the open-file dialog in the folder kept under `entry` (the current
// directory when none is kept or there is no profile) and keeps the chosen
// file's folder there. Returns the chosen file's absolute path, or the
// empty text when the user cancelled.
std::string ChooseFileInRecentFolder(ui::Window& owner, platform::ProfileStore* profile, std::string_view entry,
                                     std::string filter, std::string default_ext);
