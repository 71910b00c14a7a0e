#include "vxRegistry.h"

#include "vxHandles.h"

#include <windows.h>

#include <shlwapi.h>

#include <vector>

namespace {
// A key of the registry, read only.
class TRegKey {
  public:
    TRegKey(HKEY parent, const std::string& path) {
        if (RegOpenKeyA(parent, path.c_str(), key_.Out()) != ERROR_SUCCESS) key_.Release();
    }

    bool IsOpen() const { return key_.Valid(); }

    // The key's default value without its terminating zero; false when a query fails.
    bool ReadDefault(std::string& value) const {
        DWORD size = 0;
        if (RegQueryValueExA(key_.Get(), nullptr, nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        std::string data(size, '\0');
        if (size && RegQueryValueExA(key_.Get(), nullptr, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
            return false;
        data.resize(size ? size - 1 : 0);
        // The data is not required to end where its size says; a zero inside ends the text.
        value = data.c_str();
        return true;
    }

    // The names of the subkeys, in the registry's order.
    std::vector<std::string> SubkeyNames() const {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            const LONG result =
                RegEnumKeyExA(key_.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_MORE_DATA) continue; // no verb is that long
            if (result != ERROR_SUCCESS) break;
            names.emplace_back(name, length);
        }
        return names;
    }

  private:
    TvxRegKey key_;
};

bool ReadDefaultOf(const std::string& path, std::string& value) {
    TRegKey key(HKEY_CLASSES_ROOT, path);
    return key.IsOpen() && key.ReadDefault(value);
}

// The verb of the file type's default action. Most types on Windows 10/11 name none, and
// then Windows takes "open", or the first verb when there is no "open".
std::string DefaultVerb(const std::string& fileType) {
    std::string verb;
    if (ReadDefaultOf(fileType + "\\shell", verb) && !verb.empty()) return verb;
    const TRegKey shell(HKEY_CLASSES_ROOT, fileType + "\\shell");
    if (!shell.IsOpen()) return {};
    const std::vector<std::string> verbs = shell.SubkeyNames();
    for (const std::string& name : verbs)
        if (lstrcmpiA(name.c_str(), "open") == 0) return name;
    return verbs.empty() ? std::string() : verbs.front();
}

std::string ClassesRootCommand(const std::string& extension) {
    std::string fileType, command;
    if (!ReadDefaultOf(extension, fileType) || fileType.empty()) return {};
    const std::string verb = DefaultVerb(fileType);
    if (verb.empty() || !ReadDefaultOf(fileType + "\\shell\\" + verb + "\\command", command))
        return {};
    return command;
}

// The shell's own answer, which also knows the program the user chose for the type. Unknown
// types are not answered with the "Open with" command.
std::string ShellAssocCommand(const std::string& extension) {
    if (extension.empty()) return {};
    constexpr ASSOCF flags = ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE;
    DWORD size = 0;
    if (FAILED(AssocQueryStringA(flags, ASSOCSTR_COMMAND, extension.c_str(), nullptr, nullptr,
                                 &size)) ||
        size == 0)
        return {};
    std::string command(size, '\0');
    if (FAILED(AssocQueryStringA(flags, ASSOCSTR_COMMAND, extension.c_str(), nullptr,
                                 command.data(), &size)))
        return {};
    return command.c_str();
}
} // namespace

std::string GetAssocCommand(const std::string& extension) {
    const std::string command = ClassesRootCommand(extension);
    return command.empty() ? ShellAssocCommand(extension) : command;
}
