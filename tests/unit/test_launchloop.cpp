#include "foundation/vxFileUtils.h"
#include "foundation/vxStrUtils.h"
#include "launcher/vxProccess.h"
#include "launcher/zemrunJobLog.h"
#include "launcher/zemrunStatusLine.h"
#include "launcher/zemrunU.h"
#include "recording_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>
#include <unistd.h>

namespace {

using V = std::vector<std::string>;

class LaunchLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        request = TRunRequest();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        listPath_ =
            (std::filesystem::temp_directory_path() /
             ("zemrun_unit_" + std::string(test->name()) + "_" + std::to_string(getpid()) + ".txt"))
                .string();
    }
    void TearDown() override { std::filesystem::remove(listPath_); }

    void Run(const std::string& listBytes) {
        std::ofstream(listPath_, std::ios::binary) << listBytes;
        settings.List = listPath_;
        status = RunList(host, host, request);
    }
    int Count(const std::string& entry) const {
        return int(std::count(host.log.begin(), host.log.end(), entry));
    }
    // A fresh start for a table row: p.exe without waits, pause or progress window.
    void StartOver() {
        request = TRunRequest();
        host = TRecordingHost();
        settings.Exe = "p.exe";
        settings.WaitOpen = false;
        settings.FirstPause = 0;
        settings.GUI = 0;
    }
    static std::string ReadAll(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    }

    TRunRequest request;
    TOptions& settings = request.settings;
    TRecordingHost host;
    std::string listPath_;
    uint32_t status = 0;
};

TEST_F(LaunchLoop, BuildsCommandsWithBlanksForEmptyPartsAndQuotedItems) {
    settings.Exe = "notepad.exe";
    settings.BParam = "-a";
    settings.Eparam = "-z";
    settings.WaitOpen = false;
    Run("my file.txt\r\n\r\nnotepad.exe\r\n  spaced  \r\n");
    EXPECT_EQ(host.commands,
              (V{"create|notepad.exe|-a  \"my file.txt\" -z|prog",
                 "create|notepad.exe|-a   -z|prog", // an empty line: only the parameters
                 "create||-a  notepad.exe -z|prog", // the item equal to the program
                 "create|notepad.exe|-a  \"spaced\" -z|prog"}));
}

TEST_F(LaunchLoop, WithoutParametersOnlyTheQuotedItemRemains) {
    settings.Exe = "notepad.exe";
    Run("my file.txt");
    EXPECT_EQ(host.commands, (V{"create|notepad.exe|\"my file.txt\"|prog"}));
}

TEST_F(LaunchLoop, ParametersAreUsedExactlyAsStoredInside) {
    settings.Exe = "conv.exe";
    settings.BParam = "  -q  \"x y\"";
    settings.Eparam = "%OUT%  ";
    settings.WaitOpen = false;
    Run("b c.jpg");
    EXPECT_EQ(host.commands, (V{"create|conv.exe|-q  \"x y\"  \"b c.jpg\" %OUT%|prog"}));
}

TEST_F(LaunchLoop, RegisteredProgramsAreSplitOncePerExtensionText) {
    host.associations[".txt"] = "  \"D:\\Tools\\ed.exe\" /x \"%1\" ";
    host.associations[".TXT"] = "\"D:\\Tools\\ed.exe\" /x \"%1\"";
    host.associations[".doc"] = "app.exe \"%L\" %* %2";
    host.associations[".rtf"] = "app.exe /file=%1 /p";
    settings.BParam = "-b";
    settings.WaitOpen = false;
    Run("a.txt\rb.txt\rc.TXT\rd.doc\re.rtf\rf.none\rg.none\rnoext\rh.txt");
    EXPECT_EQ(
        host.commands,
        (V{"create|D:\\Tools\\ed.exe|-b /x a.txt|prog", "create|D:\\Tools\\ed.exe|-b /x b.txt|prog",
           "create|D:\\Tools\\ed.exe|-b /x c.TXT|prog", "create|app.exe|-b %L d.doc|prog",
           "create|app.exe|-b /file=%1 /p e.rtf|prog", "create||-b  f.none|noprog",
           "create||-b  g.none|noprog", "create||-b  noext|noprog",
           "create|D:\\Tools\\ed.exe|-b /x h.txt|prog"}));
    EXPECT_EQ(host.assocLookups[".txt"], 1);
    EXPECT_EQ(host.assocLookups[".TXT"], 1);
    EXPECT_EQ(host.assocLookups[".none"], 2); // misses are not cached
    EXPECT_EQ(host.assocLookups[""], 1);
}

TEST_F(LaunchLoop, NamesCopiedAsPathLoseTheirQuotesBeforeAnythingSeesThem) {
    host.associations[".zqt"] = "\"C:\\ed.exe\" \"%1\"";
    settings.WaitOpen = false;
    settings.FirstPause = 0;
    settings.GUI = 0;
    Run("\"D:\\My Files\\a.zqt\"\n\"D:\\b.zqt\"\n\"a b\" -x\n");
    EXPECT_EQ(host.commands, (V{"create|C:\\ed.exe|\"D:\\My Files\\a.zqt\"|prog",
                                "create|C:\\ed.exe|D:\\b.zqt|prog", "create||\"a b\" -x|noprog"}));
    StartOver();
    settings.RegExp = "^(.*)\\.zqt$";
    settings.Eparam = "$1.out";
    Run("\"D:\\My Files\\a.zqt\"\r\n");
    EXPECT_EQ(host.commands,
              (V{"create|p.exe|  \"D:\\My Files\\a.zqt\" \"D:\\My Files\\a.out\" |prog"}));
}

// The parameters of one item's command.
TStartCommand CommandOf(const std::string& program, const std::string& begin,
                        const std::string& end, const TRunItem& item,
                        const std::string& expression = "", int32_t number = 1, int32_t slot = 1) {
    TOptions settings;
    SetDefaultOptions(settings);
    settings.Exe = program;
    settings.BParam = begin;
    settings.Eparam = end;
    settings.RegExp = expression;
    TRunItems items(size_t(number - 1)); // the item at its number
    items.push_back(item);
    return TCommandBuilder(settings, [](const std::string&) { return std::string(); })
        .Build(items, number - 1, 1, slot);
}
std::string ParametersOf(const std::string& begin, const std::string& end, const std::string& item,
                         const std::string& expression = "", int32_t number = 1, int32_t slot = 1) {
    return CommandOf("p.exe", begin, end, {item, false}, expression, number, slot).parameters;
}

TEST(Placeholders, StandForThePartsOfTheItem) {
    const char* const items[] = {"D:\\Photos\\a b.jpg",
                                 "a.tar.gz",
                                 "C:\\x.jpg",
                                 "notes",
                                 "D:/dir.x/f",
                                 ".txt",
                                 "C:",
                                 "D:\\dir\\",
                                 "a.",
                                 "\\\\srv\\share\\\xC3\xA9t\xC3\xA9.png"};
    const std::pair<const char*, V> parts[] = {
        {"{.}",
         {"\"D:\\Photos\\a b\"", "a.tar", "C:\\x", "notes", "D:/dir.x/f", "", "C:", "D:\\dir\\",
          "a", "\\\\srv\\share\\\xC3\xA9t\xC3\xA9"}},
        {"{/}",
         {"\"a b.jpg\"", "a.tar.gz", "x.jpg", "notes", "f", ".txt", "", "", "a.",
          "\xC3\xA9t\xC3\xA9.png"}},
        {"{//}",
         {"D:\\Photos", ".", "C:\\", ".", "D:/dir.x", ".", "C:", "D:\\dir", ".", "\\\\srv\\share"}},
        {"{/.}", {"\"a b\"", "a.tar", "x", "notes", "f", "", "", "", "a", "\xC3\xA9t\xC3\xA9"}},
    };
    for (const auto& [placeholder, expected] : parts)
        for (size_t i = 0; i < std::size(items); ++i)
            EXPECT_EQ(ParametersOf(std::string("-o ") + placeholder, "", items[i]),
                      Trim("-o " + expected[i] + "  " + QuoteIfBlank(items[i])))
                << placeholder << " of " << items[i];
}

TEST(Placeholders, FillTheirPieceAloneAndLeaveEverythingElseAsWritten) {
    const struct {
        const char *begin, *end, *item, *expression;
        std::string parameters;
    } cases[] = {
        // {} places the item itself, so it does not stand between the parameters again.
        {"-i {} -o {/.}.png", "", "D:\\Photos\\a b.jpg", "",
         "-i \"D:\\Photos\\a b.jpg\" -o \"a b.png\""},
        {"", "--out={//}\\out\\{/.}.png  -q", "D:\\in\\a.jpg", "",
         "D:\\in\\a.jpg --out=D:\\in\\out\\a.png  -q"},
        {"  -q  \"x y\" {#}/{%}", "{x} {1} {\"a\":1} {. {", "b c", "",
         "-q  \"x y\" 7/3  \"b c\" {x} {1} {\"a\":1} {. {"},
        // With an expression groups and placeholders share a piece, and neither reads the
        // other's text.
        {"$1-{/.}.$2", "{}", "D:\\a$1.{x}", "(\\w+)\\.(.*)$", "1-a$1.{x}  D:\\a$1.{x}"},
        {"%ZEMRUN_T_DIR%\\{/}", "", "a.txt", "", "\"C:\\t dir\\a.txt\"  a.txt"},
        {"-{.}", "", "", "", "-"}, // an empty item
    };
    setenv("ZEMRUN_T_DIR", "C:\\t dir", 1);
    for (const auto& c : cases)
        EXPECT_EQ(Trim(ParametersOf(c.begin, c.end, c.item, c.expression, 7, 3)), c.parameters)
            << c.begin << " | " << c.end;
    unsetenv("ZEMRUN_T_DIR");
}

TEST(ItemTexts, ReachTheProgramThatReadsTheCommandAsOneArgumentEach) {
    setenv("ZEMRUN_T_DIR", "C:\\t dir", 1);
    setenv("ComSpec", "C:\\Windows\\system32\\cmd.exe", 1);
    const struct {
        const char *program, *begin;
        TRunItem item;
        const char *expression, *parameters;
    } cases[] = {
        // A program's C runtime reads its arguments back exactly.
        {"p.exe", "", {"c\"d", true}, "", "c\\\"d"},
        {"p.exe", "", {"a b\\", true}, "", "\"a b\\\\\""},
        {"p.exe",
         "-o {/.}.png",
         {"D:\\x\"y z.pdf", true},
         "",
         "-o \"x\\\"y z.png\"  \"D:\\x\\\"y z.pdf\""},
        {"p.exe", "", {"a \"b\" c", false}, "", "\"a \\\"b\\\" c\""},
        // A line's references are expanded, a name's never; each is quoted as it then is.
        {"p.exe", "", {"%ZEMRUN_T_DIR%\\a.txt", false}, "", "\"C:\\t dir\\a.txt\""},
        {"p.exe", "", {"%ZEMRUN_T_DIR%\\a.txt", true}, "", "%ZEMRUN_T_DIR%\\a.txt"},
        {"p.exe",
         "{//}\\out",
         {"%ZEMRUN_T_DIR%\\a.txt", true},
         "",
         "%ZEMRUN_T_DIR%\\out  %ZEMRUN_T_DIR%\\a.txt"},
        {"p.exe",
         "$1",
         {"%ZEMRUN_T_DIR%.txt", true},
         "(.*)\\.txt",
         "%ZEMRUN_T_DIR%  %ZEMRUN_T_DIR%.txt"},
        {"p.exe", "%ZEMRUN_T_{/.}%", {"DIR.txt", true}, "", "\"C:\\t dir\"  DIR.txt"},
        // cmd gets every text of an item in quotes where it holds anything of its own.
        {"conv.bat", "", {"AT&T.pdf", false}, "", "\"AT&T.pdf\""},
        {"conv.bat", "", {"x^y.txt", true}, "", "\"x^y.txt\""},
        {"conv.bat", "", {"50%OS%.txt", true}, "", "\"50%%cd:~,%OS%%cd:~,%.txt\""},
        {"conv.bat",
         "-o {/.}.png",
         {"D:\\in\\AT&T.pdf", true},
         "",
         "-o \"AT&T.png\"  \"D:\\in\\AT&T.pdf\""},
        {"conv.bat", "--out={/.}.png", {"a.pdf", true}, "", "--out=a.png  a.pdf"},
        {"conv.bat", "$1.txt", {"AT&T.pdf", true}, "(.*)\\.pdf", "\"AT&T.txt\"  \"AT&T.pdf\""},
        {"%ComSpec%", "/c type", {"a|b>c.txt", true}, "", "/c type  \"a|b>c.txt\""},
        // The user's own operators and quotes keep their meaning around the item's texts.
        {"cmd", "/c type {} >{/.}.out", {"a&b.txt", true}, "", "/c type \"a&b.txt\" >\"a&b\".out"},
        {"cmd", "/c type {} >{/.}.out", {"ab.txt", true}, "", "/c type ab.txt >ab.out"},
        {"conv.bat",
         "\"{/.} x.png\"",
         {"50%.txt", true},
         "",
         "\"50%%cd:~,% x.png\"  \"50%%cd:~,%.txt\""},
        // A line quoted by its author stays as written; blanks around a line still go.
        {"conv.bat", "", {"\"a b\" -x&y", false}, "", "\"a b\" -x&y"},
        {"conv.bat", "", {"  spaced  ", false}, "", "\"spaced\""},
    };
    for (const auto& c : cases) {
        const TStartCommand start = CommandOf(c.program, c.begin, "", c.item, c.expression);
        EXPECT_EQ(Trim(start.parameters), c.parameters) << c.program << " " << c.item.text;
        EXPECT_EQ(start.refusal, 0u);
    }
    // What cmd cannot be given whole is refused; any other program takes it.
    EXPECT_EQ(CommandOf("conv.bat", "", "", {"a\nb", true}).refusal, UnpassableItemError);
    EXPECT_EQ(CommandOf("conv.bat", "{/.}", "", {"a\rb.txt", false}).refusal, UnpassableItemError);
    EXPECT_EQ(CommandOf("p.exe", "", "", {"a\nb", true}).refusal, 0u);
    // A zero character is kept, for the starter to refuse the command it would cut.
    EXPECT_EQ(
        CommandOf("p.exe", "%ZEMRUN_T_DIR%", std::string("-z\0%1", 5), {"a", false}).parameters,
        std::string("C:\\t dir  a -z\0%1", 17));
    unsetenv("ZEMRUN_T_DIR");
    unsetenv("ComSpec");
}

TEST_F(LaunchLoop, TheNumberStaysOnResumeAndTheSlotIsTheOneTheProgramRunsIn) {
    const std::string logPath = listPath_ + ".log";
    const auto startOver = [&](bool resume) {
        StartOver();
        settings.BParam = "{#}-{%}";
        settings.JobLog = logPath;
        settings.Resume = resume;
        settings.WaitClose = true;
        settings.Jobs = 3;
    };
    startOver(false);
    host.runsForMs = {{1, 50}, {2, 10}, {3, 40}, {4, 10}};
    Run("a\rb\rc\rd\re");
    // d takes the slot that b left, e the one that d left.
    EXPECT_EQ(host.commands,
              (V{"create|p.exe|1-1  a|prog", "create|p.exe|2-2  b|prog", "create|p.exe|3-3  c|prog",
                 "create|p.exe|4-2  d|prog", "create|p.exe|5-2  e|prog"}));
    // Resumed, the done ones are known in whatever slot they ran; e failed, and the others
    // take the slots that are free now.
    startOver(true);
    std::ofstream(logPath, std::ios::binary | std::ios::trunc)
        << std::string(JobLogHeader) + "\r\n" + "b\tt\t1\t0\t0\tp.exe 2-2  b\r\n" +
               "d\tt\t1\t0\t0\tp.exe 4-2  d\r\n" + "e\tt\t1\t1\t0\tp.exe 5-2  e\r\n";
    Run("a\rb\rc\rd\re");
    EXPECT_EQ(host.commands, (V{"create|p.exe|1-1  a|prog", "create|p.exe|3-2  c|prog",
                                "create|p.exe|5-3  e|prog"}));
    std::filesystem::remove(logPath);
}

TEST_F(LaunchLoop, SeveralItemsShareACommandByCountByLengthAndByProgram) {
    const std::string wide(10000, 'w');
    const struct {
        const char *exe, *begin, *end;
        bool shell;
        std::string list;
        V commands;
    } cases[] = {
        {"p.exe", "-q", "", false, "a\rb c\rd\re\rf", {"p.exe|-q  a \"b c\" d", "p.exe|-q  e f"}},
        // A piece with a placeholder or a group reference is repeated for every item.
        {"p.exe",
         "-i {}",
         "--out={/.}.png -v",
         false,
         "a.jpg\rb.jpg",
         {"p.exe|-i a.jpg b.jpg  --out=a.png --out=b.png -v"}},
        {"p.exe", "{#}:{/}", "", false, "D:\\x\\a\rb", {"p.exe|1:a 2:b  D:\\x\\a b"}},
        // As many as fit: three of 10,000 characters in a command line, one in the shell's.
        {"p.exe",
         "",
         "",
         false,
         wide + "1\r" + wide + "2\r" + wide + "3\r" + wide + "4",
         {"p.exe|" + wide + "1 " + wide + "2 " + wide + "3", "p.exe|" + wide + "4"}},
        {"p.exe",
         "",
         "",
         true,
         std::string(1500, 's') + "\r" + std::string(1500, 't') + "\rx",
         {"p.exe|" + std::string(1500, 's'), "p.exe|" + std::string(1500, 't') + " x"}},
        // Only items that get the same registered program share one; an item that the
        // system opens by itself takes no other.
        {"",
         "",
         "",
         false,
         "a.txt\rb.txt\rc.doc\rd.txt\re.none\rf.none",
         {"ed.exe|/x a.txt b.txt", "wd.exe|c.doc", "ed.exe|/x d.txt", "|e.none", "|f.none"}},
    };
    for (const auto& c : cases) {
        StartOver();
        host.associations = {{".txt", "ed.exe /x \"%1\""}, {".doc", "wd.exe \"%1\""}};
        settings.Exe = c.exe;
        settings.BParam = c.begin;
        settings.Eparam = c.end;
        settings.ShellExecute = c.shell;
        settings.ItemsPerCommand = 3;
        Run(c.list);
        V commands;
        for (const std::string& command : host.commands) {
            const size_t program = command.find('|') + 1;
            commands.push_back(command.substr(program, command.rfind('|') - program));
        }
        EXPECT_EQ(commands, c.commands) << c.list.substr(0, 20);
    }
    // With an expression, each item's groups fill its own copy of the piece.
    StartOver();
    settings.RegExp = "(\\w)\\.jpg";
    settings.Eparam = "-o $1.png";
    settings.ItemsPerCommand = 5;
    Run("a.jpg\rb.jpg");
    EXPECT_EQ(host.commands, (V{"create|p.exe|  a.jpg b.jpg -o a.png b.png |prog"}));
}

TEST_F(LaunchLoop, ACommandOfSeveralItemsCountsThemAllAndResumesAsAWhole) {
    const std::string logPath = listPath_ + ".log";
    const auto startOver = [&](bool resume) {
        StartOver();
        settings.ItemsPerCommand = 2;
        settings.WaitClose = true;
        settings.JobLog = logPath;
        settings.Resume = resume;
        settings.Halt = 0;
    };
    std::filesystem::remove(logPath);
    startOver(false);
    host.exitCodes[2] = 1; // the command of c and "d e"
    Run("a\rb\rc\rd e\rf");
    EXPECT_EQ(status, 2u); // two items failed
    EXPECT_EQ(host.commands.size(), 3u);
    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("\r\nc \"d e\"\t"), std::string::npos) << log;
    // The resumed run makes the same commands and starts only the one that failed.
    startOver(true);
    Run("a\rb\rc\rd e\rf");
    EXPECT_EQ(host.commands, (V{"create|p.exe|c \"d e\"|prog"}));
    EXPECT_EQ(status, 0u);
    std::filesystem::remove(logPath);
}

TEST_F(LaunchLoop, NoLookupWithAProgramOrThroughTheShell) {
    host.associations[".txt"] = "ed.exe %1";
    settings.ShellExecute = true;
    settings.WaitOpen = false;
    Run("a.txt\rb.txt");
    EXPECT_TRUE(host.assocLookups.empty());
    EXPECT_EQ(host.commands, (V{"shell||a.txt|noprog", "shell||b.txt|noprog"}));
}

TEST(AssocTemplate, SplitsAroundThePlaceholder) {
    setenv("ZEMRUN_SR", "C:\\Win Dows", 1);
    auto split = [](const char* text) {
        const TAssociation a = SplitAssocTemplate(TvxCommandLine(text));
        return V{a.program, a.begin, a.end};
    };
    EXPECT_EQ(split("\"D:\\Tools\\ed.exe\" /x \"%1\""), (V{"D:\\Tools\\ed.exe", "/x", ""}));
    EXPECT_EQ(split("%ZEMRUN_SR%\\viewer.exe \"%1\" /p"),
              (V{"C:\\Win Dows\\viewer.exe", "", "/p"}));
    EXPECT_EQ(split("app.exe %1 %*"), (V{"app.exe", "", ""}));
    EXPECT_EQ(split("app.exe /d:%ZEMRUN_SR% %1"), (V{"app.exe", "\"/d:C:\\Win Dows\"", ""}));
    EXPECT_EQ(split("\"%1\" %*"), (V{"%1", "", ""}));
    EXPECT_EQ(split("app.exe % %10x"), (V{"app.exe", "%", ""}));
}

TEST_F(LaunchLoop, WaitOpenWaitsForIdleAndForTheProgramToShow) {
    settings.Exe = "C:\\tools\\p.exe";
    host.programShowsAfterMs = 300;
    Run("one");
    EXPECT_EQ(host.log, (V{"start", "idle 5000", "close"}));
    EXPECT_EQ(host.polls100, 3);
}

TEST_F(LaunchLoop, WaitOpenEndsWhenTheProcessEndsOrAfterTheLimit) {
    // Without the progress window nothing could skip the wait; with it, a program that
    // ends at once or never shows under its name kept every item waiting for Skip.
    for (const int gui : {1, 3}) {
        for (const uint32_t endsAfter : {700u, UINT32_MAX}) {
            request = TRunRequest();
            host.polls100 = 0;
            host.programNeverShows = true;
            host.processEndsAfterMs = endsAfter;
            settings.Exe = "C:\\full\\path\\prog.exe";
            settings.GUI = gui;
            Run("one");
            EXPECT_EQ(uint32_t(host.polls100) * WaitOpenPollMilliseconds,
                      endsAfter == UINT32_MAX ? WaitOpenLimitMilliseconds : endsAfter)
                << "GUI " << gui;
        }
    }
    EXPECT_EQ(Count("progress close"), 2);
}

// A process as the running-program check sees it, counting what it was asked.
struct TFakeProcess : TRunningProcess {
    std::string exeFile;
    bool modulesListed = true;
    std::vector<std::string> modules;
    bool imageKnown = true;
    std::string image;
    int moduleAsks = 0, imageAsks = 0;
    std::string ExeFile() override { return exeFile; }
    bool ModulePaths(std::vector<std::string>& paths) override {
        ++moduleAsks;
        paths = modules;
        return modulesListed;
    }
    bool ImagePath(std::string& path) override {
        ++imageAsks;
        path = image;
        return imageKnown;
    }
};

TEST(RunningProgram, TheFileNameDecidesFirstAndTheImagePathStandsInForModules) {
    struct Case {
        const char* name;
        bool modulesListed;
        bool imageKnown;
        bool matches;
        int moduleAsks, imageAsks;
    };
    // The process: C:\Program Files\App\app.exe, with a DLL beside it.
    const Case cases[] = {
        {"APP.EXE", true, true, true, 0, 0},              // the file name alone
        {"app", true, true, false, 0, 0},                 // no extension is added
        {"C:\\Other\\tool.exe", true, true, false, 0, 0}, // another file name: no snapshot
        {"C:\\Program Files\\App\\helper.dll", true, true, false, 0, 0}, // a module of another name
        {"c:\\program files\\app\\APP.exe", true, true, true, 1, 0},     // the module path
        {"D:\\Copy\\app.exe", true, true, false, 1, 0},                  // same name, other folder
        // A 32-bit process cannot list a 64-bit process's modules: the image path decides.
        {"C:\\Program Files\\App\\app.exe", false, true, true, 1, 1},
        {"D:\\Copy\\app.exe", false, true, false, 1, 1},
        {"C:\\Program Files\\App\\app.exe", false, false, false, 1, 1},
        {"C:\\App\\", true, true, false, 0, 0},
    };
    for (const Case& c : cases) {
        TFakeProcess process;
        process.exeFile = "app.exe";
        process.modules = {"C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App\\helper.dll"};
        process.image = "C:\\Program Files\\App\\app.exe";
        process.modulesListed = c.modulesListed;
        process.imageKnown = c.imageKnown;
        EXPECT_EQ(IsProgram(c.name, process), c.matches) << c.name;
        EXPECT_EQ(process.moduleAsks, c.moduleAsks) << c.name;
        EXPECT_EQ(process.imageAsks, c.imageAsks) << c.name;
    }
}

TEST_F(LaunchLoop, WaitOpenWithoutAProgramOnlyWaitsForIdle) {
    host.associations[".txt"] = "ed.exe %1";
    Run("a.txt");
    EXPECT_EQ(host.log, (V{"start", "idle 5000", "close"}));
    EXPECT_EQ(host.polls100, 0);
}

TEST_F(LaunchLoop, WaitCloseWaitsForEveryEndAndLeavesOutThePause) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.WaitClose = true;
    settings.GUI = 0;
    Run("a\rb");
    EXPECT_EQ(host.log,
              (V{"start", "any-wait 1 ends 1", "close", "start", "any-wait 1 ends 2", "close"}));
    EXPECT_EQ(host.openProcesses, 0);
}

TEST_F(LaunchLoop, PausesOnceAfterTheFirstItemOfLongerLists) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.GUI = 0;
    settings.FirstPause = 250;
    Run("a\rb\rc");
    EXPECT_EQ(host.log, (V{"start", "close", "sleep 250", "start", "close", "start", "close"}));

    request = TRunRequest();
    host.log.clear();
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    Run("only");
    EXPECT_EQ(Count("sleep 1000"), 0);
}

TEST_F(LaunchLoop, FailedStartsSkipTheWaitsButNotThePause) {
    host.startsFail = true;
    settings.Exe = "missing.exe";
    settings.WaitClose = false;
    settings.GUI = 0;
    Run("a\rb");
    EXPECT_EQ(host.log, (V{"start", "sleep 1000", "start"}));
}

TEST_F(LaunchLoop, ANegativePauseDoesNotSleep) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.GUI = 0;
    settings.FirstPause = -1;
    Run("a\rb");
    EXPECT_EQ(host.log, (V{"start", "close", "start", "close"}));
}

TEST_F(LaunchLoop, GuiModesDecideTheProgressWindowAndAreClamped) {
    struct Case {
        int32_t gui;
        bool waitClose;
        const char* list;
        bool shown;
        int32_t stored;
    };
    const Case cases[] = {{1, false, "a", false, 1},     {1, false, "a\rb", true, 1},
                          {2, false, "a\rb", false, 2},  {2, true, "a", true, 2},
                          {3, false, "", true, 3},       {7, false, "", true, 3},
                          {-2, false, "a\rb", false, 0}, {0, true, "a\rb", false, 0}};
    for (const Case& c : cases) {
        request = TRunRequest();
        host.log.clear();
        settings.Exe = "p.exe";
        settings.WaitOpen = false;
        settings.FirstPause = 0;
        settings.GUI = c.gui;
        settings.WaitClose = c.waitClose;
        Run(c.list);
        EXPECT_EQ(Count("progress start"), c.shown ? 1 : 0) << c.gui << " " << c.list;
        EXPECT_EQ(Count("progress close"), c.shown ? 1 : 0);
        EXPECT_EQ(settings.GUI, c.stored);
    }
}

TEST_F(LaunchLoop, ProgressFollowsTheItems) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.FirstPause = 0;
    settings.BParam = "-v";
    Run("a\rb c");
    EXPECT_EQ(host.log,
              (V{"progress start", "range 0..2", "pos 0", "text ", "start", "text -v  a", "pos 0",
                 "close", "start", "text -v  \"b c\"", "pos 1", "close", "progress close"}));
}

TEST_F(LaunchLoop, EveryStartGetsTheWindowModeAndPriorityOfTheRun) {
    StartOver();
    settings.Window = 3;
    settings.Priority = 2;
    Run("a\rb");
    EXPECT_EQ(host.modes, (std::vector<std::pair<int32_t, int32_t>>{{3, 2}, {3, 2}}));
}

TEST_F(LaunchLoop, AWindowThatCannotBeShownLetsTheRunGoOn) {
    host.progressAvailable = false;
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.GUI = 3;
    Run("a");
    EXPECT_FALSE(host.progressShown);
    EXPECT_EQ(host.log, (V{"progress failed", "start", "close"}));
}

TEST_F(LaunchLoop, SkipDuringTheWaitForTheEndGoesOnAndCountsOnce) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    settings.WaitClose = true;
    host.duringEndWait = [](TRecordingHost& h) {
        if (h.commands.size() == 1) h.skipEvent = true; // pressed twice while the first item runs
    };
    Run("a\rb");
    EXPECT_EQ(host.log, (V{"progress start", "range 0..2", "pos 0", "text ", "start", "text a",
                           "pos 0", "any-wait skipped", "close", "start", "text b", "pos 1",
                           "any-wait 1 ends 2", "close", "progress close"}));
    EXPECT_FALSE(host.skipEvent); // taken by the wait
}

TEST_F(LaunchLoop, SkipSeenAfterTheFirstItemLeavesOutThePause) {
    settings.Exe = "p.exe";
    settings.WaitOpen = false;
    int polls = 0;
    host.beforeEveryPoll = [&](TRecordingHost& h) {
        if (++polls == 3) h.skipEvent = true; // seen by the poll after the first item's waits
    };
    Run("a\rb");
    EXPECT_EQ(Count("sleep 1000"), 0);
    EXPECT_EQ(host.commands.size(), 2u);
}

TEST_F(LaunchLoop, SkipEndsTheWaitForTheProgramToShow) {
    settings.Exe = "p.exe";
    host.programNeverShows = true;
    host.beforeEveryPoll = [](TRecordingHost& h) {
        if (h.polls100 > 0 && h.polls100 % 3 == 0) h.skipEvent = true;
    };
    Run("a\rb");
    EXPECT_EQ(host.polls100, 7); // three polls into each item's wait, and the sleep that follows
    EXPECT_EQ(host.commands.size(), 2u);
    // The polls after the wait take the skip back, so the pause still follows.
    EXPECT_EQ(Count("sleep 1000"), 1);
}

TEST_F(LaunchLoop, CancelEndsTheWaitsAndStartsNothingMore) {
    settings.Exe = "p.exe";
    settings.WaitOpen = true;
    settings.WaitClose = true;
    host.programNeverShows = true;
    int polls = 0;
    host.beforeEveryPoll = [&](TRecordingHost& h) {
        if (++polls == 3) h.cancelEvent = true;
    };
    Run("a\rb\rc");
    EXPECT_EQ(host.commands.size(), 1u);
    EXPECT_TRUE(host.cancelEvent); // stays set
    EXPECT_EQ(Count("any-wait cancelled"), 1);
    EXPECT_EQ(Count("progress close"), 1);
    EXPECT_EQ(host.openProcesses, 0);
}

// The records of a job log after its header, split at their tabs.
std::vector<V> JobLogRecords(const std::string& path) {
    std::vector<V> records;
    std::ifstream file(path, std::ios::binary);
    std::string line;
    std::getline(file, line); // the header
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        V columns;
        for (size_t from = 0;;) {
            const size_t tab = line.find('\t', from);
            columns.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        records.push_back(columns);
    }
    return records;
}

// Starts wait for the machine's room: free memory and the processors' load hold a start
// back while a program runs, never the first; the delay holds every start after the first.
TEST_F(LaunchLoop, StartsWaitUntilTheMachineHasRoomAndOneAlwaysRuns) {
    const struct {
        const char* name;
        uint64_t memFree;
        int32_t load, delay;
        std::vector<uint32_t> startTimes;
        const char* held; // a status line's part while it waits
    } cases[] = {
        // 600 of 1000 free until 2.5 s: the second waits for the first's end, the third
        // starts beside it once memory is there.
        {"memory", 1000, NoLoadLimit, 0, {0, 2000, 2500}, "Memory 600/1000"},
        // 90% busy until 2.5 s.
        {"load", 0, 80, 0, {0, 2000, 2500}, "Load 90/80"},
        // A second between any two starts, whichever slot they take.
        {"delay", 0, NoLoadLimit, 1000, {0, 1000, 2000}, "Delay 1000/1000"},
        {"none", 0, NoLoadLimit, 0, {0, 0, 0}, nullptr},
    };
    for (const auto& c : cases) {
        StartOver();
        settings.WaitClose = true;
        settings.Jobs = 3;
        settings.MemFree = c.memFree;
        settings.LoadLimit = c.load;
        settings.Delay = c.delay;
        host.runsForMs = {{1, 2000}, {2, 2000}, {3, 2000}};
        host.machineAt = [](uint32_t now) {
            return now < 2500 ? TMachine{4, 600, 90} : TMachine{4, 5000, 10};
        };
        Run("a\rb\rc");
        EXPECT_EQ(host.startTimes, c.startTimes) << c.name;
        if (c.held) {
            EXPECT_NE(std::find(host.held.begin(), host.held.end(), c.held), host.held.end())
                << c.name;
        }
        EXPECT_EQ(host.held.empty() ? "" : host.held.back(), c.held ? "None" : "") << c.name;
    }
}

// Under half the free memory asked the youngest program is ended and put back at the
// front: no failure, no retry taken, the job log says why, and it runs again with room.
TEST_F(LaunchLoop, UnderHalfTheMemoryTheYoungestIsEndedAndPutBack) {
    StartOver();
    settings.WaitClose = true;
    settings.Jobs = 3;
    settings.MemFree = 1000;
    settings.Halt = 0;
    settings.JobLog = listPath_ + ".log";
    host.runsForMs = {{1, 3000}, {2, 3000}, {3, 3000}, {4, 1000}, {5, 1000}, {6, 1000}};
    host.machineAt = [](uint32_t now) {
        return TMachine{4, now >= 500 && now < 1500 ? 300u : 5000u, 0};
    };
    Run("a\rb\rc\rd");
    EXPECT_EQ(status, 0u); // nothing failed
    EXPECT_EQ(host.contained, std::vector<bool>(host.commands.size(), true));
    V items, errors;
    for (const V& line : JobLogRecords(settings.JobLog)) {
        items.push_back(line[0]);
        errors.push_back(line[4]);
    }
    // c, then b, were ended at 0.5 s and 0.75 s; they ran again once there was room, and d
    // after them.
    EXPECT_EQ(items, (V{"c", "b", "c", "b", "a", "d"}));
    EXPECT_EQ(errors, (V{"8", "8", "0", "0", "0", "0"}));
    std::filesystem::remove(settings.JobLog);
}

// Each program gets the variables of /SET:, with the placeholders of its item and slot.
TEST_F(LaunchLoop, EveryProgramGetsTheVariablesOfItsItemAndSlot) {
    setenv("ZEMRUN_T_DIR", "C:\\t dir", 1);
    StartOver();
    settings.WaitClose = true;
    settings.Jobs = 2;
    settings.Environment = {"SLOT={%0}", "NAME={/.}", "WHERE=%ZEMRUN_T_DIR%", "GONE="};
    host.runsForMs = {{1, 1000}, {2, 500}, {3, 100}};
    Run("a.txt\rD:\\%ZEMRUN_T_DIR%.txt\rc.txt");
    EXPECT_EQ(host.environments,
              (std::vector<V>{{"SLOT=0", "NAME=a", "WHERE=C:\\t dir", "GONE="},
                              {"SLOT=1", "NAME=C:\\t dir", "WHERE=C:\\t dir", "GONE="},
                              {"SLOT=1", "NAME=c", "WHERE=C:\\t dir", "GONE="}}));
    // A name from the file system keeps its %.
    StartOver();
    settings.Environment = {"NAME={/}"};
    settings.Items = {"%ZEMRUN_T_DIR%.txt"};
    EXPECT_EQ(RunList(host, host, request), 0u);
    EXPECT_EQ(host.environments, (std::vector<V>{{"NAME=%ZEMRUN_T_DIR%.txt"}}));
    unsetenv("ZEMRUN_T_DIR");
}

TEST_F(LaunchLoop, JobsWaitForAFreeSlotOnlyWithWaitClose) {
    const V twoJobs = {"start",
                       "start",
                       "any-wait 2 ends 1",
                       "close",
                       "start",
                       "any-wait 2 ends 2",
                       "close",
                       "start",
                       "any-wait 2 ends 3",
                       "close",
                       "any-wait 1 ends 4",
                       "close"};
    const V oneJob = {"start", "any-wait 1 ends 1", "close", "start", "any-wait 1 ends 2", "close",
                      "start", "any-wait 1 ends 3", "close", "start", "any-wait 1 ends 4", "close"};
    struct Case {
        int32_t jobs;
        bool waitClose;
        V log;
    } cases[] = {
        {2, true, twoJobs},
        {1, true, oneJob},
        {0, true, oneJob}, // clamped into 1..62
        {-5, true, oneJob},
        {2, false, {"start", "close", "start", "close", "start", "close", "start", "close"}},
    };
    for (const Case& c : cases) {
        StartOver();
        settings.Jobs = c.jobs;
        settings.WaitClose = c.waitClose;
        Run("a\rb\rc\rd");
        EXPECT_EQ(host.log, c.log) << c.jobs << " jobs";
    }
    settings.Jobs = 100;
    Run("a");
    EXPECT_EQ(settings.Jobs, 62);
}

// Stop, a console's first Ctrl+C, starts nothing more and waits, with or without the window.
TEST_F(LaunchLoop, SkipStartsTheNextJobAtOnceCancelWaitsForNoOneAndStopWaitsForAll) {
    struct Case {
        bool TRecordingHost::*press;
        int32_t gui;
        V log;
    } cases[] = {
        {&TRecordingHost::skipEvent,
         3,
         {"progress start", "start", "start", "any-wait skipped", "start", "any-wait 3 ends 1",
          "close", "any-wait 2 ends 2", "close", "any-wait 1 ends 3", "close", "progress close"}},
        {&TRecordingHost::cancelEvent,
         3,
         {"progress start", "start", "start", "any-wait cancelled", "close", "close",
          "progress close"}},
        {&TRecordingHost::stopEvent,
         0,
         {"start", "start", "any-wait 2 ends 1", "close", "any-wait 1 ends 2", "close"}},
    };
    for (const Case& c : cases) {
        StartOver();
        settings.Jobs = 2;
        settings.WaitClose = true;
        settings.GUI = c.gui;
        host.duringEndWait = [&](TRecordingHost& h) {
            if (h.commands.size() == 2) h.*c.press = true;
        };
        Run("a\rb\rc");
        V log;
        for (const std::string& entry : host.log)
            if (entry.rfind("pos", 0) != 0 && entry.rfind("text", 0) != 0 &&
                entry.rfind("range", 0) != 0)
                log.push_back(entry);
        EXPECT_EQ(log, c.log) << c.log.size();
        EXPECT_EQ(host.openProcesses, 0);
    }
}

TEST_F(LaunchLoop, TheJobLogHasALinePerItemAndResumeLeavesOutWhatIsDone) {
    const std::string header = "Item\tStart\tSeconds\tExitCode\tError\tCommand\r\n";
    const std::string at = "\t2026-12-07T10:00:00.000\t";
    struct Case {
        const char* name;
        bool waitClose;
        bool startsFail;
        bool resume;
        std::string before; // the log's bytes before the run
        size_t starts;
        std::string after;
    } cases[] = {
        {"waited for", true, false, false, "", 2,
         header + "a" + at + "0.000\t0\t0\tp.exe a\r\n" + "b c" + at +
             "0.000\t3\t0\tp.exe \"b c\"\r\n"},
        {"not waited for", false, false, false, header, 2,
         header + "a" + at + "\t\t0\tp.exe a\r\n" + "b c" + at + "\t\t0\tp.exe \"b c\"\r\n"},
        {"failed starts", true, true, false, "", 2,
         header + "a" + at + "\t\t2\tp.exe a\r\n" + "b c" + at + "\t\t2\tp.exe \"b c\"\r\n"},
        // Done: no error, and exit code 0 or not waited for; b ended with 3, c failed to start.
        {"resumed", true, false, true,
         header + "a" + at + "1.5\t0\t0\tp.exe a\r\n" + "b c" + at +
             "1.0\t3\t0\tp.exe \"b c\"\r\n" + "d" + at + "\t\t2\tp.exe d\r\n" + "e" + at +
             "\t\t0\tp.exe e\r\n" + "torn line",
         2, ""},
    };
    const std::string logPath = listPath_ + ".log";
    for (const Case& c : cases) {
        StartOver();
        std::filesystem::remove(logPath);
        if (!c.before.empty()) std::ofstream(logPath, std::ios::binary) << c.before;
        settings.WaitClose = c.waitClose;
        settings.JobLog = logPath;
        settings.Resume = c.resume;
        host.startsFail = c.startsFail;
        host.exitCodes[2] = 3;
        Run(c.resume ? "a\rb c\rd\re" : "a\rb c");
        const std::string bytes = ReadAll(logPath);
        EXPECT_EQ(host.commands.size(), c.starts) << c.name;
        if (c.resume) {
            EXPECT_EQ(host.commands, (V{"create|p.exe|\"b c\"|prog", "create|p.exe|d|prog"}));
        }
        if (!c.after.empty()) {
            EXPECT_EQ(bytes, c.after) << c.name;
        } else {
            EXPECT_EQ(bytes.substr(0, c.before.size()), c.before) << c.name; // only appended to
        }
    }
    // A log of commands that were quoted otherwise still tells the same ones as done.
    StartOver();
    settings.Exe = "conv.bat";
    settings.JobLog = logPath;
    settings.Resume = true;
    std::ofstream(logPath, std::ios::binary)
        << header + "x(1).txt" + at + "1.0\t0\t0\tconv.bat  x(1).txt\r\n";
    Run("x(1).txt\ry(1).txt");
    EXPECT_EQ(host.commands, V{"create|conv.bat|\"y(1).txt\"|prog"});
    std::filesystem::remove(logPath);
}

// ASCII text as UTF-16 bytes.
std::string Utf16Bytes(std::string_view text, bool bigEndian = false) {
    std::string bytes;
    for (const char c : text) {
        bytes += bigEndian ? '\0' : c;
        bytes += bigEndian ? c : '\0';
    }
    return bytes;
}

// Whatever a log holds, its records are read, garbage is passed over, and what a run
// appends is never glued to the file's last bytes, in the file's encoding.
TEST_F(LaunchLoop, AJobLogInAnyStateIsReadAndAppendedToWhole) {
    const std::string header = std::string(JobLogHeader) + "\r\n";
    const std::string record = "a\t2026-12-07T10:00:00.000\t\t\t0\tp.exe a\r\n";
    const TJobRecord next{"n", "2026-12-07T10:00:01.000", "", "", 0, "p.exe n", ""};
    const std::string line = JobLogLine(next) + "\r\n";
    const std::string bom = "\xFF\xFE";
    struct Case {
        const char* name;
        std::string before;
        bool aDone;
        std::string appended;
    } cases[] = {
        {"cut inside a line", header + record + "b\t2026-12", true, "\r\n" + line},
        {"garbage alone", std::string("x\x1a\0\xff\x80y", 6), false, "\r\n" + line},
        {"control-Z and no UTF-8 before a record", "\x1a\xc3(\r\n" + record, true, line},
        {"a 5 MB line", header + std::string(5 << 20, 'x') + "\r\n" + record, true, line},
        {"no header", record, true, line},
        {"UTF-16 with records", bom + Utf16Bytes(header + record), true, Utf16Bytes(line)},
        {"UTF-16 without records", bom, false, Utf16Bytes(header + line)},
        {"UTF-16 cut inside a character", bom + Utf16Bytes(header + record) + "x", true,
         std::string(1, '\0') + Utf16Bytes("\r\n" + line)},
        {"big-endian UTF-16", "\xFE\xFF" + Utf16Bytes(record, true), true, Utf16Bytes(line, true)},
    };
    const std::string path = listPath_ + ".log";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.before;
        {
            TJobLog log(path, TJobLog::Append);
            EXPECT_EQ(log.Done("p.exe a"), c.aDone);
            log.Write(next);
        }
        EXPECT_EQ(ReadAll(path), c.before + c.appended);
        const TJobLog reread(path, TJobLog::ReadOnly);
        EXPECT_EQ(reread.Done("p.exe a"), c.aDone);
        EXPECT_TRUE(reread.Done("p.exe n"));
    }
    std::filesystem::remove(path);
}

TEST_F(LaunchLoop, APreviewFileGetsEveryCommandAndNothingStarts) {
    const std::string previewPath = listPath_ + ".preview";
    request.previewFile = previewPath;
    settings.Exe = "%ZEMRUN_T_TOOL%";
    setenv("ZEMRUN_T_TOOL", "C:\\My Tools\\t.exe", 1);
    settings.RegExp = "(\\w+)\\.txt";
    settings.BParam = "/in:$1";
    settings.GUI = 3;
    Run("report.txt\rno match");
    EXPECT_EQ(ReadAll(previewPath), "\"C:\\My Tools\\t.exe\" /in:report  report.txt\r\n"
                                    "\"C:\\My Tools\\t.exe\" /in:  \"no match\"\r\n");
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(Count("progress start"), 0);
    std::filesystem::remove(previewPath);
    // A file that cannot be written ends the run with the system's error.
    request.previewFile = listPath_ + ".missing/preview.txt";
    EXPECT_THROW(Run("a"), TvxInOutError);
}

TEST_F(LaunchLoop, APreviewWindowShowsTheCommandsAndRunOrCancelDecides) {
    for (const bool run : {true, false}) {
        StartOver();
        request.preview = true;
        host.previewResult = run;
        Run("a\rb c");
        EXPECT_EQ(host.previewed, (V{"p.exe a", "p.exe \"b c\""}));
        EXPECT_EQ(host.commands.size(), run ? 2u : 0u);
    }
    // The main dialog's preview: the first items only, and the run settings stay.
    settings.Exe = "q.exe";
    TOptions other = settings;
    other.Exe = "p.exe";
    other.List = listPath_;
    EXPECT_EQ(PreviewCommands(host, other, 1), (V{"p.exe a"}));
    EXPECT_EQ(settings.Exe, "q.exe");
}

TEST_F(LaunchLoop, InteractiveRunsTheDialogFirstAndStopsWithoutOk) {
    request.interactive = true;
    host.dialogResult = false;
    settings.Exe = "p.exe";
    Run("a");
    EXPECT_EQ(host.log, (V{"dialog"}));
}

TEST_F(LaunchLoop, TheNamedEncodingReadsTheListAndAnUnknownOneStartsNothing) {
    StartOver();
    settings.Encoding = "utf-16"; // marked UTF-8 all the same: the mark wins
    Run("\xEF\xBB\xBF"
        "caf\xC3\xA9");
    EXPECT_EQ(host.commands, V{"create|p.exe|caf\xC3\xA9|prog"});
    StartOver();
    settings.Encoding = "1252";
    Run("caf\xC3\xA9");
    EXPECT_EQ(host.commands, V{"create|p.exe|caf\xC3\x83\xC2\xA9|prog"});
    for (const char* name : {"klingon", "65000x", "99999", "123456"}) {
        StartOver();
        settings.Encoding = name;
        settings.List = listPath_;
        EXPECT_EQ(RunList(host, host, request), UnknownEncodingStatus) << name;
        EXPECT_EQ(host.log, V{"unknown encoding " + std::string(name)});
        EXPECT_TRUE(host.commands.empty());
    }
}

TEST_F(LaunchLoop, ItemsOfTheCommandLineFollowTheListsAndNeedNone) {
    StartOver();
    settings.Items = {"y z", "D:\\"};
    Run("x");
    EXPECT_EQ(host.commands,
              (V{"create|p.exe|x|prog", "create|p.exe|\"y z\"|prog", "create|p.exe|D:\\|prog"}));
    StartOver();
    settings.Items = {"only"};
    EXPECT_EQ(RunList(host, host, request), 0u);
    EXPECT_EQ(host.commands, V{"create|p.exe|only|prog"});
}

TEST_F(LaunchLoop, AMissingListStartsNothingAndABatchThatCountsFailuresWasNotDone) {
    settings.List = listPath_ + ".missing";
    EXPECT_EQ(RunList(host, host, request), 0u);
    EXPECT_TRUE(host.commands.empty());
    TRunItems items;
    LoadItems(settings, host, items);
    EXPECT_TRUE(items.empty());
    settings.Halt = 0;
    EXPECT_EQ(RunList(host, host, request), RunNotDoneStatus);
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(host.log, V(2, "failure 2 " + settings.List)); // named in every case
}

TEST_F(LaunchLoop, TheListDashIsStandardInputReadOnceAndDecodedAsAFile) {
    struct Case {
        std::string input;
        const char* encoding;
        V commands;
    } cases[] = {
        {"a b\r\nc", "", {"create|p.exe|\"a b\"|prog", "create|p.exe|c|prog"}},
        {std::string("\xFF\xFEx\0\n\0\xE9\0", 8),
         "",
         {"create|p.exe|x|prog", "create|p.exe|\xC3\xA9|prog"}},
        {"caf\xE9", "", {"create|p.exe|caf\xC3\xA9|prog"}}, // no console here: ANSI
        {"caf\xC3\xA9", "1252", {"create|p.exe|caf\xC3\x83\xC2\xA9|prog"}},
        {"", "", {}},
    };
    for (const Case& c : cases) {
        StartOver();
        host.standardInput = c.input;
        settings.List = StandardInputList;
        settings.Encoding = c.encoding;
        request.preview = true; // the preview and the run see the same items
        EXPECT_EQ(RunList(host, host, request), 0u);
        EXPECT_EQ(host.commands, c.commands) << c.input;
        EXPECT_EQ(host.previewed.size(), c.commands.size()) << c.input;
    }
    // Nothing to read is a list that cannot be read.
    StartOver();
    settings.List = StandardInputList;
    EXPECT_THROW(RunList(host, host, request), TvxInOutError);
    EXPECT_TRUE(host.commands.empty());
}

} // namespace

namespace {

TEST(SubstituteGroups, FillsEveryDollarReference) {
    TvxRegExpr re;
    re.SetExpression("(\\w+)-(\\d+)");
    ASSERT_TRUE(re.Exec("x abc-12 y"));
    EXPECT_EQ(SubstituteGroups("/in:$1 $2", re), "/in:abc 12");
    EXPECT_EQ(SubstituteGroups("$", re), "abc-12");
    EXPECT_EQ(SubstituteGroups("$$", re), "abc-12abc-12");
    EXPECT_EQ(SubstituteGroups("$0x", re), "abc-12x");
    EXPECT_EQ(SubstituteGroups("$10", re), ""); // group 10, not group 1 and a 0
    EXPECT_EQ(SubstituteGroups("$99999999999999999999", re), "");
    EXPECT_EQ(SubstituteGroups("no refs", re), "no refs");
    EXPECT_FALSE(re.Exec("none"));
    EXPECT_EQ(SubstituteGroups("[$1]", re), "[]");
}

TEST_F(LaunchLoop, ExpressionGroupsFillTheParameters) {
    setenv("ZEMRUN_T_OUT", "D:\\out dir", 1);
    settings.Exe = "copy.exe";
    settings.RegExp = "(\\w+)\\.txt";
    settings.BParam = "/in:$1 \"$1 copy.txt\"  /out:\"a b\"";
    settings.Eparam = "%ZEMRUN_T_OUT%\\$1 $";
    settings.WaitOpen = false;
    settings.FirstPause = 0;
    settings.GUI = 0;
    Run("report.txt\rno match\rx.doc");
    EXPECT_EQ(host.commands,
              (V{"create|copy.exe|/in:report \"report copy.txt\"  \"/out:\"a b\"\"  report.txt "
                 "\"D:\\out dir\\report\" report.txt |prog",
                 // An empty group leaves a folder that ends in a backslash: it is doubled
                 // before the closing quote, which otherwise reads as an escaped quote.
                 "create|copy.exe|/in: \" copy.txt\"  \"/out:\"a b\"\"  \"no match\" \"D:\\out "
                 "dir\\\\\" |prog",
                 "create|copy.exe|/in: \" copy.txt\"  \"/out:\"a b\"\"  x.doc \"D:\\out dir\\\\\" "
                 "|prog"}));
}

TEST_F(LaunchLoop, AnEndlessSearchEndsBySkipCancelOrTheStepBound) {
    // The first line makes the search backtrack for about 2^30 steps.
    const std::string endless = std::string(30, 'a') + "xb\raab";
    struct Case {
        int32_t gui;
        bool cancel; // else Skip, pressed while the first line is searched
        V commands;
    } cases[] = {
        {3,
         false,
         {"create|p.exe|--  aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaxb  |prog",
          "create|p.exe|-aa-  aab  |prog"}},
        {3, true, {}},
        {0,
         false,
         {"create|p.exe|--  aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaxb  |prog",
          "create|p.exe|-aa-  aab  |prog"}},
    };
    for (const Case& c : cases) {
        StartOver();
        settings.RegExp = "(a+)+b";
        settings.BParam = "-$1-";
        settings.GUI = c.gui;
        int polls = 0;
        host.beforeEveryPoll = [&](TRecordingHost& h) {
            if (++polls == 2)
                (c.cancel ? h.cancelEvent : h.skipEvent) = true; // the first poll is the run's own
        };
        Run(endless);
        EXPECT_EQ(host.commands, c.commands) << "progress mode " << c.gui;
    }
}

TEST_F(LaunchLoop, AnInvalidExpressionStartsEveryItemWithEmptyGroups) {
    StartOver();
    settings.RegExp = "(unclosed";
    settings.BParam = "-$1-";
    Run("a\rb");
    EXPECT_EQ(host.commands, (V{"create|p.exe|--  a  |prog", "create|p.exe|--  b  |prog"}));
    // The host is told why, and where: the console face says so.
    EXPECT_EQ(host.log.front(), "expression vxRegExpr(comp): Unmatched Parentheses at 10");
}

TEST_F(LaunchLoop, ATimeLimitEndsTheProgramAndWaitsForEveryEnd) {
    // Item a runs 5 s, b 1 s, c 9 s; the limit is 3 s.
    struct Case {
        int32_t jobs;
        int32_t limit;
        V log;
        uint32_t endedAt; // the simulated clock at the run's end
    } cases[] = {
        {1,
         3,
         {"start", "any-wait 1 timed out", "end 1", "close", "start", "any-wait 1 ends 2", "close",
          "start", "any-wait 1 timed out", "end 3", "close"},
         7000},
        {2,
         3,
         {"start", "start", "any-wait 2 ends 2", "close", "start", "any-wait 2 timed out", "end 1",
          "close", "any-wait 1 timed out", "end 3", "close"},
         4000},
        {1,
         10,
         {"start", "any-wait 1 ends 1", "close", "start", "any-wait 1 ends 2", "close", "start",
          "any-wait 1 ends 3", "close"},
         15000},
    };
    const std::string logPath = listPath_ + ".log";
    for (const Case& c : cases) {
        StartOver();
        std::filesystem::remove(logPath);
        settings.Jobs = c.jobs;
        settings.TimeLimit = c.limit; // waits without /P
        settings.JobLog = logPath;
        settings.Halt = 0;
        host.runsForMs = {{1, 5000}, {2, 1000}, {3, 9000}};
        Run("a\rb\rc");
        EXPECT_EQ(host.log, c.log) << c.jobs << " jobs, " << c.limit << " s";
        EXPECT_EQ(host.now, c.endedAt) << c.jobs << " jobs, " << c.limit << " s";
        EXPECT_EQ(host.contained, std::vector<bool>(3, true));
        const bool ends = c.limit < 5;
        EXPECT_EQ(status, ends ? 2u : 0u);
        EXPECT_EQ(ReadAll(logPath).find("\t1460\t1460\tp.exe a") != std::string::npos, ends);
    }
    std::filesystem::remove(logPath);
}

TEST_F(LaunchLoop, FailedItemsAreTriedAgainBeforeLaterItems) {
    const auto triesOfC = [](size_t tries) {
        V items = {"a", "a", "a", "b"};
        items.insert(items.end(), tries, "c");
        return items;
    };
    struct Case {
        int32_t jobs;
        int32_t retries;
        V commands;
        uint32_t status;
    } cases[] = {
        // Starts 1 and 2 (item a) fail, start 3 succeeds; b's first start (4) succeeds.
        {1, 2, triesOfC(3), 1},
        {1, 0, {"a", "b", "c"}, 2},
        {1, -1, {"a", "b", "c"}, 2}, // clamped into 0..100
        {1, 100000, triesOfC(101), 1},
        // With two jobs, the second tries of a and b (start 2) take the slots their first
        // tries freed.
        {2, 1, {"a", "b", "a", "b", "c", "c"}, 1},
    };
    for (const Case& c : cases) {
        StartOver();
        settings.Exe = "";
        settings.Jobs = c.jobs;
        settings.Retries = c.retries;
        settings.WaitClose = true;
        settings.Halt = 0;
        host.firstToEnd = [](const std::vector<TProcess>&) { return size_t(0); };
        host.exitCodes = {{1, 1}, {2, 1}};
        // c never succeeds: its starts fail, from the fifth on.
        for (size_t start = 5; start <= 200; ++start)
            host.failedStarts.insert(start);
        Run("a\rb\rc");
        V items;
        for (const std::string& command : host.commands)
            items.push_back(command.substr(8, 1));
        EXPECT_EQ(items, c.commands) << c.jobs << " jobs, " << c.retries << " retries";
        EXPECT_EQ(status, c.status) << c.jobs << " jobs, " << c.retries << " retries";
    }
}

TEST_F(LaunchLoop, TheExitStatusCountsFailedItemsAndHaltStopsStarting) {
    struct Case {
        int32_t halt; // NoHalt: today's status
        int32_t jobs;
        size_t items;
        std::set<size_t> failing; // exit code 1, by start number
        size_t starts;
        uint32_t status;
    } cases[] = {
        {NoHalt, 1, 3, {1, 2}, 3, 0}, {0, 1, 3, {}, 3, 0},    {0, 1, 3, {1, 3}, 3, 2},
        {2, 1, 5, {1, 3}, 3, 2}, // nothing starts after the second failure
        {2, 2, 5, {1, 2}, 3, 2}, // the one still running is waited for
        {0, 1, 300, {}, 300, 0},      {1, 1, 300, {5}, 5, 1},
    };
    for (const Case& c : cases) {
        StartOver();
        settings.Halt = c.halt;
        settings.Jobs = c.jobs;
        settings.WaitClose = true;
        host.exitCodes.clear();
        for (size_t start : c.failing)
            host.exitCodes[start] = 1;
        std::string list;
        for (size_t i = 0; i < c.items; ++i)
            list += "x\r";
        list.pop_back();
        Run(list);
        EXPECT_EQ(host.commands.size(), c.starts) << "halt " << c.halt;
        EXPECT_EQ(status, c.status) << "halt " << c.halt;
        EXPECT_EQ(host.openProcesses, 0);
    }
    // Every failure counts, up to 253; more say 254.
    const std::pair<int32_t, uint32_t> counts[] = {
        {0, 0}, {1, 1}, {253, 253}, {254, 254}, {9999, 254}};
    for (const auto& [failed, expected] : counts)
        EXPECT_EQ(BatchExitStatus(failed), expected) << failed;
    // The run cannot be done: nothing starts. An expression that does not compile fails
    // it only where failures count; elsewhere its items run with empty groups, as always.
    const std::string nested = std::string(101, '(') + "a" + std::string(101, ')');
    const std::tuple<const char*, std::string, int32_t, size_t, uint32_t> broken[] = {
        {"no such encoding", "", 0, 0, RunNotDoneStatus},
        {"", "a(b", 0, 0, RunNotDoneStatus},
        {"", nested, 2, 0, RunNotDoneStatus},
        {"", "a(b", NoHalt, 1, 0},
    };
    for (const auto& [encoding, expression, halt, starts, expected] : broken) {
        StartOver();
        settings.Halt = halt;
        settings.Encoding = encoding;
        settings.RegExp = expression;
        Run("a");
        EXPECT_EQ(status, expected) << encoding << expression.substr(0, 9);
        EXPECT_EQ(host.commands.size(), starts) << encoding << expression.substr(0, 9);
    }
}

// Shown at the end, in list order, where the settings ask, the progress was shown and the
// run was not cancelled.
TEST_F(LaunchLoop, TheFailedItemsAreShownInListOrderWithTheirReasons) {
    // b fails to start twice; d ends with 3, then its retry with an access violation.
    const V failures = {"2 b 2: error 2", "4 d 2: Exit code 3221225477 (0xC0000005)"};
    const struct {
        int32_t gui, showFailures;
        bool cancel;
        V shown;
    } cases[] = {{3, 1, false, failures}, {0, 1, false, {}}, {3, 1, true, {}}, {3, 0, false, {}}};
    for (const auto& c : cases) {
        StartOver();
        settings.GUI = c.gui;
        settings.ShowFailures = c.showFailures;
        settings.WaitClose = true;
        settings.Jobs = 2;
        settings.Retries = 1;
        host.failedStarts = {2, 3};
        host.exitCodes = {{5, 3}, {6, 0xC0000005u}};
        host.firstToEnd = [](const std::vector<TProcess>& running) { return running.size() - 1; };
        host.duringEndWait = [&](TRecordingHost& h) { h.cancelEvent = c.cancel; };
        Run("a\rb\rc\rd\re");
        EXPECT_EQ(host.failures, c.shown) << c.gui << c.cancel;
    }
    const std::pair<TFailedItem, const char*> reasons[] = {
        {{1, 1, "a", 1, TimeLimitError, 0, "", 600}, "Ended after the time limit of 600 s"},
        {{1, 1, "a", 1, 0, 0x7FFFFFFF, "", 0}, "Exit code 2147483647"},
        {{1, 1, "a", 1, 0, 0x80000005, "", 0}, "Exit code 2147483653 (0x80000005)"},
        {{1, 1, "a", 1, UnpassableItemError, 0, "", 0},
         "Holds a line break, which cmd cannot pass on to the script"},
    };
    for (const auto& [failed, reason] : reasons)
        EXPECT_EQ(FailureReason(failed, "", ""), reason);
    // Such an item fails without a start, alone, and the others of its command start.
    StartOver();
    settings.Exe = "conv.bat";
    settings.ItemsPerCommand = 3;
    settings.Items = {"x", "a\nb", "y"};
    settings.Halt = 0;
    EXPECT_EQ(RunList(host, host, request), 1u);
    EXPECT_EQ(host.commands, (V{"create|conv.bat|x|prog", "create|conv.bat|y|prog"}));
}

// Run failed again: exactly the failed items, with their item numbers and next try numbers,
// their own retries, and their own end, in the same progress window.
TEST_F(LaunchLoop, RunFailedAgainRunsExactlyTheFailedItemsWithTheirNumbers) {
    StartOver();
    settings.GUI = 3;
    settings.ShowFailures = 1;
    settings.WaitClose = true;
    settings.Retries = 1;
    settings.OutputFolder = listPath_ + ".out";
    host.runFailedAgain = 1;
    // b fails to start twice, d ends with 3 twice; again, b starts and d fails on.
    host.failedStarts = {2, 3};
    host.exitCodes = {{5, 3}, {6, 3}, {9, 3}, {10, 3}};
    Run("a\rb\rc\rd\re");
    const std::string out = listPath_ + ".out" + PathDelimiter;
    V commands;
    for (const char* item : {"a", "b", "b", "c", "d", "d", "e", "b", "d", "d"})
        commands.push_back(std::string("create|p.exe|") + item + "|prog");
    EXPECT_EQ(host.commands, commands);
    EXPECT_EQ(V(host.outputs.begin() + 7, host.outputs.end()),
              (V{out + "00002-3.txt", out + "00004-3.txt", out + "00004-4.txt"}));
    EXPECT_EQ(host.failures, (V{"2 b 2: error 2", "4 d 2: Exit code 3", "4 d 4: Exit code 3"}));
    EXPECT_EQ(Count("failures 5/5 2"), 1);
    EXPECT_EQ(Count("failures 2/2 1"), 1);
    EXPECT_EQ(Count("progress start"), 1);
    EXPECT_EQ(Count("progress close"), 1);
}

TEST_F(LaunchLoop, TheProgressWindowTellsWhatIsDoneFailedAndLeft) {
    StartOver();
    settings.GUI = 3;
    settings.WaitClose = true;
    settings.Jobs = 2;
    host.runsForMs = {{1, 10000}, {2, 20000}, {3, 10000}, {4, 10000}, {5, 10000}};
    host.exitCodes = {{2, 1}};
    Run("a\rb\rc\rd\re");
    // Item a ends at 10 s: 10 s per item, 4 to go two at a time; b at 20 s with 15 s each.
    EXPECT_EQ(host.statuses,
              (V{"0/5 0 -1", "1/5 0 20", "2/5 1 23", "3/5 1 13", "4/5 1 6", "5/5 1 0"}));
    const std::pair<TBatchStatus, const char*> texts[] = {
        {{0, 1000, 0, -1, {}}, "0 of 1000 done, 0 failed"},
        {{3, 10, 1, 59, {}}, "3 of 10 done, 1 failed, about 59 seconds left"},
        {{3, 10, 1, 90, {}}, "3 of 10 done, 1 failed, about 2 minutes left"},
        {{3, 10, 1, 7199, {}}, "3 of 10 done, 1 failed, about 120 minutes left"},
        {{3, 10, 1, 7200, {}}, "3 of 10 done, 1 failed, about 2 hours left"},
        // Why nothing starts, where a rule holds it back.
        {{3, 10, 1, -1, {THeldStart::Memory, 1288490188, uint64_t(2) << 30}},
         "3 of 10 done, 1 failed; waiting for memory: 1.2 GB free of 2 GB asked"},
        {{3, 10, 1, -1, {THeldStart::Memory, 500u << 20, 600u << 20}},
         "3 of 10 done, 1 failed; waiting for memory: 500 MB free of 600 MB asked"},
        {{0, 4, 0, -1, {THeldStart::Load, 97, 80}},
         "0 of 4 done, 0 failed; waiting for the processors: 97% busy, below 80% asked"},
        {{1, 4, 0, -1, {THeldStart::Delay, 400, 1000}},
         "1 of 4 done, 0 failed; waiting 0.4 s between starts"},
    };
    for (const auto& [batch, text] : texts)
        EXPECT_EQ(BatchStatusText(batch, ""), text);
}

TEST(StatusLine, IsRewrittenOnAConsoleAndWrittenOnceASecondElsewhere) {
    struct Step {
        const char* text; // empty: cleared; null: the run ends
        uint64_t now;
        const char* console;
        const char* redirected;
    } steps[] = {
        {"0 of 3 done", 0, "\r0 of 3 done", "0 of 3 done\n"},
        {"1 of 3 done, 1 failed", 400, "\r1 of 3 done, 1 failed", ""},
        {"2 of 3 done", 900, "\r2 of 3 done          ", ""},
        {"3 of 3 d\xC3\xB6ne", 1000, "\r3 of 3 d\xC3\xB6ne", "3 of 3 d\xC3\xB6ne\n"},
        {"3 of 3 done!", 1500, "\r3 of 3 done!", ""},
        {"", 1550, "\r            \r", ""}, // a program is to write there
        {"3 of 3 done!", 1560, "\r3 of 3 done!", ""},
        {"3 of 3 done?", 1600, "\r3 of 3 done?", ""},
        {nullptr, 1600, "\n", "3 of 3 done?\n"},
        // A status that stays the same (a watch that waits) is written once.
        {"watching", 5000, "\rwatching", "watching\n"},
        {"watching", 8000, "\rwatching", ""},
        {"", 8100, "\r        \r", ""}, // but again after what a program writes
        {"watching", 9200, "\rwatching", "watching\n"},
        {nullptr, 9300, "\n", ""},
    };
    TStatusLine console(true), redirected(false);
    for (const Step& step : steps) {
        if (step.text && !*step.text) {
            EXPECT_EQ(console.Clear(), step.console);
            EXPECT_EQ(redirected.Clear(), step.redirected);
        } else if (step.text) {
            EXPECT_EQ(console.Update(step.text, step.now), step.console) << step.now;
            EXPECT_EQ(redirected.Update(step.text, step.now), step.redirected) << step.now;
        } else {
            EXPECT_EQ(console.Close(), step.console);
            EXPECT_EQ(redirected.Close(), step.redirected);
        }
    }
}

TEST_F(LaunchLoop, EveryTryKeepsItsOutputInAFileOfItsOwn) {
    const std::string logPath = listPath_ + ".log";
    for (bool shell : {false, true}) {
        StartOver();
        std::filesystem::remove(logPath);
        settings.OutputFolder = listPath_ + ".out";
        settings.ShellExecute = shell;
        settings.WaitClose = true;
        settings.Retries = 1;
        settings.JobLog = logPath;
        host.exitCodes = {{1, 1}};
        Run("a\rb");
        const std::string out = listPath_ + ".out" + PathDelimiter;
        const V files = {out + "00001.txt", out + "00001-2.txt", out + "00002.txt"};
        EXPECT_EQ(host.outputs, shell ? V(3) : files);
        const std::string bytes = ReadAll(logPath);
        EXPECT_EQ(bytes.substr(0, bytes.find('\r')), std::string(JobLogHeader) + "\tOutput");
        EXPECT_NE(bytes.find("p.exe a\t" + (shell ? "" : files[1]) + "\r\n"), std::string::npos);
        // A resumed run reads the log with its output column: a succeeded on its second try.
        host = TRecordingHost();
        settings.Resume = true;
        Run("a\rb");
        EXPECT_TRUE(host.commands.empty());
    }
    std::filesystem::remove(logPath);
    std::filesystem::remove_all(listPath_ + ".out");
    EXPECT_EQ(OutputFileName("out/", 7, 1, 123456), "out/000007.txt");
    EXPECT_EQ(OutputFileName("out", 12, 3, 99), std::string("out") + PathDelimiter + "00012-3.txt");
}

TEST_F(LaunchLoop, AnOutputFolderThatCannotBeMadeStartsNothing) {
    const std::string file = listPath_ + ".file";
    std::ofstream(file) << "x";
    for (const std::string& folder : {file, std::string("/dev/null"), file + "/below"}) {
        StartOver();
        settings.OutputFolder = folder;
        EXPECT_THROW(Run("a"), TvxInOutError) << folder;
        EXPECT_TRUE(host.commands.empty());
    }
    std::filesystem::remove(file);
    StartOver();
    const std::string folder = listPath_ + ".out/deeper";
    settings.OutputFolder = folder;
    Run("a");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    std::filesystem::remove_all(listPath_ + ".out");
}

} // namespace

namespace {
class WatchLoop : public LaunchLoop {
  protected:
    void SetUp() override {
        LaunchLoop::SetUp();
        folder_ = listPath_ + ".in";
        std::filesystem::create_directories(folder_);
        StartOver();
        settings.WatchFolder = folder_;
        settings.SettleTime = 1;
        settings.JobLog = listPath_ + ".log";
    }
    void TearDown() override {
        std::filesystem::remove_all(folder_);
        std::filesystem::remove_all(listPath_ + ".failed");
        std::filesystem::remove(listPath_ + ".log");
        LaunchLoop::TearDown();
    }
    void Write(const std::string& name) { std::ofstream(folder_ + "/" + name) << name; }
    // The items of the commands started, without the folder.
    V Started() const {
        V names;
        for (const std::string& command : host.commands) {
            const size_t from = command.find('|', command.find('|') + 1) + 1;
            names.push_back(PathFileName(command.substr(from, command.find('|', from) - from)));
        }
        return names;
    }
    std::string folder_;
};

TEST_F(WatchLoop, EachCompleteFileRunsOnceGoesAsideAndTheWatchEndsWhenAsked) {
    Write("b.txt");
    Write("a.txt");
    Write("skip.tmp");
    settings.Match = "*.txt";
    settings.GUI = 1;           // the watch's status, and no progress window
    settings.Subfolders = true; // which never takes what went to Done
    settings.DoneFolder = "Done";
    settings.FailedFolder = listPath_ + ".failed";
    settings.Halt = 0;
    host.exitCodes[2] = 3; // b.txt fails
    int waits = 0;
    host.duringFolderWait = [&](TRecordingHost& h) {
        if (++waits == 2) Write("c.txt"); // arrives while the watch runs
        if (waits == 3) Write("c.txt");   // still being written
        h.stopEvent = waits == 20;
    };
    status = RunList(host, host, request);
    EXPECT_EQ(Started(), (V{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(status, 1u); // the failed count of the whole watch
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/Done/a.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/Done/c.txt"));
    EXPECT_TRUE(std::filesystem::exists(listPath_ + ".failed/b.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/skip.tmp"));
    EXPECT_EQ(host.watchStatuses,
              (V{"0/0 0", "1/1 0", "2/2 1 b.txt !b.txt", "2/2 1", "3/3 1", "ended"}));
    // A restart starts nothing that the job log has as done; a taken name gets a number.
    Write("a.txt");
    Write("d.txt");
    host = TRecordingHost();
    waits = 0;
    host.duringFolderWait = [&](TRecordingHost& h) { h.stopEvent = ++waits == 10; };
    status = RunList(host, host, request);
    EXPECT_EQ(Started(), V{"d.txt"});
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/a.txt"));
    // One watch a folder; /UNWATCH tells whether there was one.
    host.watchedElsewhere = true;
    EXPECT_EQ(RunList(host, host, request), RunNotDoneStatus);
    settings.Halt = NoHalt;
    EXPECT_EQ(RunList(host, host, request), WatchRefusedStatus);
    TRunRequest unwatch;
    unwatch.unwatchFolder = folder_;
    EXPECT_EQ(RunList(host, host, unwatch), NoWatchStatus);
    host.unwatchAnswer = 0;
    EXPECT_EQ(RunList(host, host, unwatch), 0u);
    host.unwatchAnswer = 5; // another user's, who alone may stop it: the system's error, told
    EXPECT_EQ(RunList(host, host, unwatch), 5u);
    EXPECT_EQ(host.log.back(), "failure 5 " + folder_);
}

TEST_F(WatchLoop, TenThousandFilesArrivingAtOnceRunOnceEachInExplorersOrder) {
    constexpr int Files = 10000;
    int waits = 0;
    host.duringFolderWait = [&](TRecordingHost& h) {
        if (++waits == 2)
            for (int i = Files; i >= 1; --i)
                Write("scan" + std::to_string(i) + ".tif");
        h.stopEvent = h.commands.size() == Files;
    };
    settings.DoneFolder = "Done";
    RunList(host, host, request);
    const V started = Started();
    ASSERT_EQ(started.size(), size_t(Files));
    EXPECT_EQ(started.front(), "scan1.tif");
    EXPECT_EQ(started[9], "scan10.tif");
    EXPECT_EQ(started.back(), "scan10000.tif");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_ + "/Done"),
                            std::filesystem::directory_iterator()),
              Files);
}

TEST_F(WatchLoop, RunFailedAgainMakesTheFailedFilesNewWhereverTheyWent) {
    for (const bool aside : {true, false}) {
        const std::string name = aside ? "a.txt" : "b.txt";
        Write(name);
        host = TRecordingHost();
        host.exitCodes[1] = 3; // the first try fails, the second succeeds
        settings.GUI = 1;
        settings.Halt = 0;
        settings.DoneFolder = "Done";
        settings.FailedFolder = aside ? listPath_ + ".failed" : "";
        int waits = 0;
        host.duringFolderWait = [&](TRecordingHost& h) {
            h.runAgainSignal = ++waits == 3;
            h.stopEvent = waits == 12;
        };
        EXPECT_EQ(RunList(host, host, request), 0u) << aside; // it failed no more
        EXPECT_EQ(Started(), (V{name, name})) << aside;
        EXPECT_TRUE(std::filesystem::exists(folder_ + "/Done/" + name)) << aside;
        EXPECT_EQ(host.watchStatuses, (V{"0/0 0", "1/1 1 " + name + " !" + name, "1/1 1",
                                         "again 1/1 0", "2/2 0", "ended"}))
            << aside;
    }
    EXPECT_TRUE(std::filesystem::is_empty(listPath_ + ".failed"));
}

TEST_F(WatchLoop, TheFirstFailureIsAnnouncedAtOnceAndThenAtMostOneAMinute) {
    Write("a.txt");
    Write("b.txt");
    settings.GUI = 1;
    for (size_t start = 1; start <= 4; ++start)
        host.exitCodes[start] = 1;
    int waits = 0;
    host.duringFolderWait = [&](TRecordingHost& h) {
        ++waits;
        if (waits == 2) Write("c.txt"); // seconds after the first failure
        if (waits == 4) Write("d.txt"); // a minute after
        h.stopEvent = waits == 8;
    };
    RunList(host, host, request);
    V announced;
    for (const std::string& status : host.watchStatuses)
        if (status.find('!') != std::string::npos)
            announced.push_back(status.substr(status.find('!')));
    EXPECT_EQ(announced, (V{"!a.txt", "!d.txt"})) << testing::PrintToString(host.watchStatuses);
}

TEST_F(WatchLoop, AFolderThatGoesIsWaitedForAndTheJobLogSaysSoAFileIsRefused) {
    settings.GUI = 1;
    int waits = 0;
    host.duringFolderWait = [&](TRecordingHost& h) {
        if (++waits == 1) std::filesystem::remove_all(folder_);
        if (waits == 4) {
            std::filesystem::create_directories(folder_);
            Write("a.txt");
        }
        h.stopEvent = waits == 15;
    };
    RunList(host, host, request);
    EXPECT_EQ(Started(), V{"a.txt"});
    EXPECT_EQ(host.watchStatuses, (V{"0/0 0", "missing 0/0 0", "0/0 0", "1/1 0", "ended"}));
    // The folder's lines: its name, no command, and "cannot find the path" while away.
    std::ifstream log(settings.JobLog);
    V columns;
    for (std::string line; std::getline(log, line);)
        columns.push_back(line.substr(0, line.find('\t')) + " " +
                          line.substr(line.rfind('\t', line.rfind('\t') - 1) + 1));
    EXPECT_EQ(columns, (V{"Item Error\tCommand\r", folder_ + " 3\t\r", folder_ + " 0\t\r",
                          folder_ + "/a.txt 0\tp.exe " + folder_ + "/a.txt\r"}));
    // A file is never a folder: no watch, and nothing waited for.
    std::filesystem::remove_all(folder_);
    std::ofstream(folder_) << "x";
    host = TRecordingHost();
    EXPECT_EQ(RunList(host, host, request), WatchRefusedStatus);
    host.watchedElsewhere = true;
    std::filesystem::remove(folder_);
    EXPECT_EQ(RunList(host, host, request), WatchRefusedStatus);
    EXPECT_EQ(host.log, (V{"not a folder " + PathFileName(folder_),
                           "watched already " + PathFileName(folder_)}));
}
} // namespace
