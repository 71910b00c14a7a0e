#include "foundation/vxFileUtils.h"
#include "foundation/vxStrUtils.h"
#include "launcher/zemrunU.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

TEST(ReadInteger, ReadsSignsPrefixesAndStopsEarlyWithoutTheSign) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"250ms", 250}, {"abc", 0},   {"$10", 16},       {"-5", -5},   {"-5x", 5},
        {" 42", 42},    {"0x1F", 31}, {"7 days", 7},     {"", 0},      {"+12", 12},
        {"x1f", 31},    {"X1F", 31},  {"0X10", 16},      {"-", 0},     {"$", 0},
        {"-0x10", 0},   {"12ab", 12}, {"$FFFFFFFF", -1}, {"  -7", -7}, {"\t5", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(Trim, RemovesControlCharactersAndBlanksAtBothEnds) {
    EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0"); // codes above 32 stay
}

TEST(AnsiCase, FoldsLettersOfTheProcessCodePage) {
    EXPECT_EQ(AnsiUpperCase("abc\xC3\xA9 \xD1\x84\xD0\xBE\xD1\x82\xD0\xBE \xC5\x93 \xE6\x9D\xB1"),
              "ABC\xC3\x89 \xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E \xC5\x92 \xE6\x9D\xB1"); // é фото œ 東
    EXPECT_TRUE(SameTextAnsi("\xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E",
                             "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE")); // ФОТО, Фото
    setenv("ZEMRUN_CODEPAGE", "1252", 1);
    EXPECT_EQ(AnsiUpperCase("abc\xE9\xFF\x9A"), "ABC\xC9\x9F\x8A");
    unsetenv("ZEMRUN_CODEPAGE");
    EXPECT_TRUE(SameTextAnsi("General", "GENERAL"));
    EXPECT_FALSE(SameTextAnsi("Convert ", "Convert"));
    EXPECT_TRUE(SameTextAnsi("C:\\Tools\\Conv.EXE", "c:\\tools\\conv.exe"));
    EXPECT_FALSE(SameTextAnsi("a[", "A{")); // only letters fold
    EXPECT_TRUE(
        SameTextAnsi("caf\xC3\xA9.exe", "CAF\xC3\x89.EXE")); // beyond ASCII, by the code page
    EXPECT_EQ(AnsiUpperChar(0xDF), 0xDF);                    // sharp s has no single upper case
    EXPECT_EQ(AnsiLowerChar(0xD7), 0xD7);                    // the multiplication sign is no letter
}

TEST(Paths, SafeFileNamesReplaceWhatNoFileNameHolds) {
    const std::pair<const char*, const char*> cases[] = {
        {"Convert pictures", "Convert pictures"},
        {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"ends. . ", "ends____"},
        {"CON", "CON_"},
        {"nul.txt", "nul_.txt"},
        {"com7", "com7_"},
        {"COM0", "COM0"},
        {"CONSOLE", "CONSOLE"},
        {"tab\there", "tab_here"},
        {"\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE"},
    };
    for (const auto& [name, file] : cases)
        EXPECT_EQ(SafeFileName(name), file) << name;
}

TEST(Paths, SplitNameFolderAndExtension) {
    EXPECT_EQ(PathExtension("a.b\\c"), "");
    EXPECT_EQ(PathExtension("archive.tar.gz"), ".gz");
    EXPECT_EQ(PathExtension("name."), ".");
    EXPECT_EQ(PathExtension(".txt"), ".txt");
    EXPECT_EQ(PathExtension(""), "");
    EXPECT_EQ(PathExtension("D:file"), "");
    EXPECT_EQ(PathFileName("D:\\x\\y.lng"), "y.lng");
    EXPECT_EQ(PathFileName("y.lng"), "y.lng");
    EXPECT_EQ(PathFileName("D:\\x\\"), "");
    EXPECT_EQ(PathFolder("D:\\x\\y.lng"), "D:\\x\\");
    EXPECT_EQ(PathFolder("y.lng"), "");
    EXPECT_EQ(PathFolder("\\y.lng"), "");
    EXPECT_EQ(PathFolder("a/b:c"), "a/b:");
}

TEST(ExpandEnvironment, ReplacesSetNamesAndKeepsTheRest) {
    setenv("ZEMRUN_T1", "one", 1);
    unsetenv("ZEMRUN_NO_SUCH_VAR");
    EXPECT_EQ(ExpandEnvironment("%ZEMRUN_NO_SUCH_VAR%\\x"), "%ZEMRUN_NO_SUCH_VAR%\\x");
    EXPECT_EQ(ExpandEnvironment("a%ZEMRUN_T1%b"), "aoneb");
    EXPECT_EQ(ExpandEnvironment("100% %ZEMRUN_T1%"), "100% one"); // "% " is no reference
    EXPECT_EQ(ExpandEnvironment("50%"), "50%");
    EXPECT_EQ(ExpandEnvironment(""), "");
}

TEST(FileSystem, ExistsFindsWildcardsAndCreateFolderPathStopsAtTheFileName) {
    const auto root = std::filesystem::temp_directory_path() / "zemrun_unit_fs";
    std::filesystem::remove_all(root);
    CreateFolderPath((root / "a" / "b" / "options.ini").string());
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b"));
    EXPECT_FALSE(std::filesystem::exists(root / "a" / "b" / "options.ini"));
    EXPECT_FALSE(PathExists((root / "*.txt").string()));
    std::ofstream(root / "one.txt") << "x";
    EXPECT_TRUE(PathExists((root / "*.txt").string()));
    EXPECT_TRUE(PathExists(root.string()));
    EXPECT_FALSE(PathExists(""));
    EXPECT_FALSE(FindOnSearchPath(""));
    EXPECT_TRUE(FindOnSearchPath("sh"));
    std::filesystem::remove_all(root);
}

TEST(FileSystem, WildcardsExpandInTheLastComponentInExplorersOrder) {
    const auto root = std::filesystem::temp_directory_path() / "zemrun_unit_wild";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "sub dir");
    for (const char* name : {"p10.jpg", "p2.jpg", "P1.JPG", ".hidden.jpg", "x.txt"})
        std::ofstream(root / "sub dir" / name) << "x";
    const std::string folder = (root / "sub dir").string() + "/";
    struct Case {
        std::string pattern;
        std::vector<std::string> names;
    } cases[] = {
        {folder + "*.jpg", {folder + "p2.jpg", folder + "p10.jpg"}}, // glob's case counts here
        {folder + "?1*", {folder + "P1.JPG", folder + "p10.jpg"}},
        {folder + "*.none", {folder + "*.none"}}, // nothing matches: as written
        {folder + "x.txt", {folder + "x.txt"}},
        {root.string() + "/sub*/x.txt", {root.string() + "/sub*/x.txt"}}, // the folder part
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandWildcards(c.pattern), c.names) << c.pattern;
    std::filesystem::remove_all(root);

    const std::tuple<const char*, const char*, int> orders[] = {
        {"p2.jpg", "p10.jpg", -1}, {"P1.JPG", "p2.jpg", -1}, {"a", "B", -1},
        {"img007", "img7", 0},     {"x9y", "x10", -1},       {"ab", "a", 1}};
    for (const auto& [a, b, order] : orders) {
        EXPECT_EQ(CompareLogical(a, b), order) << a << " " << b;
        EXPECT_EQ(CompareLogical(b, a), -order) << b << " " << a;
    }
}

TEST(QuoteIfBlank, QuotesTextsWithBlanksUnlessAlreadyQuoted) {
    EXPECT_EQ(QuoteIfBlank("a b"), "\"a b\"");
    EXPECT_EQ(QuoteIfBlank("\"a b\""), "\"a b\"");
    EXPECT_EQ(QuoteIfBlank(" ab "), "\"ab\"");
    EXPECT_EQ(QuoteIfBlank("ab"), "ab");
    EXPECT_EQ(QuoteIfBlank("\tab\t"), "\"ab\""); // a tab asks for quotes as a blank does
    EXPECT_EQ(QuoteIfBlank("a\tb"), "\"a\tb\"");
    EXPECT_EQ(QuoteIfBlank("a\nb"), "a\nb");
    // Backslashes before a closing quote that is added are doubled, so that the quote
    // still closes; a text that begins with a quote passes as written.
    EXPECT_EQ(QuoteIfBlank("C:\\My Docs\\"), "\"C:\\My Docs\\\\\"");
    EXPECT_EQ(QuoteIfBlank("a b\\\\"), "\"a b\\\\\\\\\"");
    EXPECT_EQ(QuoteIfBlank("\"C:\\My Docs\\\""), "\"C:\\My Docs\\\"");
    EXPECT_EQ(QuoteIfBlank("C:\\Docs\\"), "C:\\Docs\\");
    EXPECT_EQ(QuoteIfBlank("   "), "");
    EXPECT_EQ(QuoteIfBlank(""), "");
    EXPECT_EQ(QuoteIfBlank("/out:\"a b\""), "\"/out:\"a b\"\"");
}

TEST(UnquoteItem, TakesOffOnePairAroundAWholeName) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"D:\\My Photos\\a.jpg\"", "D:\\My Photos\\a.jpg"},
        {"  \"a.jpg\"\t", "a.jpg"},
        {"\"\"", ""},
        {"\"a.jpg", "\"a.jpg"}, // one end only
        {"a.jpg\"", "a.jpg\""},
        {"\"a b\" -x", "\"a b\" -x"},   // quoted on purpose
        {"\"a\" \"b\"", "\"a\" \"b\""}, // two quoted names
        {"\"a\"b\"", "\"a\"b\""},       // a quote inside
        {"\"", "\""},
        {"plain", "plain"},
    };
    for (const auto& [item, unquoted] : cases)
        EXPECT_EQ(UnquoteItem(item), unquoted) << item;
}

TEST(CreateProcessCommand, QuotesAProgramWithBlanksSoThatWindowsFindsTheWholePath) {
    setenv("ZEMRUN_T_PF", "C:\\Program Files", 1);
    struct Case {
        const char* program;
        const char* parameters;
        const char* command;
    };
    const Case cases[] = {
        {"C:\\Program Files\\App\\app.exe", "-q  a.jpg",
         "\"C:\\Program Files\\App\\app.exe\" -q  a.jpg"},
        {"C:\\Tools\\app.exe", "-q  a.jpg", "C:\\Tools\\app.exe -q  a.jpg"},
        {"\"C:\\Program Files\\app.exe\"", "x", "\"C:\\Program Files\\app.exe\" x"},
        {"%ZEMRUN_T_PF%\\app.exe", "x",
         "\"C:\\Program Files\\app.exe\" x"}, // blanks after expansion
        {"C:\\Tab\tbed\\a.exe", "", "\"C:\\Tab\tbed\\a.exe\""},
        {"  C:\\a b\\x.exe ", " y ", "\"C:\\a b\\x.exe\"  y"},
        {"", "\"C:\\My Tools\\x.exe\" -v",
         "\"C:\\My Tools\\x.exe\" -v"}, // the item is its own command
        {"", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CreateProcessCommand(c.program, c.parameters), c.command) << c.program;
    unsetenv("ZEMRUN_T_PF");
}

TEST(CreateProcessCommand, ACommandThatCannotPassWholeIsRefused) {
    EXPECT_TRUE(CanPassWhole("prog a.txt"));
    EXPECT_TRUE(CanPassWhole(std::string(MaxCommandLine, 'x')));
    EXPECT_FALSE(CanPassWhole(std::string(MaxCommandLine + 1, 'x')));
    EXPECT_FALSE(CanPassWhole(std::string("prog a\0b -z", 12)));
}

TEST(SplitQuoted, SplitsOutsideQuotesOnly) {
    TvxStringList pieces;
    auto split = [&](const char* text) {
        SplitQuoted(text, ' ', pieces);
        std::vector<std::string> out;
        for (int32_t i = 0; i < pieces.Count(); ++i)
            out.push_back(pieces.Strings(i));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split("/in:$1 \"$1 copy.txt\""), (V{"/in:$1", "\"$1 copy.txt\""}));
    EXPECT_EQ(split("a  b"), (V{"a", "", "b"}));
    EXPECT_EQ(split(" a"), (V{"", "a"}));
    EXPECT_EQ(split("a "), (V{"a"}));
    EXPECT_EQ(split(""), (V{}));
    EXPECT_EQ(split("x\"a b"), (V{"x\"a b"})); // an open quote runs to the end
}

} // namespace
