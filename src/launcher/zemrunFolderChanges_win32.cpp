#include "zemrunFolderChanges_win32.h"

#include <algorithm>

namespace {
constexpr DWORD ChangesAsked = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The volume and the file index of what the handle has open; none: all zero.
TFolderChanges::TFileId FileId(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return {};
    return {information.dwVolumeSerialNumber,
            (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}
} // namespace

void TFolderChanges::Wait(const std::string& folder, bool subfolders, DWORD milliseconds,
                          const std::vector<HANDLE>& events) {
    if (handle_ && (folder != folder_ || subfolders != subfolders_ || !StillThere())) Close();
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
        if (woke == WAIT_TIMEOUT && asking_ && left > 0 && !StillThere()) return;
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
    handle_.Reset(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, ShareAll,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!changed_) changed_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    id_ = handle_ ? FileId(handle_.Get()) : TFileId{};
    if (handle_ && changed_ && Ask()) return true;
    Close();
    return false;
}

// A folder that was renamed or removed keeps the reads on what it was, and a new folder
// may have its name by now: the name must still lead to the folder that is read.
bool TFolderChanges::StillThere() const {
    const TvxHandle now(CreateFileA(folder_.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return now && FileId(now.Get()) == id_;
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
