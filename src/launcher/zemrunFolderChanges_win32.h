#pragma once
// The changes in a watched folder, as ReadDirectoryChangesW reports them. The watch looks
// at the whole folder after any change, so only the fact of a change counts: also a
// report that the system's buffer overflowed, after which nothing else would tell.

#include "../foundation/vxHandles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TFolderChanges {
  public:
    TFolderChanges() = default;
    ~TFolderChanges() { Close(); }
    TFolderChanges(const TFolderChanges&) = delete;
    TFolderChanges& operator=(const TFolderChanges&) = delete;

    // Waits at most milliseconds for a change in the folder (and below it, with
    // subfolders) or for one of the events; null events are left out. The first wait for
    // a folder, or for one that is there again, returns at once. A folder that is not
    // there is asked for again at the next wait.
    void Wait(const std::string& folder, bool subfolders, DWORD milliseconds,
              const std::vector<HANDLE>& events);

    struct TFileId {
        DWORD volume = 0;
        uint64_t index = 0;
        friend bool operator==(const TFileId&, const TFileId&) = default;
    };

  private:
    bool Open(const std::string& folder, bool subfolders);
    bool StillThere() const;
    bool Ask();
    void Close();

    std::string folder_;
    bool subfolders_ = false;
    TFileId id_;        // of the folder that is read
    TvxHandle handle_;  // the folder, opened for overlapped reads of its changes
    TvxHandle changed_; // the event of the read that is outstanding
    OVERLAPPED overlapped_{};
    bool asking_ = false;
    // Where the system writes the changes: DWORD-aligned, and at most 64 KB, which is the
    // most a network share takes.
    std::vector<DWORD> buffer_ = std::vector<DWORD>(16 * 1024);
};
