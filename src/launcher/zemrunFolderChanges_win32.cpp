#include "zemrunFolderChanges_win32.h"

#include <algorithm>

namespace {
constexpr DWORD ChangesAsked = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
} // namespace

void TFolderChanges::Wait(const std::string& folder, bool subfolders, DWORD milliseconds,
                          const std::vector<HANDLE>& events) {
    // A folder that was renamed or removed keeps the handle on what it was: the name is
    // opened again once it is a folder again.
    if (handle_ && (folder != folder_ || subfolders != subfolders_ || !IsFolder(folder))) Close();
    // Changes since the last look but before the reads began would be missed: a fresh
    // start counts as a change, so that the watch looks once more.
    if (!handle_ && Open(folder, subfolders)) return;
    std::vector<HANDLE> waits;
    if (asking_) waits.push_back(changed_.Get());
    for (HANDLE event : events)
        if (event) waits.push_back(event);
    if (waits.empty()) {
        Sleep(milliseconds);
        return;
    }
    // Nothing tells a folder's reads that the folder itself was renamed: it is looked for
    // every few seconds of the wait.
    constexpr DWORD FolderCheckMilliseconds = 2000;
    DWORD woke = WAIT_TIMEOUT;
    for (DWORD left = milliseconds; woke == WAIT_TIMEOUT && left > 0;) {
        const DWORD slice = std::min(left, FolderCheckMilliseconds);
        woke = WaitForMultipleObjects(DWORD(waits.size()), waits.data(), FALSE, slice);
        left -= slice;
        if (woke == WAIT_TIMEOUT && asking_ && left > 0 && !IsFolder(folder)) return;
    }
    if (!asking_ || woke != WAIT_OBJECT_0) return;
    // A change, or an overflow (no bytes): either way the watch looks again. A folder that
    // went away ends the reads; it is opened again at the next wait.
    DWORD bytes = 0;
    asking_ = false;
    if (!GetOverlappedResult(handle_.Get(), &overlapped_, &bytes, FALSE) || !Ask()) Close();
}

bool TFolderChanges::Open(const std::string& folder, bool subfolders) {
    Close();
    folder_ = folder;
    subfolders_ = subfolders;
    // Shared for deleting too, so that the folder can be renamed or removed while watched.
    handle_.Reset(CreateFileA(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!changed_) changed_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (handle_ && changed_ && Ask()) return true;
    Close();
    return false;
}

bool TFolderChanges::Ask() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = changed_.Get();
    ResetEvent(changed_.Get());
    asking_ =
        ReadDirectoryChangesW(handle_.Get(), buffer_.data(), DWORD(buffer_.size() * sizeof(DWORD)),
                              subfolders_, ChangesAsked, nullptr, &overlapped_, nullptr);
    return asking_;
}

void TFolderChanges::Close() {
    // The system may write the buffer until the read that is outstanding has ended.
    if (asking_) {
        DWORD bytes = 0;
        CancelIoEx(handle_.Get(), &overlapped_);
        GetOverlappedResult(handle_.Get(), &overlapped_, &bytes, TRUE);
        asking_ = false;
    }
    handle_.Reset();
}
