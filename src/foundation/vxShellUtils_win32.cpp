#include "vxShellUtils.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace {
IMalloc* shellAllocator = nullptr;
bool comInitialized = false;

IMalloc* ShellAllocator() {
    if (!shellAllocator && FAILED(CoGetMalloc(1, &shellAllocator))) shellAllocator = nullptr;
    return shellAllocator;
}
} // namespace

std::string SpecialFolderPath(int folderId, void* owner) {
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(static_cast<HWND>(owner), folderId, &item)) || !item) return {};
    char buffer[MAX_PATH + 1] = {};
    std::string result;
    if (SHGetPathFromIDListA(item, buffer)) result = buffer;
    if (IMalloc* allocator = ShellAllocator()) allocator->Free(item);
    return result;
}

void InitializeShellUtils() {
    comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

void FinalizeShellUtils() {
    if (shellAllocator) shellAllocator->Release();
    shellAllocator = nullptr;
    if (comInitialized) CoUninitialize();
    comInitialized = false;
}
