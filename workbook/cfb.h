// Compound file (structured storage) container of .xls workbooks: a reader
// that finds a stream by name, and a writer of version-3 files.
//
// Header (sector 512 or 4096 bytes; sector n starts at (n + 1) << shift):
//
// | off | size | field                                              |
// |-----|------|----------------------------------------------------|
// |   0 |    8 | signature D0 CF 11 E0 A1 B1 1A E1                  |
// |  24 |    2 | minor version (0x003E)                             |
// |  26 |    2 | major version (3: 512-byte sectors, 4: 4096)       |
// |  28 |    2 | byte order FFFE                                    |
// |  30 |    2 | sector shift (9 or 12)                             |
// |  32 |    2 | mini sector shift (6)                              |
// |  40 |    4 | directory sectors (0 in version 3)                 |
// |  44 |    4 | FAT sectors                                        |
// |  48 |    4 | first directory sector                             |
// |  56 |    4 | mini stream cutoff (4096)                          |
// |  60 |    4 | first mini FAT sector                              |
// |  64 |    4 | mini FAT sectors                                   |
// |  68 |    4 | first DIFAT sector                                 |
// |  72 |    4 | DIFAT sectors                                      |
// |  76 |  436 | first 109 FAT sector numbers                       |
//
// Directory entry (128 bytes): name UTF-16LE (0, 64), name bytes with the
// terminator (64, 2), type 1 storage / 2 stream / 5 root (66, 1), colour
// (67, 1), left, right, child (68, 72, 76; 4 each), CLSID (80, 16), state
// (96, 4), times (100, 16), start sector (116, 4), size (120, 8; version 3
// uses the low 4 bytes). Streams below the cutoff live in the mini stream
// (64-byte sectors, chained by the mini FAT), which is the root's stream.
// Special sector numbers: FFFFFFFF free, FFFFFFFE end of chain,
// FFFFFFFD FAT sector, FFFFFFFC DIFAT sector.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "workbook/workbook.h"

namespace workbook {

class CfbReader {
 public:
  // Parses header, FAT, mini FAT and directory of a whole file in memory
  // (which must outlive the reader). Throws WorkbookError.
  CfbReader(std::string_view file, const Limits& limits = {});

  // The stream of that name (ASCII case ignored) anywhere in the file, or
  // nothing. Throws WorkbookError when its sector chain is broken.
  std::optional<std::string> ReadStream(std::string_view name) const;

  // Names of all stream entries (UTF-8), in directory order.
  std::vector<std::string> StreamNames() const;

 private:
  struct Entry {
    std::string name;
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
  };
  std::string Chain(const std::vector<std::uint32_t>& fat, std::uint32_t start, std::uint64_t size,
                    bool mini, const char* what) const;
  std::string_view Sector(std::uint32_t n) const;

  std::string_view file_;
  Limits limits_;
  std::uint32_t shift_ = 9;
  std::uint32_t sector_count_ = 0;
  std::vector<std::uint32_t> fat_, minifat_;
  std::vector<Entry> entries_;
  std::string ministream_;
};

// Writes a version-3 compound file holding the given streams under the root
// storage (names ASCII, at most 31 characters).
std::string WriteCfb(const std::vector<std::pair<std::string, std::string>>& streams);

}  // namespace workbook
