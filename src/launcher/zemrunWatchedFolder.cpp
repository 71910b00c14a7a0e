#include "zemrunWatchedFolder.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"
#include "zemrunReporters.h"

#include <algorithm>
#include <utility>

namespace {
// Moves the file into the folder, made where needed, under a name that is free there: 0,
// with moved set to where it went, or the system's error number.
uint32_t MoveInto(const std::string& path, const std::string& folder, std::string& moved) {
    try {
        MakeFolder(folder);
        const std::string target =
            FreeName(folder + PathDelimiter + PathFileName(path), PathExists);
        const uint32_t error = MoveFileTo(path, target);
        if (error == 0) moved = target;
        return error;
    } catch (const TvxInOutError& failure) {
        return uint32_t(failure.code);
    }
}

// Neither from a root nor from a drive: "Done", "out\\done".
bool IsRelativePath(const std::string& path) {
    return !path.empty() && path[0] != '\\' && path[0] != '/' &&
           !(path.size() > 1 && path[1] == ':');
}
} // namespace

TWatchReporter::TWatchReporter(TLauncherSystem& system, TLauncherFace& face,
                               const TOptions& settings, std::function<TBatchStatus()> status)
    : system_(system), face_(face), settings_(settings), status_(std::move(status)) {}

void TWatchReporter::TryEnded(TTryEnd& end) {
    if (!end.succeeded && !end.triedAgain)
        newlyFailed_.push_back(FailedItem(end, settings_.TimeLimit));
    Show(true);
}

// The failures go to the face, which keeps them, so that a watch that runs for months
// does not keep them twice.
void TWatchReporter::Show(bool folderThere) {
    std::vector<TFailedItem> newlyFailed = std::exchange(newlyFailed_, {});
    if (settings_.GUI == 0) return;
    std::string announced;
    const uint64_t now = system_.Milliseconds();
    if (!newlyFailed.empty() &&
        (!announced_ || now - lastAnnounced_ >= WatchAnnounceMilliseconds)) {
        announced = newlyFailed.back().item;
        announced_ = true;
        lastAnnounced_ = now;
    }
    face_.ShowWatch({settings_.WatchFolder, settings_.JobLog, folderThere, status_(),
                     std::exchange(failuresRetried_, false), std::move(newlyFailed), announced});
}

void TWatchReporter::Ended() {
    Show(true);
    face_.WatchEnded();
}

TWatchedFolder::TWatchedFolder(TLauncherSystem& system, const TOptions& settings,
                               TWatchReporter& reporter, std::function<void(bool)> folderThere,
                               std::function<void(int32_t)> retried)
    : system_(system), settings_(settings), reporter_(reporter),
      folderThere_(std::move(folderThere)), retried_(std::move(retried)),
      watch_(TWatchFilter(settings.Match), uint64_t(settings.SettleTime) * 1000) {}

// The files of a look run one after the other; then the face hears how the watch goes.
TSourced TWatchedFolder::Next(TRunItems& items) {
    items_ = &items;
    if (complete_.empty() && !looked_) Look();
    if (complete_.empty()) {
        reporter_.Show(there_);
        return {TSourced::Later};
    }
    items.push_back({std::move(complete_.front()), true});
    complete_.pop_front();
    ++taken_;
    return {TSourced::Item, int32_t(items.size()) - 1};
}

// A folder that changes all the time (a file being copied) is looked at at most every
// WatchLookMilliseconds; one that is not there is waited for.
void TWatchedFolder::Look() {
    const uint64_t sinceLook = system_.Milliseconds() - lastLook_;
    if (lastLook_ != 0 && sinceLook < WatchLookMilliseconds)
        system_.Sleep(uint32_t(WatchLookMilliseconds - sinceLook));
    lastLook_ = system_.Milliseconds();
    looked_ = true;
    auto entries = ListFolder(settings_.WatchFolder, settings_.Subfolders);
    if (entries.has_value() != there_) {
        there_ = entries.has_value();
        folderThere_(there_);
    }
    if (!entries) return;
    std::erase_if(*entries, [this](const TFolderEntry& entry) { return PutAside(entry); });
    for (std::string& path : watch_.Complete(*entries, lastLook_, NobodyWrites))
        complete_.push_back(std::move(path));
}

// Until a file that was seen may be complete, or a change comes, within the bound.
void TWatchedFolder::WaitForMore(uint32_t milliseconds) {
    const uint64_t nextCheck = there_ ? watch_.MillisecondsToNextCheck(system_.Milliseconds())
                                      : WatchMissingFolderMilliseconds;
    const uint64_t wait = std::min<uint64_t>(nextCheck, milliseconds);
    system_.WaitForFolderChange(
        settings_.WatchFolder, settings_.Subfolders,
        uint32_t(std::clamp<uint64_t>(wait, WatchLookMilliseconds, WatchRescanMilliseconds)));
    looked_ = false;
}

// The done or failed folder as a path: a relative name is below the watched folder.
std::string TWatchedFolder::AsideFolder(const std::string& folder) const {
    if (folder.empty() || !IsRelativePath(folder)) return folder;
    return settings_.WatchFolder + PathDelimiter + folder;
}

// Whether the entry is in the done or the failed folder, which a watch of the folders below
// must leave out.
bool TWatchedFolder::PutAside(const TFolderEntry& entry) const {
    for (const std::string* setting : {&settings_.DoneFolder, &settings_.FailedFolder}) {
        const std::string folder = AsideFolder(*setting);
        if (!folder.empty() && entry.path.size() > folder.size() &&
            (entry.path[folder.size()] == '\\' || entry.path[folder.size()] == '/') &&
            SameTextAnsi(std::string_view(entry.path).substr(0, folder.size()), folder))
            return true;
    }
    return false;
}

// A watched file whose command ended for good goes to the done or the failed folder, where
// the settings name one, under a name that is free there; one that cannot be moved stays,
// and the system's error number of the move is its error from here on. The watch keeps
// where each failed file is now, to run it again when asked.
void TWatchedFolder::TryEnded(TTryEnd& end) {
    if (end.triedAgain || !items_) return;
    const std::string& path = (*items_)[size_t(end.tried.index)].text;
    const std::string folder =
        AsideFolder(end.succeeded ? settings_.DoneFolder : settings_.FailedFolder);
    std::string now = path;
    // Into the watched folder itself it would arrive again.
    if (!folder.empty() && !SameTextAnsi(folder, settings_.WatchFolder)) {
        const uint32_t error = MoveInto(path, folder, now);
        if (end.error == 0) end.error = error;
    }
    if (!end.succeeded) failedFiles_.push_back({path, now});
}

// Each failed file becomes new to the watch, which takes it again once it is complete: one
// in the failed folder goes back to where it came from (under a free name), one that
// stayed is forgotten. They no longer count as failed.
void TWatchedFolder::RunFailedAgain() {
    for (const TFailedFile& file : failedFiles_) {
        if (file.now == file.came)
            watch_.Forget(file.came);
        else
            MoveFileTo(file.now, FreeName(file.came, PathExists));
    }
    retried_(int32_t(failedFiles_.size()));
    failedFiles_.clear();
    reporter_.FailuresRetried();
}
