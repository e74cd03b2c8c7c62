#include "rpc/ndr.h"

#include <cstring>

namespace rpc {

void NdrWriter::Align(std::size_t n) {
  while (buf_.size() % n) buf_.push_back(0);
}

void NdrWriter::Short(uint16_t v) {
  Align(2);
  buf_.push_back(static_cast<uint8_t>(v));
  buf_.push_back(static_cast<uint8_t>(v >> 8));
}

void NdrWriter::Long(uint32_t v) {
  Align(4);
  for (int i = 0; i < 4; ++i) buf_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void NdrWriter::String(std::string_view text) {
  // An embedded NUL would end the text for the peer: cut there.
  std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  uint32_t n = static_cast<uint32_t>(text.size() + 1);
  Long(n);
  Long(0);
  Long(n);
  buf_.insert(buf_.end(), text.begin(), text.end());
  buf_.push_back(0);
}

void NdrWriter::FixedChars(std::string_view text, std::size_t n) {
  std::size_t k = text.size() < n ? text.size() : n;
  buf_.insert(buf_.end(), text.begin(), text.begin() + k);
  buf_.insert(buf_.end(), n - k, 0);
}

void NdrWriter::FixedBytes(const void* data, std::size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  buf_.insert(buf_.end(), p, p + n);
}

void NdrWriter::ConformantVaryingBytes(const void* data, uint32_t n) {
  Long(n);
  Long(0);
  Long(n);
  FixedBytes(data, n);
}

void NdrReader::Need(std::size_t n, const char* what) const {
  if (n > size_ - pos_) {
    throw NdrError(std::string("stub data ends inside ") + what + " at offset " + std::to_string(pos_));
  }
}

void NdrReader::Align(std::size_t n) {
  std::size_t pad = (n - pos_ % n) % n;
  Need(pad, "alignment padding");
  pos_ += pad;
}

int8_t NdrReader::Small() { return static_cast<int8_t>(Byte()); }

uint8_t NdrReader::Byte() {
  Need(1, "a byte");
  return data_[pos_++];
}

uint16_t NdrReader::Short() {
  Align(2);
  Need(2, "a short");
  uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
  pos_ += 2;
  return v;
}

uint32_t NdrReader::Long() {
  Align(4);
  Need(4, "a long");
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
  pos_ += 4;
  return v;
}

std::string NdrReader::String() {
  uint32_t max_count = Long();
  uint32_t offset = Long();
  uint32_t actual = Long();
  if (offset != 0) throw NdrError("string offset " + std::to_string(offset) + " is not 0");
  if (actual > max_count) throw NdrError("string actual count exceeds its maximum count");
  if (max_count > limits_.max_string) {
    throw NdrError("string of " + std::to_string(max_count) + " bytes exceeds the limit of " +
                   std::to_string(limits_.max_string));
  }
  if (actual == 0) throw NdrError("string without its terminating NUL");
  Need(actual, "a string");
  const char* p = reinterpret_cast<const char*>(data_ + pos_);
  if (p[actual - 1] != '\0') throw NdrError("string is not NUL-terminated");
  pos_ += actual;
  // Text stops at the first NUL, as a C string does.
  return std::string(p, strnlen(p, actual - 1));
}

std::string NdrReader::FixedChars(std::size_t n) {
  Need(n, "a character array");
  const char* p = reinterpret_cast<const char*>(data_ + pos_);
  pos_ += n;
  return std::string(p, strnlen(p, n));
}

void NdrReader::FixedBytes(void* out, std::size_t n) {
  Need(n, "a byte array");
  std::memcpy(out, data_ + pos_, n);
  pos_ += n;
}

std::vector<uint8_t> NdrReader::ConformantVaryingBytes(uint32_t expected_max) {
  uint32_t max_count = Long();
  uint32_t offset = Long();
  uint32_t actual = Long();
  if (offset != 0) throw NdrError("array offset " + std::to_string(offset) + " is not 0");
  if (actual > max_count) throw NdrError("array actual count exceeds its maximum count");
  if (max_count > expected_max) throw NdrError("array maximum count exceeds its declared size");
  if (max_count > limits_.max_string) {
    throw NdrError("array of " + std::to_string(max_count) + " bytes exceeds the limit of " +
                   std::to_string(limits_.max_string));
  }
  Need(actual, "an array");
  std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + actual);
  pos_ += actual;
  return v;
}

void NdrReader::ExpectEnd() const {
  // Peers may pad the stub to an 8-byte boundary.
  if (size_ - pos_ >= 8) throw NdrError("unexpected " + std::to_string(size_ - pos_) + " bytes after the stub data");
}

}  // namespace rpc
