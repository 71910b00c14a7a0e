#include "foundation/vxIniFile.h"
#include "resources/zemrunStrings.h"
#include "ui/DlgLocaleU.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class Locale : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = (std::filesystem::temp_directory_path() /
                 ("zemrun_lang_" + std::to_string(getpid()) + ".lng"))
                    .string();
        std::ofstream(file_, std::ios::binary)
            << "[0]\r\n101=Liste\r\n102=\r\n103=eins\\nzwei\r\n-5=minus\r\n"
               "[1]\r\n104=andere\r\n";
    }
    void TearDown() override { std::filesystem::remove(file_); }
    std::string Translate(const std::string& text, int32_t& mark) {
        return TranslateTokens(text, file_, mark);
    }
    std::string file_;
};

TEST_F(Locale, LangStringPrefersTheLanguageFileAndFallsBack) {
    EXPECT_EQ(LangString(file_, 101), "Liste");
    EXPECT_EQ(LangString(file_, 102), "Executable"); // an empty value gives the built-in text
    EXPECT_EQ(LangString(file_, 103), "eins\r\nzwei");
    EXPECT_EQ(LangString(file_, 104), "End Parameters"); // other sections are not read
    EXPECT_EQ(LangString(file_, 9999), "");
    EXPECT_EQ(LangString(file_ + ".missing", 2), "Skip");
    const std::string usage = LangString(std::string(), 10);
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 2); // stored line feeds stay
    EXPECT_EQ(usage.find('\r'), std::string::npos);
}

TEST_F(Locale, TokensFollowTheirRules) {
    struct Case {
        const char* text;
        const char* result;
        int32_t mark;
    };
    const Case cases[] = {
        {"%101%", "Liste", 101},
        {"100%% sure", "100% sure", 0},
        {"%abc%", "%abc%", 0},
        {"%0%", "%0%", 0},
        {"50% of %101%", "50% of %101%", 0},
        {"%1 %2", "Cancel2", 1},
        {"%101%%102%", "ListeExecutable", 102},
        {"Label %101%", "Label Liste", 101},
        {"a % b", "a % b", 0},
        {"%-5%", "minus", -5},
        {"%-6%", "", -6},
        {"%x10%", "", 16},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        int32_t mark = 42;
        EXPECT_EQ(Translate(c.text, mark), c.result) << c.text;
        EXPECT_EQ(mark, c.mark) << c.text;
    }
}

TEST(GermanLanguageFile, TranslatesEveryBuiltInString) {
    const std::string file = std::string(ZEMRUN_SOURCE_DIR) + "/languages/deutsch.lng";
#define ZEMRUN_CHECK_ID(id, text)                                                                  \
    EXPECT_NE(ReadProfileString(file, "0", std::to_string(id), ""), "") << id;
    ZEMRUN_STRINGS(ZEMRUN_CHECK_ID)
#undef ZEMRUN_CHECK_ID
    // Its usage message names every switch that the program reads.
    const std::string usage = LangString(file, IDS_USAGE);
    const auto names = [&usage](const std::string& name) {
        for (size_t at = usage.find(name); at != std::string::npos; at = usage.find(name, at + 1))
            if (!std::isalpha(static_cast<unsigned char>(usage[at + name.size()]))) return true;
        return false;
    };
#define ZEMRUN_CHECK_SWITCH(name, form) EXPECT_TRUE(names("/" #name)) << #name;
    ZEMRUN_SWITCH_FORMS(ZEMRUN_CHECK_SWITCH)
#undef ZEMRUN_CHECK_SWITCH
    // The file is in the legacy page, Windows-1252; the text comes out in UTF-8.
    EXPECT_EQ(LangString(file, 2), "\xC3\x9C"
                                   "berspringen");
}

} // namespace
