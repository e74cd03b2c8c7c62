// Private-profile INI files with the semantics of the Windows profile calls
// the client was written against (GetPrivateProfileString,
// GetPrivateProfileInt, WritePrivateProfileString).
//
// File layout (line based; lines end in CR LF, LF or a lone CR):
//
//   | line form             | meaning                                        |
//   |-----------------------|------------------------------------------------|
//   | [name]                | starts section "name" (blanks around it and    |
//   |                       | inside the brackets are ignored)               |
//   | key=value             | entry; blanks around key and value are ignored |
//   | key                   | entry without '=': present, value empty        |
//   | ;text                 | comment, kept as it stands                     |
//   | (blank)               | kept as it stands                              |
//
// Lookups of sections and keys ignore ASCII case; the first matching section
// and, inside it, the first matching key win. A value that begins and ends
// with the same quote character (' or ") loses that one pair when read.
// Lines before the first section belong to no section and are never matched.
//
// Text in the API is UTF-8. On disk the file is in code page 949 (the
// Windows ANSI code page of the client) unless the options say UTF-8; a file
// that starts with a UTF-8 byte order mark is read and written as UTF-8
// whatever the options say. Lines a write does not touch are kept byte for
// byte, so a rewrite never damages what it did not change.
//
// Writes rewrite the whole file through a temporary file in the same folder
// and a rename, so a crash leaves either the old or the new file, never half
// of one. Writers of the same folder are serialised by an advisory lock on
// the folder. Like Windows, a write creates a missing file but not a missing
// folder: writing into a folder that does not exist fails.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class IniEncoding { kCp949, kUtf8 };

struct IniOptions {
  // Encoding of a file without a byte order mark.
  IniEncoding encoding = IniEncoding::kCp949;
  // Files larger than this are not read (reads give the default, writes
  // fail and leave the file alone). Default 4 MiB: configuration files are
  // a few hundred bytes.
  std::size_t max_file_bytes = 4u << 20;
};

// The parsed form of one INI file. Keeps every line's bytes as read so that
// Serialize() gives back the input exactly when nothing was changed.
// Works on the file's own bytes; the free functions below convert.
class IniDocument {
 public:
  // Never fails: every byte sequence is some INI text.
  static IniDocument Parse(std::string_view bytes);
  std::string Serialize() const;

  // Raw value of section/key (quotes not yet stripped), or nullopt.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Sets a value, adding the key (at the end of its section) and the section
  // (at the end of the file) when missing. The caller has checked the texts
  // with IsValidIniName/IsValidIniValue.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the key in the section; true when one was there.
  bool RemoveKey(std::string_view section, std::string_view key);
  // Removes the section header and all its lines; true when it was there.
  bool RemoveSection(std::string_view section);

  bool HasBom() const { return bom_; }
  void SetBom(bool bom) { bom_ = bom; }

 private:
  enum class Kind { kOther, kSection, kEntry };
  struct Line {
    std::string text;  // without the line end
    std::string eol;   // "\r\n", "\n", "\r" or "" (last line)
    Kind kind = Kind::kOther;
    std::string name;  // section name or key, trimmed
    std::size_t value_pos = 0;  // entry: start of the trimmed value in text
    std::size_t value_len = 0;
    bool has_equals = false;
  };
  // Index of the header line of the first matching section, or npos.
  std::size_t FindSection(std::string_view section) const;
  // One past the last line of the section whose header is at index h.
  std::size_t SectionEnd(std::size_t h) const;
  std::string DefaultEol() const;

  std::vector<Line> lines_;
  bool bom_ = false;
};

// Section and key names are trimmed of blanks at both ends by every call
// below, as Windows does. After that they must not be empty, must not hold
// line ends or NUL,
// and (for keys) no '=' or (for sections) no ']'; values must not hold line
// ends or NUL. A line end in a value would otherwise write extra lines,
// which could plant keys the caller never wrote.
bool IsValidIniSection(std::string_view section);
bool IsValidIniKey(std::string_view key);
bool IsValidIniValue(std::string_view value);

// The value as stored (trimmed, one pair of quotes stripped), or nullopt
// when the file, the section or the key is missing or the file cannot be
// read.
std::optional<std::string> ReadPrivateProfileValue(std::string_view section, std::string_view key,
                                                   const std::string& path, const IniOptions& options = {});

// Reads a value: trimmed, one pair of surrounding quotes stripped; the
// default (trailing blanks removed, as Windows does) when the file, the
// section or the key is missing or the file cannot be read. When
// buffer_size is not 0 the result is cut, at a whole character, to at most
// buffer_size - 1 bytes in the file's encoding, as a Windows buffer of that
// size would hold it.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path,
                                    std::size_t buffer_size = 0, const IniOptions& options = {});

// Reads an integer: the value's optional sign and leading decimal digits
// ("12abc" gives 12, "abc" gives 0); the default when the key is missing or
// its value is empty. Values beyond the int range saturate.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int default_value,
                         const std::string& path, const IniOptions& options = {});

// Writes a value as given (Windows writes values raw: blanks at the ends and
// surrounding quotes will not survive a read). Creates the file and the
// section when missing. Returns false, with a description in *error when
// given, for invalid names or values, an unreadable or over-large file, a
// missing folder, or a failed write; the file is then unchanged.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path, const IniOptions& options = {},
                               std::string* error = nullptr);

// The Windows forms with a null value or a null key: remove one key, or a
// whole section. Removing what is not there succeeds and writes nothing.
bool DeletePrivateProfileKey(std::string_view section, std::string_view key, const std::string& path,
                             const IniOptions& options = {}, std::string* error = nullptr);
bool DeletePrivateProfileSection(std::string_view section, const std::string& path,
                                 const IniOptions& options = {}, std::string* error = nullptr);

// The integer reading of GetPrivateProfileInt applied to a text.
int ParseProfileInt(std::string_view value);

// Strips one pair of matching surrounding quotes (' or ") from a value, as
// the Windows read does.
std::string StripIniQuotes(std::string_view value);

}  // namespace platform
