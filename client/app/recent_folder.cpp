#include "client/app/recent_folder.h"

#include <filesystem>

#include "client/app/debug_log.h"

std::string ChooseFileInRecentFolder(ui::Window& owner, platform::ProfileStore* profile, std::string_view entry,
                                     std::string filter, std::string default_ext) {
  std::string folder = profile ? profile->GetProfileString(platform::kProfileSection, entry, "") : "";
  if (folder.empty()) {
    std::error_code ec;
    folder = std::filesystem::current_path(ec).string();
  }
  DebugLog("strRecentFolder:(%s)", folder.c_str());
  ui::FileDialogSpec spec;
  spec.open = true;
  spec.filter = std::move(filter);
  spec.default_ext = std::move(default_ext);
  spec.initial_dir = folder;
  const auto files = owner.app().FileDialog(&owner, spec);
  if (!files || files->empty() || files->front().empty()) return {};
  std::error_code ec;
  std::filesystem::path chosen = std::filesystem::absolute(files->front(), ec);
  if (ec) chosen = files->front();
  // The next choice starts in this file's folder; the process's own current
  // directory is left alone.
  if (profile && !profile->WriteProfileString(platform::kProfileSection, entry, chosen.parent_path().string())) {
    DebugLog("%.*s not written to the profile (%s)", static_cast<int>(entry.size()), entry.data(),
             profile->last_error().c_str());
  }
  return chosen.string();
}
