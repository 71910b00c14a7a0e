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
