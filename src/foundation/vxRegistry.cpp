#include "vxRegistry.h"

#include <windows.h>

namespace {
// Closes the key it holds when it goes out of scope.
class TRegKey {
public:
    TRegKey(HKEY parent, const std::string& path) {
        if (RegOpenKeyA(parent, path.c_str(), &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~TRegKey() {
        if (key_) RegCloseKey(key_);
    }
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }

    // The key's default value without its terminating zero; false when a query fails.
    bool ReadDefault(std::string& value) const {
        DWORD size = 0;
        if (RegQueryValueExA(key_, nullptr, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
        std::string data(size, '\0');
        if (size && RegQueryValueExA(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
            return false;
        data.resize(size ? size - 1 : 0);
        // The data is not required to end where its size says; a zero inside ends the text.
        value = data.c_str();
        return true;
    }

private:
    HKEY key_ = nullptr;
};

bool ReadDefaultOf(const std::string& path, std::string& value) {
    TRegKey key(HKEY_CLASSES_ROOT, path);
    return key.IsOpen() && key.ReadDefault(value);
}
} // namespace

std::string GetAssocCommand(const std::string& extension) {
    std::string fileType, verb, command;
    if (!ReadDefaultOf(extension, fileType)) return {};
    if (!ReadDefaultOf(fileType + "\\shell", verb)) return {};
    if (!ReadDefaultOf(fileType + "\\shell\\" + verb + "\\command", command)) return {};
    return command;
}
