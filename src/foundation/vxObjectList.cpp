#include "vxObjectList.h"

TvxObjectList::~TvxObjectList() {
    Clear();
}

void TvxObjectList::Notify(void* item, TvxListNotification kind) {
    if (kind == TvxListNotification::deleted) delete static_cast<TvxObject*>(item);
}
