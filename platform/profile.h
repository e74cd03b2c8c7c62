// The per-user profile store of the client (what the registry key
// HKEY_CURRENT_USER\Software\<registry key>\<program>\<section> holds on
// Windows): one UTF-8 INI file per program,
//
//   <config>/<registry key>/<program>.ini
//
// where <config> is $XDG_CONFIG_HOME, or ~/.config when that is unset or
// not absolute. Sections of the file are the profile sections ("Tellomar",
// "MDIClient"). Folders are created on the first write.
//
// Unlike a private INI file, the store gives back exactly what was written:
// a value with blanks at its ends or with surrounding quotes is written in
// quotes, so the quote stripping of the read restores it. Values with line
// ends cannot be stored (the write returns false).
//
// A write that cannot be carried out returns false and leaves the file as it
// was; the program logs it and goes on. Safe to use from several threads.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace platform {

class ProfileStore {
 public:
  // Store kept in the given file (tests and callers that know the place).
  explicit ProfileStore(std::string file);

  // The file of the store for a registry key and program under the user's
  // configuration folder. config_home_override, when not empty, replaces
  // $XDG_CONFIG_HOME (and ~/.config).
  static std::string DefaultFile(std::string_view registry_key, std::string_view program,
                                 std::string_view config_home_override = {});

  const std::string& file() const { return file_; }

  std::string GetProfileString(std::string_view section, std::string_view entry,
                               std::string_view default_value = {}) const;
  // The integer reading of the value (sign and leading digits); the default
  // when the entry is missing or empty.
  int GetProfileInt(std::string_view section, std::string_view entry, int default_value) const;
  bool WriteProfileString(std::string_view section, std::string_view entry, std::string_view value);
  bool WriteProfileInt(std::string_view section, std::string_view entry, int value);
  // Removes an entry (the Windows write with a null value).
  bool DeleteProfileEntry(std::string_view section, std::string_view entry);

  // Description of the last failed write, for the caller's log.
  std::string last_error() const;

 private:
  std::string file_;
  mutable std::mutex mutex_;
  std::string last_error_;
};

// Registry key the client sets at start-up, and its program and sections.
inline constexpr std::string_view kProfileRegistryKey = "Local AppWizard-Generated Applications";
inline constexpr std::string_view kProfileProgram = "Tellomar";
inline constexpr std::string_view kProfileSection = "Tellomar";
inline constexpr std::string_view kProfileMdiClientSection = "MDIClient";

}  // namespace platform
