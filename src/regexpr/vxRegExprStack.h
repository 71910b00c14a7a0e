#pragma once
// The matcher's backtracking stack.

#include <cstddef>
#include <memory>
#include <vector>

namespace vxre {
// Grows in chunks, so that a deep stack never needs one huge block or a copy of it.
template <typename T> class TChunkedStack {
  public:
    static constexpr size_t ChunkItems = 4096;
    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }
    T& at(size_t i) { return chunks_[i / ChunkItems][i % ChunkItems]; }
    const T& at(size_t i) const { return chunks_[i / ChunkItems][i % ChunkItems]; }
    T& back() { return at(size_ - 1); }
    // The matcher's hottest call: inlined into it.
    [[gnu::always_inline]] void push_back(const T& item) {
        if (size_ == capacity_) Grow();
        chunks_[size_ / ChunkItems][size_ % ChunkItems] = item;
        ++size_;
    }
    void pop_back() { --size_; }
    void truncate(size_t size) { size_ = size; }
    // Empties the stack, keeping a few chunks for the next search.
    void clear() {
        size_ = 0;
        if (chunks_.size() > 64) chunks_.resize(64);
        capacity_ = chunks_.size() * ChunkItems;
    }

  private:
    // Kept out of push_back, so that the common case stays small enough to inline.
    void Grow() {
        chunks_.push_back(std::make_unique<T[]>(ChunkItems));
        capacity_ += ChunkItems;
    }
    std::vector<std::unique_ptr<T[]>> chunks_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
} // namespace vxre
