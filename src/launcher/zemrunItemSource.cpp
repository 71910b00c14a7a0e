#include "zemrunItemSource.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"

std::string UnquoteItem(const std::string& item) {
    const std::string trimmed = Trim(item);
    if (trimmed.size() < 2 || trimmed.front() != '"' || trimmed.back() != '"' ||
        trimmed.find('"', 1) != trimmed.size() - 1)
        return item;
    return trimmed.substr(1, trimmed.size() - 2);
}

void LoadItems(const TOptions& settings, TLauncherSystem& system, TRunItems& items) {
    uint32_t codePage = 0;
    ReadEncodingName(settings.Encoding, codePage); // a name unknown here ends the run before
    TvxStringList lines;
    // Where nothing else tells, a pipe from a console program is in the console's page.
    if (settings.List == StandardInputList)
        lines.LoadFromText(system.StandardInput(), codePage, ConsoleCodePage());
    else if (PathExists(settings.List))
        lines.LoadFromFile(settings.List, codePage);
    for (int32_t i = 0; i < lines.Count(); ++i)
        items.push_back({UnquoteItem(lines.Strings(i)), false});
    // A list is taken as written; the shell leaves wildcards on the command line to the
    // program.
    for (const std::string& item : settings.Items)
        for (std::string& name : ExpandWildcards(UnquoteItem(item)))
            items.push_back({std::move(name), true});
}

TListSource::TListSource(const TOptions& settings, TLauncherSystem& system, TRunItems& items) {
    LoadItems(settings, system, items);
    count_ = int32_t(items.size());
}

TSourced TListSource::Next(TRunItems&) {
    if (next_ >= count_) return {};
    return {TSourced::Item, next_};
}

TFailedAgainSource::TFailedAgainSource(std::vector<TFailedItem> failed)
    : failed_(std::move(failed)) {}

TSourced TFailedAgainSource::Next(TRunItems&) {
    if (next_ >= failed_.size()) return {};
    return {TSourced::Item, failed_[next_].number - 1, failed_[next_].tries + 1};
}

int32_t TFailedAgainSource::ItemsToRun() const {
    int32_t count = 0;
    for (const TFailedItem& failed : failed_)
        count += failed.count;
    return count;
}
