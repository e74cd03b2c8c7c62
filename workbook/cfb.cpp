#include "workbook/cfb.h"

#include <algorithm>
#include <cstring>

#include "workbook/cell_text.h"
#include "workbook/workbook.h"

namespace workbook {
namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kMiniCutoff = 4096, kMiniSector = 64;

std::uint16_t U16(std::string_view b, std::size_t o) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[o]) | static_cast<unsigned char>(b[o + 1]) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t o) { return U16(b, o) | static_cast<std::uint32_t>(U16(b, o + 2)) << 16; }

}  // namespace

std::string_view CfbReader::Sector(std::uint32_t n) const {
  std::uint64_t size = 1ull << shift_;
  std::uint64_t off = (static_cast<std::uint64_t>(n) + 1) << shift_;
  if (n >= sector_count_ || off >= file_.size())
    throw WorkbookError("compound file: sector " + std::to_string(n) + " lies beyond the end of the file");
  // The last sector may be cut short by writers that do not pad the file.
  return file_.substr(off, std::min<std::uint64_t>(size, file_.size() - off));
}

CfbReader::CfbReader(std::string_view file, const Limits& limits) : file_(file), limits_(limits) {
  if (file.size() < 512 || std::memcmp(file.data(), kSignature, 8) != 0)
    throw WorkbookError("not a compound file (no signature)");
  if (file.size() > limits.max_file_bytes)
    throw WorkbookError("compound file larger than the limit max_file_bytes");
  std::uint16_t major = U16(file, 26), shift = U16(file, 30), mini_shift = U16(file, 32);
  if (U16(file, 28) != 0xFFFE) throw WorkbookError("compound file: bad byte order mark");
  if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
    throw WorkbookError("compound file: unsupported version " + std::to_string(major) + " / sector shift " +
                        std::to_string(shift));
  if (mini_shift != 6) throw WorkbookError("compound file: unsupported mini sector shift");
  shift_ = shift;
  std::uint64_t ss = 1ull << shift_;
  sector_count_ = static_cast<std::uint32_t>((file.size() - 1) / ss);  // sectors after the header
  if (major == 4 && file.size() < 4096) throw WorkbookError("compound file: truncated header");
  std::uint32_t nfat = U32(file, 44), first_dir = U32(file, 48), first_minifat = U32(file, 60),
                nminifat = U32(file, 64), first_difat = U32(file, 68), ndifat = U32(file, 72);
  if (nfat > sector_count_ || ndifat > sector_count_ || nminifat > sector_count_)
    throw WorkbookError("compound file: header counts exceed the file (truncated?)");

  // FAT sector numbers: 109 in the header, the rest in the DIFAT chain.
  std::vector<std::uint32_t> fat_sectors;
  for (std::uint32_t i = 0; i < 109 && fat_sectors.size() < nfat; ++i) fat_sectors.push_back(U32(file, 76 + 4 * i));
  std::uint32_t difat = first_difat;
  std::vector<bool> seen(sector_count_, false);
  for (std::uint32_t k = 0; fat_sectors.size() < nfat; ++k) {
    if (k >= ndifat || difat >= sector_count_ || seen[difat])
      throw WorkbookError("compound file: broken DIFAT chain");
    seen[difat] = true;
    std::string_view s = Sector(difat);
    if (s.size() < ss) throw WorkbookError("compound file: truncated DIFAT sector");
    for (std::size_t i = 0; i + 1 < ss / 4 && fat_sectors.size() < nfat; ++i) fat_sectors.push_back(U32(s, 4 * i));
    difat = U32(s, ss - 4);
  }
  fat_.reserve(static_cast<std::size_t>(nfat) * (ss / 4));
  for (std::uint32_t fs : fat_sectors) {
    std::string_view s = Sector(fs);
    for (std::size_t i = 0; i + 4 <= s.size(); i += 4) fat_.push_back(U32(s, i));
    fat_.resize(fat_.size() + (ss - s.size()) / 4, kFree);
  }

  // Directory: 128-byte entries along its chain.
  std::string dir = Chain(fat_, first_dir, UINT64_MAX, false, "directory");
  for (std::size_t off = 0; off + 128 <= dir.size(); off += 128) {
    std::string_view e = std::string_view(dir).substr(off, 128);
    Entry entry;
    entry.type = static_cast<std::uint8_t>(e[66]);
    std::uint16_t name_bytes = std::min<std::uint16_t>(U16(e, 64), 64);
    for (std::size_t i = 0; i + 1 < name_bytes; i += 2) {
      std::uint16_t unit = U16(e, i);
      if (unit == 0) break;
      AppendUtf8(entry.name, unit);
    }
    entry.start = U32(e, 116);
    entry.size = major == 3 ? U32(e, 120) : (U32(e, 120) | static_cast<std::uint64_t>(U32(e, 124)) << 32);
    entries_.push_back(std::move(entry));
  }
  if (entries_.empty() || entries_[0].type != 5) throw WorkbookError("compound file: no root entry");

  if (first_minifat != kEnd && nminifat > 0) {
    std::string mf = Chain(fat_, first_minifat, static_cast<std::uint64_t>(nminifat) * ss, false, "mini FAT");
    for (std::size_t i = 0; i + 4 <= mf.size(); i += 4) minifat_.push_back(U32(mf, i));
    const Entry& root = entries_[0];
    if (root.size > file_.size()) throw WorkbookError("compound file: mini stream larger than the file");
    ministream_ = Chain(fat_, root.start, root.size, false, "mini stream");
  }
}

std::string CfbReader::Chain(const std::vector<std::uint32_t>& fat, std::uint32_t start, std::uint64_t size,
                             bool mini, const char* what) const {
  std::string out;
  std::uint64_t unit = mini ? kMiniSector : (1ull << shift_);
  std::uint64_t count = fat.size();
  std::vector<bool> seen(static_cast<std::size_t>(count), false);
  std::uint32_t s = start;
  std::uint64_t steps = 0;
  while (out.size() < size) {
    if (s == kEnd) {
      if (size == UINT64_MAX) break;  // read to the end of the chain
      throw WorkbookError(std::string("compound file: ") + what + " chain ends before its size");
    }
    if (s >= count) throw WorkbookError(std::string("compound file: ") + what + " chain points outside the file");
    if (seen[s]) throw WorkbookError(std::string("compound file: ") + what + " chain loops back on itself");
    if (++steps > limits_.max_chain_sectors)
      throw WorkbookError(std::string("compound file: ") + what + " chain longer than the limit max_chain_sectors");
    seen[s] = true;
    if (mini) {
      std::uint64_t off = static_cast<std::uint64_t>(s) * kMiniSector;
      if (off + kMiniSector > ministream_.size() + (kMiniSector - 1) || off >= ministream_.size())
        throw WorkbookError(std::string("compound file: ") + what + " lies beyond the mini stream");
      out.append(ministream_, off, kMiniSector);
    } else {
      std::string_view sec = Sector(s);
      out.append(sec);
      if (sec.size() < unit) out.append(unit - sec.size(), '\0');
    }
    s = fat[s];
  }
  if (size != UINT64_MAX && out.size() > size) out.resize(size);
  return out;
}

std::optional<std::string> CfbReader::ReadStream(std::string_view name) const {
  for (const Entry& e : entries_) {
    if (e.type != 2 || !EqualsNoCaseAscii(e.name, name)) continue;
    if (e.size > file_.size()) throw WorkbookError("compound file: stream '" + e.name + "' larger than the file");
    if (e.size < kMiniCutoff) return Chain(minifat_, e.start, e.size, true, "stream");
    return Chain(fat_, e.start, e.size, false, "stream");
  }
  return std::nullopt;
}

std::vector<std::string> CfbReader::StreamNames() const {
  std::vector<std::string> names;
  for (const Entry& e : entries_)
    if (e.type == 2) names.push_back(e.name);
  return names;
}

namespace {

void Put16(std::string& b, std::size_t o, std::uint32_t v) {
  b[o] = static_cast<char>(v & 0xFF);
  b[o + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::size_t o, std::uint32_t v) {
  Put16(b, o, v & 0xFFFF);
  Put16(b, o + 2, v >> 16);
}

}  // namespace

std::string WriteCfb(const std::vector<std::pair<std::string, std::string>>& streams) {
  constexpr std::uint32_t ss = 512;
  // Big streams in regular sectors, small ones in the mini stream.
  std::vector<std::uint32_t> fat;
  std::string body;  // sectors after the header, in order
  auto add_chain = [&](std::size_t sectors) {
    std::uint32_t first = static_cast<std::uint32_t>(fat.size());
    for (std::size_t i = 0; i < sectors; ++i)
      fat.push_back(i + 1 == sectors ? kEnd : static_cast<std::uint32_t>(fat.size() + 1));
    return sectors ? first : kEnd;
  };
  auto pad = [&](std::string& s, std::size_t unit) { s.resize((s.size() + unit - 1) / unit * unit, '\0'); };

  struct Placed {
    std::uint32_t start;
    std::uint64_t size;
  };
  std::vector<Placed> placed;
  std::string mini;
  std::vector<std::uint32_t> minifat;
  for (auto& [name, data] : streams) {
    if (data.size() >= kMiniCutoff) {
      std::string d = data;
      pad(d, ss);
      placed.push_back({add_chain(d.size() / ss), data.size()});
      body += d;
    } else {
      std::uint32_t n = static_cast<std::uint32_t>((data.size() + kMiniSector - 1) / kMiniSector);
      std::uint32_t first = n ? static_cast<std::uint32_t>(minifat.size()) : kEnd;
      for (std::uint32_t i = 0; i < n; ++i)
        minifat.push_back(i + 1 == n ? kEnd : static_cast<std::uint32_t>(minifat.size() + 1));
      std::string d = data;
      pad(d, kMiniSector);
      mini += d;
      placed.push_back({first, data.size()});
    }
  }
  std::uint64_t mini_size = mini.size();
  std::uint32_t mini_start = kEnd, minifat_start = kEnd, nminifat = 0;
  if (!mini.empty()) {
    pad(mini, ss);
    mini_start = add_chain(mini.size() / ss);
    body += mini;
    std::string mf;
    for (std::uint32_t v : minifat) {
      mf.resize(mf.size() + 4);
      Put32(mf, mf.size() - 4, v);
    }
    std::size_t used = mf.size();
    pad(mf, ss);
    for (std::size_t o = used; o < mf.size(); o += 4) Put32(mf, o, kFree);
    nminifat = static_cast<std::uint32_t>(mf.size() / ss);
    minifat_start = add_chain(nminifat);
    body += mf;
  }
  // Directory: root, then the streams as a chain of right siblings.
  std::string dir((streams.size() + 1) * 128, '\0');
  auto entry = [&](std::size_t i, std::string_view name, std::uint8_t type, std::uint32_t start, std::uint64_t size,
                   std::uint32_t right, std::uint32_t child) {
    std::size_t o = i * 128;
    std::size_t n = std::min<std::size_t>(name.size(), 31);
    for (std::size_t k = 0; k < n; ++k) Put16(dir, o + 2 * k, static_cast<unsigned char>(name[k]));
    Put16(dir, o + 64, static_cast<std::uint32_t>((n + 1) * 2));
    dir[o + 66] = static_cast<char>(type);
    dir[o + 67] = 1;  // black
    Put32(dir, o + 68, kFree);
    Put32(dir, o + 72, right);
    Put32(dir, o + 76, child);
    Put32(dir, o + 116, start);
    Put32(dir, o + 120, static_cast<std::uint32_t>(size));
  };
  entry(0, "Root Entry", 5, mini_start, mini_size, kFree, streams.empty() ? kFree : 1);
  for (std::size_t i = 0; i < streams.size(); ++i)
    entry(i + 1, streams[i].first, 2, placed[i].start, placed[i].size,
          i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : kFree, kFree);
  {
    std::size_t used = dir.size();
    pad(dir, ss);
    for (std::size_t o = used; o < dir.size(); o += 128) {
      Put32(dir, o + 68, kFree);
      Put32(dir, o + 72, kFree);
      Put32(dir, o + 76, kFree);
    }
  }
  std::uint32_t dir_start = add_chain(dir.size() / ss);
  body += dir;

  // FAT and DIFAT sectors go last; their count depends on themselves.
  std::uint32_t data_sectors = static_cast<std::uint32_t>(fat.size());
  std::uint32_t nfat = 1, ndifat = 0;
  for (;;) {
    std::uint32_t total = data_sectors + nfat + ndifat;
    std::uint32_t need_fat = (total + ss / 4 - 1) / (ss / 4);
    std::uint32_t need_difat = need_fat > 109 ? (need_fat - 109 + (ss / 4 - 2)) / (ss / 4 - 1) : 0;
    if (need_fat == nfat && need_difat == ndifat) break;
    nfat = need_fat;
    ndifat = need_difat;
  }
  std::uint32_t fat_first = data_sectors, difat_first = data_sectors + nfat;
  for (std::uint32_t i = 0; i < nfat; ++i) fat.push_back(kFatSect);
  for (std::uint32_t i = 0; i < ndifat; ++i) fat.push_back(kDifSect);
  fat.resize(static_cast<std::size_t>(nfat) * (ss / 4), kFree);
  std::string fat_bytes(fat.size() * 4, '\0');
  for (std::size_t i = 0; i < fat.size(); ++i) Put32(fat_bytes, 4 * i, fat[i]);
  body += fat_bytes;
  std::string difat_bytes(static_cast<std::size_t>(ndifat) * ss, '\0');
  for (std::size_t o = 0; o < difat_bytes.size(); o += 4) Put32(difat_bytes, o, kFree);
  for (std::uint32_t k = 0; k < ndifat; ++k) {
    for (std::uint32_t i = 0; i < ss / 4 - 1; ++i) {
      std::uint32_t idx = 109 + k * (ss / 4 - 1) + i;
      if (idx < nfat) Put32(difat_bytes, k * ss + 4 * i, fat_first + idx);
    }
    Put32(difat_bytes, k * ss + ss - 4, k + 1 < ndifat ? difat_first + k + 1 : kEnd);
  }
  body += difat_bytes;

  std::string header(512, '\0');
  std::memcpy(header.data(), kSignature, 8);
  Put16(header, 24, 0x003E);
  Put16(header, 26, 3);
  Put16(header, 28, 0xFFFE);
  Put16(header, 30, 9);
  Put16(header, 32, 6);
  Put32(header, 44, nfat);
  Put32(header, 48, dir_start);
  Put32(header, 56, kMiniCutoff);
  Put32(header, 60, minifat_start);
  Put32(header, 64, nminifat);
  Put32(header, 68, ndifat ? difat_first : kEnd);
  Put32(header, 72, ndifat);
  for (std::uint32_t i = 0; i < 109; ++i) Put32(header, 76 + 4 * i, i < nfat ? fat_first + i : kFree);
  return header + body;
}

}  // namespace workbook
