#include "foundation/vxFileUtils.h"
#include "foundation/vxObjectList.h"
#include "foundation/vxStringList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

struct Tracked : TvxObject {
    Tracked(std::vector<int>& log, int id) : log(log), id(id) {}
    ~Tracked() override { log.push_back(id); }
    std::vector<int>& log;
    int id;
};

std::string WriteTemp(const std::string& name, const std::string& bytes) {
    // Test processes run side by side: each writes files of its own.
    const auto path = std::filesystem::temp_directory_path() / ("zemrun_unit_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::vector<std::string> LoadLines(const std::string& bytes) {
    TvxStringList list;
    list.LoadFromFile(WriteTemp("lines.txt", bytes));
    std::vector<std::string> lines;
    for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
    return lines;
}

TEST(List, GrowsInTheDocumentedSteps) {
    TvxList list;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 95; ++i) {
        const int32_t before = list.Capacity();
        list.Add(nullptr);
        if (list.Capacity() != before) capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95}));
}

TEST(List, IgnoresIndicesOutsideTheList) {
    TvxList list;
    int a = 0, b = 0;
    EXPECT_EQ(list.Items(0), nullptr);
    EXPECT_EQ(list.IndexOf(&a), -1);
    list.Delete(0);
    list.Sort([](const void*, const void*) { return 0; });
    list.Insert(1, &a);
    list.Insert(-1, &a);
    EXPECT_EQ(list.Count(), 0);
    list.Insert(0, &a); // index = count appends
    list.Insert(0, &b);
    EXPECT_EQ(list.Items(0), &b);
    EXPECT_EQ(list.Items(1), &a);
    EXPECT_EQ(list.Items(2), nullptr);
    list.SetCapacity(1); // below count: ignored
    EXPECT_GE(list.Capacity(), 2);
}

TEST(ObjectList, DestroysRemovedObjectsLastFirst) {
    std::vector<int> destroyed;
    {
        TvxObjectList list;
        for (int i = 0; i < 5; ++i) list.Add(new Tracked(destroyed, i));
        list.SetCount(2);
        EXPECT_EQ(destroyed, (std::vector<int>{4, 3, 2}));
        list.Delete(0);
        EXPECT_EQ(destroyed.back(), 0);
    }
    EXPECT_EQ(destroyed.back(), 1); // the destructor clears what is left
}

TEST(StringList, SearchesFromTheLastElementAndNeverOwnsObjects) {
    std::vector<int> destroyed;
    Tracked attached(destroyed, 7);
    TvxStringList list;
    list.Add("a");
    list.AddObject("b", &attached);
    list.Add("a");
    EXPECT_EQ(list.IndexOf("a"), 2);
    EXPECT_EQ(list.IndexOf("A"), -1);
    EXPECT_EQ(list.Objects(1), &attached);
    list.Clear();
    EXPECT_TRUE(destroyed.empty());
}

TEST(StringList, SortedFindAndAddClearsTheFlag) {
    TvxStringList list;
    for (const char* t : {"pear", "apple", "fig", "Apple", "\xE9t\xE9"}) list.Add(t);
    list.SetSorted(true);
    EXPECT_EQ(list.Strings(0), "Apple"); // byte order: upper case first
    EXPECT_EQ(list.Strings(4), "\xE9t\xE9"); // unsigned bytes sort above ASCII
    EXPECT_EQ(list.IndexOf("fig"), 2);
    EXPECT_EQ(list.Find("kiwi"), -1);
    list.Add("banana");
    EXPECT_FALSE(list.Sorted());
    EXPECT_EQ(list.IndexOf("banana"), 5);
}

TEST(StringList, InsertOutsideTheRangeClearsSortedButAddsNothing) {
    TvxStringList list;
    list.Add("x");
    list.SetSorted(true);
    list.Insert(5, "y");
    EXPECT_FALSE(list.Sorted());
    EXPECT_EQ(list.Count(), 1);
}

TEST(LoadFromFile, FollowsTheLineRules) {
    EXPECT_EQ(LoadLines("x\r\ny\nz"), (std::vector<std::string>{"x", "y\nz"}));
    EXPECT_EQ(LoadLines("a\r\n\x1a" "b"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(LoadLines(""), (std::vector<std::string>{}));
    EXPECT_EQ(LoadLines("a\rb\r\r\nc\r\n"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(LoadLines("\r"), (std::vector<std::string>{""}));
    EXPECT_EQ(LoadLines("one\ntwo\nthree\n"), (std::vector<std::string>{"one\ntwo\nthree\n"}));
    EXPECT_EQ(LoadLines(std::string("n\0ul\r\n", 6)), (std::vector<std::string>{std::string("n\0ul", 4)}));
    EXPECT_EQ(LoadLines("end\x1a"), (std::vector<std::string>{"end"}));
}

TEST(LoadFromFile, HandlesLinesAndLineEndsAcrossReadChunks) {
    // Lines that straddle the reader's chunks, and a CR LF pair split between two.
    const size_t chunk = 256 * 1024;
    std::string bytes(chunk - 1, 'a');
    bytes += "\r\nb";
    bytes += std::string(chunk, 'c');
    bytes += "\r\n";
    const auto lines = LoadLines(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(chunk - 1, 'a'));
    EXPECT_EQ(lines[1], "b" + std::string(chunk, 'c'));
}

TEST(LoadFromFile, AppendsToWhatTheListHolds) {
    TvxStringList list;
    list.Add("first");
    list.LoadFromFile(WriteTemp("append.txt", "second"));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Strings(1), "second");
}

TEST(LoadFromFile, AnUnreadableFileIsAnInOutFailure) {
    TvxStringList list;
    const auto folder = std::filesystem::temp_directory_path();
    EXPECT_THROW(list.LoadFromFile(folder.string()), TvxInOutError);
    EXPECT_THROW(list.LoadFromFile((folder / "zemrun_no_such_file").string()), TvxInOutError);
    // Devices are never read: one that never ends would keep the read going for ever.
    EXPECT_THROW(list.LoadFromFile("/dev/zero"), TvxInOutError);
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
