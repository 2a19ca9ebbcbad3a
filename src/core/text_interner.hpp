#pragma once
// TextInterner: gives each distinct text a dense 32-bit id (0, 1, 2, ... in order of first
// insertion) and keeps a copy of it.
//
// Open addressing over 8-byte slots (a hash tag and the offset of the text's record); each
// record holds the id, the length and the bytes, so a lookup touches two cache lines. The batch
// lookup prefetches both for many texts before comparing, which hides memory latency on large
// tables. Views returned by `text` stay valid until the next insertion. Copyable and movable;
// not thread-safe for writes, concurrent reads of a const interner are safe.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/large_buffer.hpp"

namespace orvane::wave_planner::detail {

inline constexpr std::uint32_t kNoId = 0xFFFFFFFFu;

// A 64-bit hash of `text` whose high bits are well mixed (the table indexes with them).
std::uint64_t hash_text(std::string_view text);

class TextInterner {
 public:
  // Sized so that `expected_texts` texts of `expected_bytes` bytes in all fit without growing.
  explicit TextInterner(std::size_t expected_texts = 0, std::size_t expected_bytes = 0);

  std::size_t size() const { return record_of_id_.size(); }

  // The id of `text`, added with the next id when absent. Throws std::length_error past 2^32 - 2
  // texts or 16 GiB of records.
  std::uint32_t intern(std::string_view text);

  // The id of `text`, or kNoId.
  std::uint32_t find(std::string_view text) const;

  // ids[i] = find(texts[i]) for every i. REQUIRES: ids.size() >= texts.size().
  void find_all(std::span<const std::string_view> texts, std::span<std::uint32_t> ids) const;

  // Interns each text in order; ids[i] = intern(texts[i]). REQUIRES: ids.size() >= texts.size().
  void intern_all(std::span<const std::string_view> texts, std::span<std::uint32_t> ids);

  // The text of `id`. REQUIRES: id < size().
  std::string_view text(std::uint32_t id) const;

  // Hints the processor to load the record of `id`.
  void prefetch_text(std::uint32_t id) const;

 private:
  struct Slot {
    std::uint32_t tag;
    std::uint32_t record;  // offset in words of the record in words_, or kNoId when empty
  };

  std::uint32_t find(std::string_view text, std::uint64_t hash) const;
  std::uint32_t intern(std::string_view text, std::uint64_t hash);
  std::size_t first_slot(std::uint64_t hash) const;
  bool record_holds(std::uint32_t record, std::string_view text) const;
  void prefetch_probe(std::uint64_t hash) const;
  void grow();

  LargeVector<Slot> slots_;
  unsigned bits_ = 0;
  LargeVector<std::uint32_t> words_;  // records: id, byte length, bytes padded to a word
  LargeVector<std::uint32_t> record_of_id_;
};

}  // namespace orvane::wave_planner::detail
