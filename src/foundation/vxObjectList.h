#pragma once
// TvxObjectList: a list that owns its objects; removing an element destroys it.

#include "vxList.h"

class TvxObjectList : public TvxList {
  public:
    ~TvxObjectList() override;

    int32_t Add(TvxObject* object) { return TvxList::Add(object); }
    TvxObject* Items(int32_t index) const { return static_cast<TvxObject*>(TvxList::Items(index)); }
    int32_t IndexOf(const TvxObject* object) const { return TvxList::IndexOf(object); }

  protected:
    void Notify(void* item, TvxListNotification kind) override;
};
