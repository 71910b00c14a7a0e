#include "vxShellUtils.h"

#include "vxHandles.h"
#include "vxTextCodec.h"
#include "vxWinUtils.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace {
TvxComPtr<IMalloc> shellAllocator;
bool comInitialized = false;

IMalloc* ShellAllocator() {
    if (!shellAllocator && FAILED(CoGetMalloc(1, shellAllocator.Out()))) shellAllocator.Release();
    return shellAllocator.Get();
}
} // namespace

std::string SpecialFolderPath(int folderId, void* owner) {
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(static_cast<HWND>(owner), folderId, &item)) || !item)
        return {};
    const std::string result = PathOfItem(item);
    if (IMalloc* allocator = ShellAllocator()) allocator->Free(item);
    return result;
}

void InitializeShellUtils() {
    comInitialized =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

void FinalizeShellUtils() {
    shellAllocator.Reset();
    if (comInitialized) CoUninitialize();
    comInitialized = false;
}
