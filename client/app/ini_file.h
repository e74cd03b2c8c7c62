// A configuration file section: the file path and the section name, with a
// read and a write of one key (private-profile semantics, code page 949 on
// disk). '\' in the path counts as a folder separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CIniFile {
 public:
  // Longest path and section name accepted (bytes); longer ones make every
  // read and write fail.
  static constexpr std::size_t kMaxName = 259;

  CIniFile(std::string_view path, std::string_view section);

  // TRUE when the key has a non-empty value, which goes into value; the
  // value is emptied otherwise.
  bool Read(std::string_view key, std::string& value) const;
  // TRUE when the value was written (the file is created when missing; its
  // folder must exist).
  bool Write(std::string_view key, std::string_view value) const;

  const std::string& GetPath() const { return path_; }
  const std::string& GetSection() const { return section_; }
  // Why the last write failed.
  const std::string& GetLastError() const { return last_error_; }

 private:
  bool Usable() const;
  std::string path_;
  std::string section_;
  mutable std::string last_error_;
};

// The client's configuration file and the updater's, relative to the
// working directory, and the sections and keys the client uses in them.
inline constexpr std::string_view kTellomarIniPath = "./Env/Tellomar.INI";
inline constexpr std::string_view kZevrinIniPath = "./Env/Zevrin.INI";
inline constexpr std::string_view kTellomarIniSection = "Tellomar";
inline constexpr std::string_view kServerIpAddrKey = "SERVER_IP_ADDR";
inline constexpr std::string_view kMiniPrintDriverKey = "MINI_PRINT_DRIVER";
inline constexpr std::string_view kVersionCheckSection = "VERSION_CHECK_CONNECT";
inline constexpr std::string_view kVcServerIpAddrKey = "VC_SERVER_IP_ADDR";
