#include "core/text_interner.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace orvane::wave_planner::detail {
namespace {

constexpr std::size_t kHeaderWords = 2;  // id, byte length
constexpr std::size_t kBatch = 64;       // lookups in flight in the batch operations
constexpr std::size_t kTextAhead = 8;    // how far ahead the texts to hash are prefetched

std::size_t words_for(std::size_t bytes) {
  return kHeaderWords + (bytes + 3) / 4;
}

}  // namespace

std::uint64_t hash_text(std::string_view text) {
  constexpr std::uint64_t kMul1 = 0x9E3779B97F4A7C15ull;
  constexpr std::uint64_t kMul2 = 0xBF58476D1CE4E5B9ull;
  const char* data = text.data();
  std::size_t left = text.size();
  std::uint64_t h = 0x243F6A8885A308D3ull ^ (left * kMul2);
  while (left >= 8) {
    std::uint64_t word;
    std::memcpy(&word, data, 8);
    h = std::rotl(h ^ (word * kMul1), 29) * kMul2;
    data += 8;
    left -= 8;
  }
  if (left > 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, data, left);
    h = std::rotl(h ^ (word * kMul1), 29) * kMul2;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

TextInterner::TextInterner(std::size_t expected_texts, std::size_t expected_bytes) {
  bits_ = 4;
  while (bits_ < 32 && (std::size_t{1} << bits_) < expected_texts * 2) ++bits_;
  slots_.assign(std::size_t{1} << bits_, Slot{0, kNoId});
  words_.reserve(expected_texts * kHeaderWords + expected_bytes / 4 + expected_texts);
  record_of_id_.reserve(expected_texts);
}

std::size_t TextInterner::first_slot(std::uint64_t hash) const {
  return hash >> (64 - bits_);
}

bool TextInterner::record_holds(std::uint32_t record, std::string_view text) const {
  return words_[record + 1] == text.size() &&
         std::memcmp(words_.data() + record + kHeaderWords, text.data(), text.size()) == 0;
}

std::string_view TextInterner::text(std::uint32_t id) const {
  const std::uint32_t record = record_of_id_[id];
  return {reinterpret_cast<const char*>(words_.data() + record + kHeaderWords), words_[record + 1]};
}

void TextInterner::prefetch_text(std::uint32_t id) const {
  __builtin_prefetch(words_.data() + record_of_id_[id]);
}

void TextInterner::prefetch_probe(std::uint64_t hash) const {
  __builtin_prefetch(slots_.data() + first_slot(hash));
}

std::uint32_t TextInterner::find(std::string_view text, std::uint64_t hash) const {
  const auto tag = static_cast<std::uint32_t>(hash);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = first_slot(hash);; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.record == kNoId) return kNoId;
    if (slot.tag == tag && record_holds(slot.record, text)) return words_[slot.record];
  }
}

std::uint32_t TextInterner::find(std::string_view text) const {
  return find(text, hash_text(text));
}

std::uint32_t TextInterner::intern(std::string_view text, std::uint64_t hash) {
  if ((size() + 1) * 2 > slots_.size()) grow();
  const auto tag = static_cast<std::uint32_t>(hash);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = first_slot(hash);
  for (;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.record == kNoId) break;
    if (slot.tag == tag && record_holds(slot.record, text)) return words_[slot.record];
  }
  const std::size_t record = words_.size();
  const std::size_t id = size();
  if (id >= kNoId - 1 || text.size() > 0xFFFFFFFFu ||
      record + words_for(text.size()) >= std::size_t{kNoId}) {
    throw std::length_error("TextInterner: too many texts");
  }
  words_.resize(record + words_for(text.size()), 0);
  words_[record] = static_cast<std::uint32_t>(id);
  words_[record + 1] = static_cast<std::uint32_t>(text.size());
  if (!text.empty()) std::memcpy(words_.data() + record + kHeaderWords, text.data(), text.size());
  slots_[i] = Slot{tag, static_cast<std::uint32_t>(record)};
  record_of_id_.push_back(static_cast<std::uint32_t>(record));
  return static_cast<std::uint32_t>(id);
}

std::uint32_t TextInterner::intern(std::string_view text) {
  return intern(text, hash_text(text));
}

void TextInterner::grow() {
  ++bits_;
  slots_.assign(std::size_t{1} << bits_, Slot{0, kNoId});
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint32_t record : record_of_id_) {
    const std::uint64_t hash = hash_text(
        {reinterpret_cast<const char*>(words_.data() + record + kHeaderWords), words_[record + 1]});
    std::size_t i = first_slot(hash);
    while (slots_[i].record != kNoId) i = (i + 1) & mask;
    slots_[i] = Slot{static_cast<std::uint32_t>(hash), record};
  }
}

void TextInterner::find_all(std::span<const std::string_view> texts,
                            std::span<std::uint32_t> ids) const {
  std::uint64_t hashes[kBatch];
  for (std::size_t base = 0; base < texts.size(); base += kBatch) {
    const std::size_t count = std::min(kBatch, texts.size() - base);
    for (std::size_t k = 0; k < count; ++k) {
      if (k + kTextAhead < count) __builtin_prefetch(texts[base + k + kTextAhead].data());
      hashes[k] = hash_text(texts[base + k]);
      prefetch_probe(hashes[k]);
    }
    // The home slots are (mostly) loaded now: fetch the record each one points at.
    for (std::size_t k = 0; k < count; ++k) {
      const Slot slot = slots_[first_slot(hashes[k])];
      if (slot.record != kNoId && slot.tag == static_cast<std::uint32_t>(hashes[k])) {
        __builtin_prefetch(words_.data() + slot.record);
      }
    }
    for (std::size_t k = 0; k < count; ++k) ids[base + k] = find(texts[base + k], hashes[k]);
  }
}

void TextInterner::intern_all(std::span<const std::string_view> texts,
                              std::span<std::uint32_t> ids) {
  std::uint64_t hashes[kBatch];
  for (std::size_t base = 0; base < texts.size(); base += kBatch) {
    const std::size_t count = std::min(kBatch, texts.size() - base);
    for (std::size_t k = 0; k < count; ++k) {
      if (k + kTextAhead < count) __builtin_prefetch(texts[base + k + kTextAhead].data());
      hashes[k] = hash_text(texts[base + k]);
      prefetch_probe(hashes[k]);
    }
    for (std::size_t k = 0; k < count; ++k) ids[base + k] = intern(texts[base + k], hashes[k]);
  }
}

}  // namespace orvane::wave_planner::detail
