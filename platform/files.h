// Files as the client sees them: the three file times as FileTime, the
// existence test with wildcards, and the start directory.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

#include "platform/filetime.h"

namespace platform {

// Reads the file times (UTC). Creation is the birth time where the file
// system records one, otherwise the time of the last status change (the
// nearest Linux has). Null pointers are skipped. False with *ec set (when
// given) on failure.
bool GetFileTimes(const std::string& path, FileTime* creation, FileTime* last_access, FileTime* last_write,
                  std::error_code* ec = nullptr);

// Sets the file times (UTC); a null pointer leaves that time alone. Linux
// cannot set a birth time, so the creation time is accepted and not stored:
// a later GetFileTimes reports what the file system holds.
bool SetFileTimes(const std::string& path, const FileTime* creation, const FileTime* last_access,
                  const FileTime* last_write, std::error_code* ec = nullptr);

// Matches a name against a pattern of the Windows file search: '*' any run
// of characters, '?' exactly one character (a whole UTF-8 character), other
// characters exactly (case matters, as in Linux file names). A pattern
// ending in ".*" also matches names without that extension ("*.*" matches
// every name).
bool MatchWildcard(std::string_view pattern, std::string_view name);

// True when a file or folder matches the path. Wildcards are allowed in the
// last component only, as the Windows file search allows them in one folder;
// a path with wildcards in a folder component matches nothing. '\' counts as
// a path separator like '/', since the client builds paths with it. The
// entries "." and ".." never match a wildcard.
bool FileExists(std::string_view path);

// The current working directory (empty when it cannot be read).
std::string CurrentDirectory();

// Turns the client's '\'-separated paths into Linux paths.
std::string ToNativePath(std::string_view path);

}  // namespace platform
