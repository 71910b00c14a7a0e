#include "zemrunGlobal.h"

#include <memory>

TOptions RunSettings;
bool Interactive = false;
bool Preview = false;
std::string PreviewFile;
bool ProgressShown = false;
bool CancelFlag = false;
bool SkipFlag = false;

namespace {
std::unique_ptr<TvxStringList> items;
}

void SetDefaultOptions(TOptions& options) {
    options.List.clear();
    options.Exe.clear();
    options.BParam.clear();
    options.Eparam.clear();
    options.RegExp.clear();
    options.WaitOpen = true;
    options.WaitClose = false;
    options.ShellExecute = false;
    options.FirstPause = 1000;
    options.GUI = 1;
    options.Window = 1;
    options.Priority = 0;
    options.Jobs = 1;
    options.JobLog.clear();
    options.Resume = false;
}

void CopyOptions(TOptions& dest, const TOptions& source) { dest = source; }

TvxStringList& ItemList() {
    if (!items) items = std::make_unique<TvxStringList>();
    return *items;
}

void InitializeGlobals() {
    SetDefaultOptions(RunSettings);
    Interactive = false;
    Preview = false;
    PreviewFile.clear();
    ProgressShown = false;
    CancelFlag = false;
    SkipFlag = false;
    items.reset();
}

void FinalizeGlobals() { items.reset(); }
