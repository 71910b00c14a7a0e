#include "zemrunGlobal.h"

#include <memory>

TOptions RunSettings;
bool Interactive = false;
bool Preview = false;
std::string PreviewFile;
bool ItemArguments = false;
bool ProgressShown = false;
bool CancelFlag = false;
bool SkipFlag = false;

namespace {
std::unique_ptr<TvxStringList> items;
}

TvxStringList& ItemList() {
    if (!items) items = std::make_unique<TvxStringList>();
    return *items;
}

void InitializeGlobals() {
    SetDefaultOptions(RunSettings);
    Interactive = false;
    Preview = false;
    PreviewFile.clear();
    ItemArguments = false;
    ProgressShown = false;
    CancelFlag = false;
    SkipFlag = false;
    items.reset();
}

void FinalizeGlobals() { items.reset(); }
