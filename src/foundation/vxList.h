#pragma once
// TvxList: an ordered list of untyped references with a growth policy and a
// removal notification that derived lists use to own or dispose of their elements.

#include <cstdint>

// The root of every class that a list may own or that may be attached to a list element.
class TvxObject {
  public:
    virtual ~TvxObject() = default;
};

enum class TvxListNotification { added, deleted };

class TvxList : public TvxObject {
  public:
    static constexpr int32_t MaxListSize = 0x7FFFFFF;

    TvxList() = default;
    TvxList(const TvxList&) = delete;
    TvxList& operator=(const TvxList&) = delete;
    ~TvxList() override;

    int32_t Add(void* item);
    void Insert(int32_t index, void* item);
    void Delete(int32_t index);
    void* Items(int32_t index) const;
    int32_t IndexOf(const void* item) const;
    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    void SetCapacity(int32_t newCapacity);
    void SetCount(int32_t newCount);
    void Sort(int (*compare)(const void* a, const void* b));

    virtual void Clear();

  protected:
    virtual void Grow();
    virtual void Notify(void* item, TvxListNotification kind);

    // Direct slot access for derived lists that know their index is in range.
    void* Slot(int32_t index) const { return items_[index]; }

  private:
    void QuickSort(int32_t left, int32_t right, int (*compare)(const void*, const void*));

    void** items_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
};
