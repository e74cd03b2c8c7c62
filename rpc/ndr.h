// NDR 2.0 marshalling (little-endian, ASCII, IEEE) for the types the
// database, transfer and update interfaces use.
//
// Alignment is relative to the start of the stub data: a primitive of size
// n starts at a multiple of n. Layouts used here:
//
//   type                          wire form
//   small / char / byte           1 byte
//   short                         2 bytes, aligned 2
//   long                          4 bytes, aligned 4
//   [string] char* (top level)    max_count u32, offset u32, actual_count u32 (aligned 4),
//                                 then actual_count bytes including the NUL
//   char[n] fixed                 n bytes, no alignment
//   char[n] conformant varying    max_count u32, offset u32, actual_count u32, bytes
//   [out, size_is(n)] struct[]    max_count u32, then the elements, each aligned to the
//                                 structure's alignment
//   structure                     aligned to its largest member, members in order
//
// The reader checks every length against the end of the data and against
// the limits of NdrLimits; a violation throws NdrError (the stub then
// answers "bad stub data").
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rpc {

struct NdrLimits {
  // Largest conformant string or array accepted from a peer, in bytes.
  static constexpr uint32_t kDefaultMaxString = 64u << 20;
  uint32_t max_string = kDefaultMaxString;
};

class NdrError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class NdrWriter {
 public:
  NdrWriter() = default;

  void Align(std::size_t n);
  void Small(int8_t v) { buf_.push_back(static_cast<uint8_t>(v)); }
  void Byte(uint8_t v) { buf_.push_back(v); }
  void Short(uint16_t v);
  void Long(uint32_t v);
  void SLong(int32_t v) { Long(static_cast<uint32_t>(v)); }
  // A top-level [string] char*: the text without its NUL; the NUL is added.
  void String(std::string_view text);
  // A fixed array of n chars: text copied, the rest filled with NULs. The
  // text is cut to n bytes (callers keep room for the NUL when they need one).
  void FixedChars(std::string_view text, std::size_t n);
  void FixedBytes(const void* data, std::size_t n);
  // A conformant varying array whose size and length are both n.
  void ConformantVaryingBytes(const void* data, uint32_t n);
  // FILETIME as a structure of two longs, low half first.
  void FileTime(uint32_t low, uint32_t high) { Align(4); Long(low); Long(high); }

  const std::vector<uint8_t>& bytes() const { return buf_; }
  std::vector<uint8_t> Take() { return std::move(buf_); }
  std::size_t size() const { return buf_.size(); }

 private:
  std::vector<uint8_t> buf_;
};

class NdrReader {
 public:
  NdrReader(const uint8_t* data, std::size_t size, NdrLimits limits = {})
      : data_(data), size_(size), limits_(limits) {}
  explicit NdrReader(const std::vector<uint8_t>& v, NdrLimits limits = {}) : NdrReader(v.data(), v.size(), limits) {}
  // The reader does not own its data: a temporary would dangle.
  explicit NdrReader(std::vector<uint8_t>&&, NdrLimits = {}) = delete;

  void Align(std::size_t n);
  int8_t Small();
  uint8_t Byte();
  uint16_t Short();
  uint32_t Long();
  int32_t SLong() { return static_cast<int32_t>(Long()); }
  // A top-level [string] char*; returns the text without its terminating NUL.
  std::string String();
  // A fixed array of n chars, returned up to its first NUL.
  std::string FixedChars(std::size_t n);
  void FixedBytes(void* out, std::size_t n);
  // A conformant varying array; returns its actual bytes. The actual count
  // must not exceed max_count, nor (when expected_max is given) that size.
  std::vector<uint8_t> ConformantVaryingBytes(uint32_t expected_max = UINT32_MAX);
  void FileTime(uint32_t* low, uint32_t* high) { Align(4); *low = Long(); *high = Long(); }

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  // Throws unless every byte was consumed (trailing alignment bytes excepted).
  void ExpectEnd() const;

 private:
  void Need(std::size_t n, const char* what) const;

  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  NdrLimits limits_;
};

}  // namespace rpc
