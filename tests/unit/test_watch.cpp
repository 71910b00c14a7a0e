#include "launcher/zemrunWatch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

TFolderEntry File(const std::string& name, uint64_t size = 1, uint64_t writeTime = 1) {
    return {"C:\\in\\" + name, name, size, writeTime};
}

TEST(Watch, PatternsTakeAndLeaveOutNames) {
    struct Row {
        const char* patterns;
        TFolderEntry entry;
        bool taken;
    };
    TFolderEntry folder = File("sub"), hidden = File("h.jpg");
    folder.folder = true;
    hidden.hidden = true;
    const Row rows[] = {
        {"", File("a.jpg"), true},
        {"*.jpg;*.png", File("A.PNG"), true},
        {"*.jpg;*.png", File("a.gif"), false},
        {"*.jpg; !~$*", File("~$a.jpg"), false},
        {"!*.log", File("a.txt"), true}, // only patterns that leave out: the rest is taken
        {"!*.log", File("a.log"), false},
        {"!", File("a.txt"), true},
        {";;", File("a.txt"), true},
        {"scan??.pdf", File("scan01.pdf"), true},
        {"scan??.pdf", File("scan1.pdf"), false},
        {"*", File("a.tmp"), false},
        {"*", File("video.mp4.part"), false},
        {"*", File("setup.exe.crdownload"), false},
        {"*", File("~$report.docx"), false},
        {"*", File("sub\\b.jpg"), true},
        {"*.jpg", folder, false},
        {"*.jpg", hidden, false},
        {"Ä*.txt", File("äpfel.txt"), true},
        {"*a*b*c", File("xaybzc"), true},
        {"*a*b*c", File("xaybzcd"), false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TWatchFilter(row.patterns).Takes(row.entry), row.taken)
            << row.patterns << " " << row.entry.name;
}

TEST(Watch, AFileIsCompleteOnceItHasNotChangedForTheSettleTimeAndNobodyWritesIt) {
    TFolderWatch watch(TWatchFilter(""), 5000);
    std::set<std::string> written;
    const auto notWritten = [&](const std::string& path) { return !written.count(path); };
    // A file that grows for 8 s, one look a second: started once, after it stopped.
    V started;
    for (uint64_t second = 0; second <= 20; ++second) {
        const uint64_t size = std::min<uint64_t>(second, 8) * 1000;
        for (const std::string& path :
             watch.Complete({File("big.iso", size, size)}, second * 1000, notWritten))
            started.push_back(path + "@" + std::to_string(second));
    }
    EXPECT_EQ(started, V{"C:\\in\\big.iso@13"});
    // Settled, but a program still holds it open for writing: taken when it lets go.
    TFolderWatch held(TWatchFilter(""), 1000);
    written.insert("C:\\in\\a.txt");
    EXPECT_EQ(held.Complete({File("a.txt")}, 0, notWritten), V{});
    EXPECT_EQ(held.Complete({File("a.txt")}, 2000, notWritten), V{});
    EXPECT_EQ(held.MillisecondsToNextCheck(2000), 0u);
    written.clear();
    EXPECT_EQ(held.Complete({File("a.txt")}, 2500, notWritten), V{"C:\\in\\a.txt"});
    EXPECT_EQ(held.MillisecondsToNextCheck(2500), UINT64_MAX);
}

TEST(Watch, EachFileOnceUntilItChangesRenamesCountFromTheRenameAndOrderIsExplorers) {
    TFolderWatch watch(TWatchFilter("*.jpg"), 1000);
    const auto any = [](const std::string&) { return true; };
    // Already there: taken together, in Explorer's order.
    EXPECT_EQ(watch.Complete({File("p10.jpg"), File("p2.jpg"), File("x.txt")}, 0, any), V{});
    EXPECT_EQ(watch.MillisecondsToNextCheck(400), 600u);
    EXPECT_EQ(watch.Complete({File("p10.jpg"), File("p2.jpg")}, 1000, any),
              (V{"C:\\in\\p2.jpg", "C:\\in\\p10.jpg"}));
    // Never twice while unchanged; a rename into the folder counts from the rename.
    EXPECT_EQ(watch.Complete({File("p10.jpg"), File("p2.jpg"), File("new.jpg")}, 5000, any), V{});
    EXPECT_EQ(watch.Complete({File("p10.jpg"), File("p2.jpg"), File("new.jpg")}, 6000, any),
              V{"C:\\in\\new.jpg"});
    // Written again after it was done: done again once settled.
    EXPECT_EQ(watch.Complete({File("p2.jpg", 2, 2)}, 7000, any), V{});
    EXPECT_EQ(watch.Complete({File("p2.jpg", 2, 2)}, 8000, any), V{"C:\\in\\p2.jpg"});
    // A file deleted before it was complete is forgotten; back, it counts anew.
    EXPECT_EQ(watch.Complete({File("q.jpg")}, 9000, any), V{});
    EXPECT_EQ(watch.Complete({}, 9500, any), V{});
    EXPECT_EQ(watch.Complete({File("q.jpg")}, 10000, any), V{});
    EXPECT_EQ(watch.Complete({File("q.jpg")}, 11000, any), V{"C:\\in\\q.jpg"});
}

TEST(Watch, ATakenNameGetsANumberAsExplorerGivesIt) {
    const std::set<std::string> names = {"a.txt", "a (2).txt", "b", "c.tar.gz", "d\\.profile"};
    const auto taken = [&](const std::string& name) { return names.count(name) > 0; };
    EXPECT_EQ(FreeName("a.txt", taken), "a (3).txt");
    EXPECT_EQ(FreeName("b", taken), "b (2)");
    EXPECT_EQ(FreeName("c.tar.gz", taken), "c.tar (2).gz");
    EXPECT_EQ(FreeName("d\\.profile", taken), "d\\.profile (2)");
    EXPECT_EQ(FreeName("new.txt", taken), "new.txt");
}

} // namespace
