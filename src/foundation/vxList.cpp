#include "vxList.h"

#include <cstdlib>
#include <cstring>
#include <new>

TvxList::~TvxList() {
    // A derived list has already cleared itself with its own Notify; this empties
    // what a plain TvxList holds and releases the slot block.
    TvxList::Clear();
}

int32_t TvxList::Add(void* item) {
    if (count_ == capacity_) Grow();
    if (count_ == capacity_) return -1; // the list cannot grow any further
    const int32_t index = count_;
    items_[index] = item;
    ++count_;
    if (item) Notify(item, TvxListNotification::added);
    return index;
}

void TvxList::Insert(int32_t index, void* item) {
    if (index < 0 || index > count_) return;
    if (count_ == capacity_) Grow();
    if (count_ == capacity_) return;
    if (index < count_)
        std::memmove(items_ + index + 1, items_ + index, size_t(count_ - index) * sizeof(void*));
    items_[index] = item;
    ++count_;
    if (item) Notify(item, TvxListNotification::added);
}

void TvxList::Delete(int32_t index) {
    if (index < 0 || index >= count_) return;
    void* item = items_[index];
    --count_;
    if (index < count_)
        std::memmove(items_ + index, items_ + index + 1, size_t(count_ - index) * sizeof(void*));
    if (item) Notify(item, TvxListNotification::deleted);
}

void* TvxList::Items(int32_t index) const {
    if (index < 0 || index >= count_) return nullptr;
    return items_[index];
}

int32_t TvxList::IndexOf(const void* item) const {
    for (int32_t i = 0; i < count_; ++i)
        if (items_[i] == item) return i;
    return -1;
}

void TvxList::SetCapacity(int32_t newCapacity) {
    if (newCapacity < count_ || newCapacity > MaxListSize || newCapacity == capacity_) return;
    if (newCapacity == 0) {
        std::free(items_);
        items_ = nullptr;
    } else {
        // realloc lets large blocks move without a copy through the page tables.
        void* grown = std::realloc(items_, size_t(newCapacity) * sizeof(void*));
        if (!grown) throw std::bad_alloc();
        items_ = static_cast<void**>(grown);
    }
    capacity_ = newCapacity;
}

void TvxList::SetCount(int32_t newCount) {
    if (newCount < 0 || newCount > MaxListSize) return;
    if (newCount > capacity_) SetCapacity(newCount);
    if (newCount > count_) {
        std::memset(items_ + count_, 0, size_t(newCount - count_) * sizeof(void*));
    } else {
        for (int32_t i = count_ - 1; i >= newCount; --i)
            Delete(i);
    }
    count_ = newCount;
}

void TvxList::Clear() {
    SetCount(0);
    SetCapacity(0);
}

void TvxList::Grow() {
    int32_t delta;
    if (capacity_ > 64)
        delta = capacity_ / 4;
    else if (capacity_ > 8)
        delta = 16;
    else
        delta = 4;
    int64_t wanted = int64_t(capacity_) + delta;
    if (wanted > MaxListSize) wanted = MaxListSize;
    SetCapacity(int32_t(wanted));
}

void TvxList::Notify(void*, TvxListNotification) {}

void TvxList::Sort(int (*compare)(const void*, const void*)) {
    if (count_ > 0) QuickSort(0, count_ - 1, compare);
}

void TvxList::QuickSort(int32_t left, int32_t right, int (*compare)(const void*, const void*)) {
    int32_t i;
    do {
        i = left;
        int32_t j = right;
        void* pivot = items_[int32_t((uint32_t(left) + uint32_t(right)) >> 1)];
        do {
            while (compare(items_[i], pivot) < 0)
                ++i;
            while (compare(items_[j], pivot) > 0)
                --j;
            if (i <= j) {
                void* t = items_[i];
                items_[i] = items_[j];
                items_[j] = t;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j) QuickSort(left, j, compare);
        left = i;
    } while (i < right);
}
