#pragma once
// A watched folder as a source of items: which of its files a watch takes, and when a
// file is complete (its size and last-write time unchanged for the settle time, and no
// program still writing it), each once until it changes again; and the names that done
// and failed files get where theirs is taken.

#include "../foundation/vxFileUtils.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One entry of a look at the folder, as the host gives it.
using TFolderEntry = TvxFolderEntry;

// Whether a name matches a wildcard pattern: * any run of characters, ? one; case as the
// file system ignores it.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Which files a watch takes: patterns separated by ';', those with '!' before them leave
// names out; no pattern that takes names takes all. Folders, hidden and system files and
// the names of unfinished files are always left out.
class TWatchFilter {
  public:
    explicit TWatchFilter(const std::string& patterns);
    bool Takes(const TFolderEntry& entry) const;

  private:
    std::vector<std::string> taken_, leftOut_;
};

// Decides, look by look, which files are complete.
class TFolderWatch {
  public:
    // Whether no program writes the file any more (it opens for reading while others are
    // denied writing).
    using TWriteCheck = std::function<bool(const std::string& path)>;
    TFolderWatch(TWatchFilter filter, uint64_t settleMilliseconds)
        : filter_(std::move(filter)), settle_(settleMilliseconds) {}

    // The files of this look that became complete since the last, as full paths: those
    // of one look in Explorer's order. A file counts from the look that first saw it with
    // its present size and write time; one that is gone is forgotten.
    std::vector<std::string> Complete(const std::vector<TFolderEntry>& entries, uint64_t now,
                                      const TWriteCheck& written);
    // The file is new again at the next look.
    void Forget(const std::string& path) { seen_.erase(path); }
    // How long until a file that is seen may be complete; none waits: UINT64_MAX.
    uint64_t MillisecondsToNextCheck(uint64_t now) const;

  private:
    struct TSeen {
        uint64_t size, writeTime, since;
        bool taken;
    };
    TWatchFilter filter_;
    uint64_t settle_;
    std::map<std::string, TSeen> seen_; // by path
};

// The name that a file gets in a folder where its own may be taken, as Explorer gives
// it: "a.txt", then "a (2).txt", "a (3).txt" ...
std::string FreeName(const std::string& name, const std::function<bool(const std::string&)>& taken);
