#include "zemrunInstallation.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxHandles.h"
#include "../foundation/vxShellLink.h"
#include "../foundation/vxShellUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTaskScheduler.h"
#include "../foundation/vxTextCodec.h"

#include <windows.h>

#include <optional>

namespace {
std::wstring Wide(const std::string& text) {
    const std::u16string wide = ProcessToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

// The user's PATH as it is stored, its %VARIABLES% unexpanded, and its type; none where
// there is no such value.
struct TStoredPath {
    std::string value;
    DWORD type = REG_EXPAND_SZ;
};

std::optional<TStoredPath> ReadUserPath(HKEY environment, uint32_t& error) {
    DWORD type = 0, size = 0;
    error = RegQueryValueExW(environment, L"Path", nullptr, &type, nullptr, &size);
    if (error == ERROR_FILE_NOT_FOUND) error = 0;
    if (error) return std::nullopt;
    if (!size) return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    error = RegQueryValueExW(environment, L"Path", nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &size);
    if (error) return std::nullopt;
    value.resize(wcsnlen(value.c_str(), size / sizeof(wchar_t)));
    const std::string text = ProcessFromUtf16(std::u16string(value.begin(), value.end()));
    return TStoredPath{text, type == REG_SZ ? DWORD(REG_SZ) : DWORD(REG_EXPAND_SZ)};
}

uint32_t WriteUserPath(HKEY environment, const TStoredPath& path) {
    if (path.value.empty()) {
        const LSTATUS removed = RegDeleteValueW(environment, L"Path");
        return removed == ERROR_FILE_NOT_FOUND ? 0 : uint32_t(removed);
    }
    const std::wstring value = Wide(path.value);
    return RegSetValueExW(environment, L"Path", 0, path.type,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(wchar_t)));
}

// Tells the running programs (Explorer above all, which starts the prompts) that the
// environment changed, so that a new prompt finds the folder.
void AnnounceEnvironment() {
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000, nullptr);
}

// Changes the user's PATH by the rule, and announces it when it changed.
template <typename TChange> uint32_t ChangeUserPath(TChange change) {
    TvxRegKey environment;
    uint32_t error =
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Environment", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, environment.Out(), nullptr);
    if (error) return error;
    const std::optional<TStoredPath> stored = ReadUserPath(environment.Get(), error);
    if (error) return error;
    TStoredPath path = stored.value_or(TStoredPath{});
    const std::string changed = change(path.value);
    if (changed == path.value) return 0;
    path.value = changed;
    error = WriteUserPath(environment.Get(), path);
    if (!error) AnnounceEnvironment();
    return error;
}

// Removes the shortcuts of the special folder that start a program of the folder given
// (either face).
uint32_t RemoveShortcutsInto(int folderId, const std::string& programFolder) {
    const std::string folder = SpecialFolderPath(folderId);
    if (folder.empty()) return 0;
    const auto entries = ListFolder(folder, false);
    if (!entries) return 0;
    uint32_t error = 0;
    for (const TvxFolderEntry& entry : *entries)
        if (!entry.folder && SameTextAnsi(PathExtension(entry.name), ".lnk") &&
            SameTextAnsi(PathFolder(ShortcutTarget(entry.path)), programFolder) &&
            !DeleteFileW(Wide(entry.path).c_str()) && !error)
            error = GetLastError();
    return error;
}
} // namespace

uint32_t InstallForUser(const std::string& program) {
    const std::string folder = PathFolder(program);
    return ChangeUserPath([&](const std::string& path) { return PathWithFolder(path, folder); });
}

uint32_t UninstallForUser(const std::string& program, const std::string& taskFolder,
                          const std::vector<std::string>& taskNames) {
    const std::string folder = PathFolder(program);
    uint32_t error =
        ChangeUserPath([&](const std::string& path) { return PathWithoutFolder(path, folder); });
    for (const int folderId : {CSIDL_SENDTO_ID, CSIDL_STARTUP_ID}) {
        const uint32_t removed = RemoveShortcutsInto(folderId, folder);
        if (!error) error = removed;
    }
    const uint32_t tasks = TvxTaskFolder(taskFolder).RemoveAll(taskNames);
    return error ? error : tasks;
}
