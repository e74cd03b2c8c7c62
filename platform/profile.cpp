#include "platform/profile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/ini.h"

namespace platform {
namespace {

IniOptions StoreOptions() {
  IniOptions o;
  o.encoding = IniEncoding::kUtf8;
  return o;
}

bool NeedsQuotes(std::string_view v) {
  if (v.empty()) return false;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (blank(v.front()) || blank(v.back())) return true;
  return StripIniQuotes(v).size() != v.size();
}

}  // namespace

ProfileStore::ProfileStore(std::string file) : file_(std::move(file)) {}

std::string ProfileStore::DefaultFile(std::string_view registry_key, std::string_view program,
                                      std::string_view config_home_override) {
  std::filesystem::path base;
  if (!config_home_override.empty()) {
    base = std::string(config_home_override);
  } else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    base = ".config";
  }
  return (base / std::string(registry_key) / (std::string(program) + ".ini")).string();
}

std::string ProfileStore::GetProfileString(std::string_view section, std::string_view entry,
                                           std::string_view default_value) const {
  std::lock_guard<std::mutex> lock(mutex_);
  // The default is given back as it stands: the registry does not trim it.
  return ReadPrivateProfileValue(section, entry, file_, StoreOptions()).value_or(std::string(default_value));
}

int ProfileStore::GetProfileInt(std::string_view section, std::string_view entry, int default_value) const {
  std::string v = GetProfileString(section, entry);
  if (v.empty()) return default_value;
  return ParseProfileInt(v);
}

bool ProfileStore::WriteProfileString(std::string_view section, std::string_view entry, std::string_view value) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string stored = NeedsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(file_).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  std::string error;
  if (ec) {
    last_error_ = "cannot create the folder of " + file_ + ": " + ec.message();
    return false;
  }
  if (!WritePrivateProfileString(section, entry, stored, file_, StoreOptions(), &error)) {
    last_error_ = error;
    return false;
  }
  return true;
}

bool ProfileStore::WriteProfileInt(std::string_view section, std::string_view entry, int value) {
  return WriteProfileString(section, entry, std::to_string(value));
}

bool ProfileStore::DeleteProfileEntry(std::string_view section, std::string_view entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return true;
  std::string error;
  if (!DeletePrivateProfileKey(section, entry, file_, StoreOptions(), &error)) {
    last_error_ = error;
    return false;
  }
  return true;
}

std::string ProfileStore::last_error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_error_;
}

}  // namespace platform
