#include "vxShellLink.h"

#include "vxHandles.h"
#include "vxTextCodec.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace {
std::wstring Wide(const std::string& text) {
    const std::u16string wide = ProcessToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}
} // namespace

bool WriteShortcut(const std::string& path, const std::string& target, const std::string& arguments,
                   const std::string& iconFile) {
    TvxComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Out()))))
        return false;
    if (FAILED(link->SetPath(Wide(target).c_str())) ||
        FAILED(link->SetArguments(Wide(arguments).c_str())) ||
        FAILED(link->SetIconLocation(Wide(iconFile).c_str(), 0)))
        return false;
    TvxComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))))
        return false;
    return SUCCEEDED(file->Save(Wide(path).c_str(), TRUE));
}

std::string ShortcutTarget(const std::string& path) {
    TvxComPtr<IShellLinkW> link;
    TvxComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Out()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ||
        FAILED(file->Load(Wide(path).c_str(), STGM_READ)))
        return {};
    // The long-path form of the call: a target beyond MAX_PATH is cut to nothing.
    std::wstring target(32768, L'\0');
    if (link->GetPath(target.data(), int(target.size()), nullptr, SLGP_RAWPATH) != S_OK) return {};
    target.resize(wcslen(target.c_str()));
    return ProcessFromUtf16(std::u16string(target.begin(), target.end()));
}
