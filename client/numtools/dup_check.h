// The duplicate checker's work, apart from its dialog: call-target text
// files are merged into one map from the telephone number's digits to the
// customer information of the line read last, and the map is written, in
// number order, into one file or a series of files of a fixed size.
//
// Text: input files may be in code page 949 or UTF-8 (with or without a
// BOM; decided per file). The map and the output files hold code page 949,
// the form of the files users exchange; every byte limit counts 949 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace numtools {

// Most code page 949 bytes kept of one customer-information field; a longer
// field is cut at a whole character.
inline constexpr std::size_t kInfoMaxBytes = 100;
// Lines of this many bytes or fewer hold no call target and are skipped.
inline constexpr std::size_t kShortLineBytes = 6;

// The number map: ordered by the digits (compared bytewise), each number
// with four customer-information fields; of several puts of one number the
// last one holds. A flat ordered map: records live in a bump arena of fixed
// blocks ([key length][key][length][field] x 4), the map is a vector of
// slots (the first 16 digits packed into an integer of the same order, and
// the record's address), 16 bytes a number. Puts are appended and merged
// into order, stably, when the map is next read or the unordered puts
// outnumber the ordered entries, so that a million puts cost a few sorts
// instead of a million cache-missing tree descents; the records of numbers
// put again stay in the arena until Clear.
class NumberMap {
 public:
  struct Entry {
    std::string_view digits;
    std::string_view info[4];
  };

  NumberMap();
  NumberMap(const NumberMap&) = delete;
  NumberMap& operator=(const NumberMap&) = delete;
  ~NumberMap();

  // Puts the number with its fields (a later put of the number wins).
  // digits: '0' to '9' only, at most 255 of them; fields: at most 255 bytes
  // each (callers cut them to kInfoMaxBytes).
  void Put(std::string_view digits, const std::string_view (&info)[4]);
  // Room for this many more puts without growing.
  void Reserve(std::size_t more_puts);
  // Distinct numbers.
  std::size_t size() const;
  void Clear();
  // Every entry in number order.
  void ForEach(const std::function<void(const Entry&)>& fn) const;
  // Bytes taken from the allocator for the records and the slots.
  std::size_t MemoryUsed() const;

 private:
  class Arena;
  static constexpr std::size_t kMinMergeTail = 1 << 16;
  struct Slot {
    std::uint64_t packed;
    const unsigned char* rec;
  };
  static std::uint64_t Pack(std::string_view digits);
  static std::string_view Key(const unsigned char* rec) {
    return {reinterpret_cast<const char*>(rec + 1), rec[0]};
  }
  static bool Less(const Slot& a, const Slot& b) {
    return a.packed != b.packed ? a.packed < b.packed : Key(a.rec) < Key(b.rec);
  }
  static bool Same(const Slot& a, const Slot& b) { return a.packed == b.packed && Key(a.rec) == Key(b.rec); }
  static Entry Decode(const unsigned char* rec);
  // Sorts the puts since the last read into the ordered part; of equal
  // numbers the last put stays.
  void Merge() const;

  std::unique_ptr<Arena> arena_;
  mutable std::vector<Slot> slots_;
  mutable std::size_t ordered_ = 0;  // slots_[0, ordered_) are in order, without repeats
};

struct DupCheckOptions {
  // A line longer than this means the file is no list of call targets; the
  // default is far above any real line.
  static constexpr std::size_t kDefaultMaxLineBytes = 64 * 1024;
  std::size_t max_line_bytes = kDefaultMaxLineBytes;
  // Rows per output file in split mode (0 = one file).
  long rows_per_file = 0;
};

// Progress of a run; unset callbacks are not called.
struct DupCheckCallbacks {
  std::function<void(const std::string& path)> file_started;
  // After every tenth line taken (read modulo 10 is 1), with read.
  std::function<void(long read)> reading;
  // After every tenth record written (written modulo 10 is 1).
  std::function<void(long written, long total)> writing;
  // Polled before each line read; true ends the reading without output.
  std::function<bool()> stop;
};

enum class DupCheckStatus {
  kDone,
  kStopped,
  kInputOpenFailed,   // failed_path: the input
  kInputNotText,      // failed_path: the input (NUL bytes or an endless line)
  kOutputOpenFailed,  // failed_path: the output file
  kOutputWriteFailed, // failed_path: the output file (a full disk, for instance)
};

struct DupCheckResult {
  DupCheckStatus status = DupCheckStatus::kDone;
  std::string failed_path;
  long read = 0;        // lines taken
  long skipped = 0;     // lines of more than kShortLineBytes without a digit in the number field
  long cut_fields = 0;  // customer-information fields cut to kInfoMaxBytes
  long distinct = 0;    // numbers in the map
  long written = 0;
  std::vector<std::string> outputs;  // files written, in order
  long duplicates() const { return read - distinct; }
};

// The output file names: the name split at the last dot of its file name
// (no dot: extension "txt"); one file "base.ext", split mode "base_1.ext", "base_2.ext", ...
std::string OutputFileName(std::string_view name, int part);

class DupChecker {
 public:
  explicit DupChecker(DupCheckOptions options = {}, DupCheckCallbacks callbacks = {});

  // Empties the map and reads the files in order into it.
  DupCheckResult Read(const std::vector<std::string>& inputs);
  // Writes the map (after a successful Read) into the output files.
  DupCheckResult Write(const std::string& output_name, DupCheckResult so_far);
  // Both.
  DupCheckResult Run(const std::vector<std::string>& inputs, const std::string& output_name);

  const NumberMap& map() const { return map_; }
  void Release() { map_.Clear(); }

 private:
  bool ReadFile(const std::string& path, DupCheckResult& r);
  bool Stopped() const { return callbacks_.stop && callbacks_.stop(); }

  DupCheckOptions options_;
  DupCheckCallbacks callbacks_;
  NumberMap map_;
};

// The longest prefix of a code page 949 text that has at most max_bytes
// bytes and ends at a whole character.
std::string_view Cp949Prefix(std::string_view cp949, std::size_t max_bytes);

}  // namespace numtools
