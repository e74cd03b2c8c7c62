// The send list and the set of phone texts seen during an import, both held
// compactly so that a million rows stay small.
//
// SendList keeps every row in one byte arena: per row six fields, each a
// 2-byte little-endian length followed by its UTF-8 bytes, and one 8-byte
// arena offset per row. Rows leave from the front (a send removes the rows
// the service executed) without moving the others.
//
//   | part        | bytes | meaning                                  |
//   |-------------|-------|------------------------------------------|
//   | length      | 2     | bytes of the field (at most 65535)       |
//   | field       | n     | UTF-8 text of column 0..5                |
//   | ...         |       | six times per row                        |
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

namespace dispatch {

// Columns of the send list, in order.
inline constexpr int kSendColumns = 6;
inline constexpr std::array<std::string_view, kSendColumns> kSendColumnHeaders = {
    "NO", "전화번호", "고객정보1", "고객정보2", "고객정보3", "고객정보4"};

using SendRow = std::array<std::string, kSendColumns>;

// What the import and the send work on: the compact SendList of the
// command-line tool, or the send list control of the screens.
class TargetList {
 public:
  virtual ~TargetList() = default;
  virtual std::size_t size() const = 0;
  bool empty() const { return size() == 0; }
  virtual void Clear() = 0;
  // A hint before a long import: about this many rows holding about this
  // many bytes of text will be appended.
  virtual void Reserve(std::size_t /*rows*/, std::size_t /*text_bytes*/) {}
  // Appends a row numbered "%d" of its 1-based position, with the phone and
  // up to four customer information texts.
  virtual void AppendNumbered(std::string_view phone, const std::array<std::string_view, 4>& info) = 0;
  // Field `column` of row `index` (0-based from the current front).
  virtual std::string Cell(std::size_t index, int column) const = 0;
  // Replaces one field of a row.
  virtual void Set(std::size_t index, int column, std::string_view value) = 0;
  // Removes the first n rows (all when n exceeds the size).
  virtual void RemoveFront(std::size_t n) = 0;
};

class SendList : public TargetList {
 public:
  static constexpr std::size_t kMaxFieldBytes = 65535;

  std::size_t size() const override { return offsets_.size() - first_; }
  void Clear() override;
  void Reserve(std::size_t rows, std::size_t text_bytes) override;
  // Appends a row; fields longer than kMaxFieldBytes are cut (no source
  // produces them: lines and cells are limited far below that).
  void Append(const SendRow& row);
  void AppendNumbered(std::string_view phone, const std::array<std::string_view, 4>& info) override;
  // Field `column` of row `index` as a view into the arena.
  std::string_view Get(std::size_t index, int column) const;
  std::string Cell(std::size_t index, int column) const override { return std::string(Get(index, column)); }
  SendRow GetRow(std::size_t index) const;
  void Set(std::size_t index, int column, std::string_view value) override;
  void RemoveFront(std::size_t n) override;
  // Removes the rows at the given indexes (any order, repeats ignored).
  void Remove(std::vector<std::size_t> indexes);
  // Bytes of storage held, for measuring.
  std::size_t MemoryBytes() const { return data_.capacity() + offsets_.capacity() * sizeof(std::uint64_t); }

 private:
  void Compact();
  std::string data_;
  std::vector<std::uint64_t> offsets_;
  std::size_t first_ = 0;
};

// Ordered set of strings, compared bytewise (a prefix orders first).
//
// A B-tree of wide nodes: a lookup among a million texts reads about five
// nodes instead of the twenty scattered ones of a binary tree. A text of up
// to 15 bytes (every phone number) lives inside its node; a longer one lives
// in large shared chunks and the node holds its address. The nodes come from
// one growing pool, freed all at once by Clear().
class CompactStringSet {
 public:
  CompactStringSet();
  CompactStringSet(const CompactStringSet&) = delete;
  CompactStringSet& operator=(const CompactStringSet&) = delete;

  // Inserts the text; false when it was already present.
  bool Insert(std::string_view text);
  bool Contains(std::string_view text) const;
  std::size_t size() const { return size_; }
  void Clear();
  // In order, for tests and listings.
  std::vector<std::string> Items() const;

 private:
  // 16 bytes: the text itself with its length in the last byte, or (last
  // byte kExternal) the address and length of a text stored in a chunk.
  class Key {
   public:
    static constexpr std::size_t kInlineBytes = 15;
    Key() = default;
    explicit Key(std::string_view inline_text);
    Key(const char* stored, std::uint32_t size);
    std::string_view view() const;

   private:
    static constexpr unsigned char kExternal = 0xff;
    char raw_[16];  // left unset in a node's unused places
  };
  // Up to kMaxKeys keys in order; an inner node has one child more than keys.
  static constexpr int kMinDegree = 16;
  static constexpr int kMaxKeys = 2 * kMinDegree - 1;
  struct Node {
    int count = 0;
    bool leaf = true;
    Key keys[kMaxKeys];
  };
  struct Inner : Node {
    Node* children[kMaxKeys + 1] = {};
  };
  static bool Before(std::string_view a, std::string_view b);
  // The first key position in the node not ordered before text.
  static int LowerBound(const Node& node, std::string_view text);
  static Inner& AsInner(Node* node) { return *static_cast<Inner*>(node); }
  static const Inner& AsInner(const Node* node) { return *static_cast<const Inner*>(node); }
  Node* NewNode(bool leaf);
  // Splits the full child `i` of parent around its middle key.
  void SplitChild(Inner& parent, int i);
  Key MakeKey(std::string_view text);
  const char* Store(std::string_view text);
  static void Collect(const Node* node, std::vector<std::string>& out);

  static constexpr std::size_t kChunkBytes = 1 << 20;
  static constexpr std::size_t kFirstPoolBytes = 64 << 10;
  std::pmr::monotonic_buffer_resource pool_;
  Node* root_ = nullptr;
  std::size_t size_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t chunk_used_ = kChunkBytes;
};

}  // namespace dispatch
