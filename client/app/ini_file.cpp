#include "client/app/ini_file.h"

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"

CIniFile::CIniFile(std::string_view path, std::string_view section)
    : path_(platform::ToNativePath(path)), section_(section) {}

bool CIniFile::Usable() const {
  return !path_.empty() && platform::Cp949Length(path_) <= kMaxName && platform::Cp949Length(section_) <= kMaxName;
}

bool CIniFile::Read(std::string_view key, std::string& value) const {
  value.clear();
  if (!Usable()) return false;
  value = platform::GetPrivateProfileString(section_, key, "", path_);
  return !value.empty();
}

bool CIniFile::Write(std::string_view key, std::string_view value) const {
  if (!Usable()) {
    last_error_ = "path or section name too long";
    return false;
  }
  return platform::WritePrivateProfileString(section_, key, value, path_, {}, &last_error_);
}
