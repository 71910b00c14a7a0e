#include "foundation/vxFileUtils.h"
#include "foundation/vxObjectList.h"
#include "foundation/vxStringList.h"
#include "foundation/vxTextCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
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
    const auto path = std::filesystem::temp_directory_path() /
                      ("zemrun_unit_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

std::vector<std::string> LoadLines(const std::string& bytes, uint32_t codePage = 0) {
    TvxStringList list;
    list.LoadFromFile(WriteTemp("lines.txt", bytes), codePage);
    std::vector<std::string> lines;
    for (int32_t i = 0; i < list.Count(); ++i)
        lines.push_back(list.Strings(i));
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
        for (int i = 0; i < 5; ++i)
            list.Add(new Tracked(destroyed, i));
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
    for (const char* t : {"pear", "apple", "fig", "Apple", "\xE9t\xE9"})
        list.Add(t);
    list.SetSorted(true);
    EXPECT_EQ(list.Strings(0), "Apple");     // byte order: upper case first
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
    EXPECT_EQ(LoadLines("x\r\ny\nz"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(LoadLines("a\r\n\x1a"
                        "b"),
              (std::vector<std::string>{"a"}));
    EXPECT_EQ(LoadLines(""), (std::vector<std::string>{}));
    EXPECT_EQ(LoadLines("a\rb\r\r\nc\r\n"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(LoadLines("\r"), (std::vector<std::string>{""}));
    EXPECT_EQ(LoadLines("one\ntwo\nthree\n"), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(LoadLines("a\n\nb\n\rc\r\n\nd"),
              (std::vector<std::string>{"a", "", "b", "", "c", "", "d"}));
    EXPECT_EQ(LoadLines("a\n\x1a\nb"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(LoadLines("\n"), (std::vector<std::string>{""}));
    EXPECT_EQ(LoadLines(std::string("n\0ul\r\n", 6)),
              (std::vector<std::string>{std::string("n\0ul", 4)}));
    EXPECT_EQ(LoadLines("end\x1a"), (std::vector<std::string>{"end"}));
}

using Lines = std::vector<std::string>;
// "caf\xC3\xA9" is café and "\xE6\x9D\xB1" 東 in UTF-8; "\xF0\x9F\x8E\xB5" is a character
// beyond the Basic Multilingual Plane.
TEST(LoadFromFile, DecodesEveryEncodingIntoUtf8) {
    struct Case {
        std::string bytes;
        uint32_t named;
        Lines lines;
    };
    const std::string u16le = std::string("c\0a\0f\0\xE9\0\r\0\n\0\x71\x67\x3C\xD8\xB5\xDF", 18);
    const Case cases[] = {
        {"caf\xC3\xA9\r\n\xE6\x9D\xB1", 0, {"caf\xC3\xA9", "\xE6\x9D\xB1"}}, // UTF-8
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         0,
         {"caf\xC3\xA9"}},                                       // with a mark
        {"caf\xE9\r\n\x80", 0, {"caf\xC3\xA9", "\xE2\x82\xAC"}}, // legacy ANSI
        {"\xC3\xA9\x1A\xFF", 0, {"\xC3\xA9"}},                   // after control-Z
        {"ok\r\n\xC0\xAF", 0, {"ok", "\xC3\x80\xC2\xAF"}},       // overlong: ANSI
        {"\xED\xA0\x80", 0, {"\xC3\xAD\xC2\xA0\xE2\x82\xAC"}},   // a surrogate: ANSI
        {"\xFF\xFE" + u16le, 0, {"caf\xC3\xA9", "\xE6\x9D\xB1\xF0\x9F\x8E\xB5"}}, // UTF-16LE, mark
        {u16le, 0, {"caf\xC3\xA9", "\xE6\x9D\xB1\xF0\x9F\x8E\xB5"}},              // UTF-16LE, shape
        {std::string("\xFE\xFF\0a\0\r\x04\x1A", 8), 0, {"a", "\xD0\x9A"}}, // UTF-16BE; К is 041A
        {std::string("a\0\x1A\0b\0", 6), 0, {"a"}},                        // control-Z in UTF-16
        {std::string("\xFF\xFE\xE9\0\n\0\x71\x67\n\0", 10),
         0,
         {"\xC3\xA9", "\xE6\x9D\xB1"}},                                            // LF in UTF-16
        {"\xEF\xBB\xBF\xC3\xA9\n\xE6\x9D\xB1\n", 0, {"\xC3\xA9", "\xE6\x9D\xB1"}}, // LF in UTF-8
        {std::string("\xFF\xFE"
                     "a\0\x3D\xD8",
                     6),
         0,
         {"a\xEF\xBF\xBD"}}, // a lone surrogate
        {std::string("\xFF\xFE"
                     "a\0b",
                     5),
         0,
         {"a\xEF\xBF\xBD"}}, // an odd last byte
        {"\xEF\xBB\xBF"
         "a\xFF",
         0,
         {"a\xEF\xBF\xBD"}},                            // marked, yet invalid
        {"caf\xC3\xA9", 1252, {"caf\xC3\x83\xC2\xA9"}}, // a named page
        {"\xEF\xBB\xBF\xC3\xA9", 1252, {"\xC3\xA9"}},   // a mark wins
        {"a", 0, {"a"}},
        {"", 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadLines(c.bytes, c.named), c.lines) << c.bytes;
}

TEST(LoadFromFile, KeepsThePageOfAProcessWithoutUtf8) {
    setenv("ZEMRUN_CODEPAGE", "1252", 1);
    // Legacy text stays as it is; a character that the page cannot hold refuses its line.
    EXPECT_EQ(LoadLines("caf\xE9"), Lines{"caf\xE9"});
    EXPECT_EQ(LoadLines("caf\xC3\xA9\r\n\xE6\x9D\xB1.txt"),
              (Lines{"caf\xE9", std::string("?.txt\0", 6)}));
    unsetenv("ZEMRUN_CODEPAGE");
}

TEST(TextCodec, ValidatesUtf8AndCountsUtf16Units) {
    EXPECT_TRUE(IsValidUtf8("a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF"));
    for (const char* bad :
         {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\x80", "\xF8"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    // A sequence cut between two pieces is still one character.
    TvxUtf8Validator pieces;
    pieces.Feed("a\xF0\x9F");
    EXPECT_FALSE(pieces.Valid());
    pieces.Feed("\x8E\xB5");
    EXPECT_TRUE(pieces.Valid());
    EXPECT_EQ(Utf16Length("a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x8E\xB5"), 5u);
    EXPECT_TRUE(FitsUtf16Units("\xE6\x9D\xB1\xE6\x9D\xB1", 2));
    EXPECT_FALSE(FitsUtf16Units("\xE6\x9D\xB1\xE6\x9D\xB1", 1));
    EXPECT_EQ(FirstUtf16Units("a\xF0\x9F\x8E\xB5"
                              "b",
                              2),
              "a"); // half a pair is no character
    EXPECT_EQ(FirstUtf16Units("a\xF0\x9F\x8E\xB5"
                              "b",
                              3),
              "a\xF0\x9F\x8E\xB5");
    // Shown in a control: whole where it fits, else cut before an ellipsis.
    EXPECT_EQ(ShownText("abc", 3), "abc");
    EXPECT_EQ(ShownText("abcd", 3), "ab\xE2\x80\xA6");
    EXPECT_EQ(ShownText("a\xF0\x9F\x8E\xB5zz", 3), "a\xE2\x80\xA6");
    for (const auto& [name, page] : std::vector<std::pair<const char*, uint32_t>>{
             {"", 0}, {"utf-8", 65001}, {" UTF-16BE ", 1201}, {"Ansi", 1252}, {"1252", 1252}}) {
        uint32_t codePage = 7;
        EXPECT_TRUE(ReadEncodingName(name, codePage)) << name;
        EXPECT_EQ(codePage, page) << name;
    }
    EXPECT_EQ(DetectTextFormat("a", true).codePage, 0u);
    EXPECT_EQ(DetectTextFormat(std::string("a\0b", 3), true).codePage, 0u); // odd length
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

    // UTF-16 with a surrogate pair cut by the chunk's end, and UTF-8 whose first invalid
    // byte comes after the first chunk.
    std::string wide = "\xFF\xFE";
    for (size_t i = 0; i < chunk / 2 - 2; ++i)
        wide += std::string("a\0", 2);
    wide += std::string("\x3C\xD8\xB5\xDF\r\0", 6);
    EXPECT_EQ(LoadLines(wide), Lines{std::string(chunk / 2 - 2, 'a') + "\xF0\x9F\x8E\xB5"});
    EXPECT_EQ(LoadLines(std::string(chunk, 'x') + "\r\n\xE9"),
              (Lines{std::string(chunk, 'x'), "\xC3\xA9"}));
}

TEST(LoadFromFile, AppendsToWhatTheListHolds) {
    TvxStringList list;
    list.Add("first");
    list.LoadFromFile(WriteTemp("append.txt", "second"));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Strings(1), "second");
}

TEST(LoadFromFile, AnUnreadableFileIsAnInOutFailureThatNamesIt) {
    TvxStringList list;
    const auto folder = std::filesystem::temp_directory_path();
    // Devices are never read: one that never ends would keep the read going for ever.
    for (const std::string& path :
         {folder.string(), (folder / "zemrun_no_such_file").string(), std::string("/dev/zero")}) {
        try {
            list.LoadFromFile(path);
            ADD_FAILURE() << path;
        } catch (const TvxInOutError& error) {
            EXPECT_NE(error.code, 0) << path;
            EXPECT_EQ(error.path, path);
        }
    }
    EXPECT_EQ(list.Count(), 0);
}

} // namespace

namespace {
// The files a process holds open, as the system counts them.
size_t OpenFileCount() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        count += entry.exists() ? 1 : 0;
    return count;
}
} // namespace

TEST(FileReaderAndWriter, MoveTheirFileAndCloseItOnce) {
    const std::string path = WriteTemp("moved.txt", "");
    const size_t before = OpenFileCount();
    {
        TvxFileWriter writer(path);
        TvxFileWriter moved(std::move(writer));
        moved.Write("abc");
        TvxFileWriter other(path + ".2");
        other = std::move(moved); // the file of other is closed with moved
        other.Close();
    }
    {
        TvxFileReader reader(path);
        TvxFileReader moved(std::move(reader));
        char buffer[8];
        EXPECT_EQ(moved.Read(buffer, sizeof buffer), 3u);
    }
    EXPECT_EQ(OpenFileCount(), before);
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".2");
}
