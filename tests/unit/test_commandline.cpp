#include "foundation/vxArguments.h"
#include "foundation/vxCommandLine.h"
#include "launcher/zemrunInstallation.h"
#include "launcher/zemrunSwitches.h"
#include "launcher/zemrunU.h"
#include "recording_host.h"
#include "settings/zemrunSchedule.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::vector<std::string> Tokens(const char* text) {
    TvxCommandLine line(text);
    std::vector<std::string> out;
    for (int32_t i = 0; i < line.Count(); ++i)
        out.push_back(line.Strings(i));
    return out;
}

using V = std::vector<std::string>;

TEST(Tokenize, GroupsQuotesAndStripsLeadingQuotedTokens) {
    EXPECT_EQ(Tokens("prog \"a b\" c\"\"d"), (V{"prog", "a b", "c\"\"d"}));
    EXPECT_EQ(Tokens("/B:\"-a -b\""), (V{"/B:\"-a -b\""}));
    EXPECT_EQ(Tokens("\"/B:-a -b\""), (V{"/B:-a -b"}));
    EXPECT_EQ(Tokens("x \"open to the end"), (V{"x", "open to the en"}));
    EXPECT_EQ(Tokens("a \"\" b"), (V{"a", "", "b"}));
    EXPECT_EQ(Tokens("\t a\x01"
                     "b\x7f\xff  "),
              (V{"a", "b\x7f\xff"}));
    EXPECT_EQ(Tokens("   "), (V{}));
    EXPECT_EQ(Tokens("\""), (V{""}));
    EXPECT_EQ(Tokens("\"a\"b c"), (V{"a\"", "c"})); // first and last character go
}

TEST(SplitArguments, SplitsAsTheSystemSplitsAStartedProgramsArguments) {
    const std::pair<const char*, V> cases[] = {
        {" \"D:\\My Files\\a b.txt\"\tplain ", {"D:\\My Files\\a b.txt", "plain"}},
        {"\"c\\\"d\" x", {"c\"d", "x"}},
        {"a\\\"b c", {"a\"b", "c"}},
        {"a\\\\\"b c\" d", {"a\\b c", "d"}},   // \\" is a backslash, and the quote groups
        {"a\\\\\\\"b", {"a\\\"b"}},            // \\\" is a backslash and a quote
        {"a\\\\b\\ c", {"a\\\\b\\", "c"}},     // backslashes before no quote stay
        {"\"a \"\"b\"\" c\"", {"a \"b", "c"}}, // "" inside quotes is one quote and ends them
        {"\"\"\"a\"\"\"", {"\"a\""}},          // every third quote of a run is text
        {"\"\" x", {"", "x"}},
        {"\"open to the end  x", {"open to the end  x"}},
        {"\"D:\\\" \"E:\\\"", {"D:\\", "E:\\"}}, // Explorer's drive roots
        {"a\nb", {"a\nb"}},                      // only blanks and tabs separate
        {"", {}},
    };
    for (const auto& [text, arguments] : cases)
        EXPECT_EQ(SplitArguments(text), arguments) << text;
}

// Texts that names may hold: every ASCII punctuation character alone and in a name, and
// the quotes, backslashes, blanks and percent signs that writers get wrong.
std::vector<std::string> AwkwardTexts() {
    std::vector<std::string> texts = {"",
                                      "plain",
                                      "a b",
                                      "a\tb",
                                      "a\\",
                                      "a b\\",
                                      "a b\\\\",
                                      "C:\\",
                                      "\\\\srv\\x",
                                      "c\"d",
                                      "a\\\"b",
                                      "\"",
                                      "%",
                                      "%x",
                                      "x%",
                                      "%%",
                                      "50%OS%.txt",
                                      "%OS%",
                                      "AT&T.pdf",
                                      "report&evil.bat",
                                      "x^y.txt",
                                      "100%.txt",
                                      "scan&evil&.txt",
                                      "a (1).jpg",
                                      "\xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5.txt"};
    for (char c = 0x21; c < 0x7F; ++c)
        if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z')) {
            texts.push_back(std::string(1, c));
            texts.push_back("a" + std::string(1, c) + "b");
        }
    return texts;
}

TEST(ProgramArgument, EveryTextComesBackAsTheOneArgumentItWas) {
    for (const std::string& text : AwkwardTexts()) {
        EXPECT_EQ(SplitArguments(ProgramArgument(text)), V{text}) << text;
        EXPECT_EQ(SplitArguments(ProgramArgument(text) + " " + ProgramArgument(text)),
                  (V{text, text}))
            << text;
    }
    EXPECT_EQ(ProgramArgument("a b\\"), "\"a b\\\\\"");
    EXPECT_EQ(ProgramArgument("c\"d"), "c\\\"d");
    EXPECT_EQ(ProgramArgument(""), "\"\"");
}

// How cmd /c reads the command line of a batch script, as far as an argument goes: %NAME%
// is expanded first, whatever the quotes (OS is set, cd gives its empty substring for
// %cd:~,%, any other name stays with its first %, and the second may open the next);
// outside quotes ^ takes the next character as it is and & | < > end the command; the
// script's arguments are then split at blanks, tabs, commas, semicolons and equals signs
// outside quotes. Nothing of it holds for a program's own C runtime.
struct TCmdReading {
    V arguments;
    bool more = false; // another command or a redirection followed
};
TCmdReading ReadAsCmd(std::string_view line) {
    std::string expanded;
    for (size_t pos = 0; pos < line.size();) {
        const size_t close = line[pos] == '%' ? line.find('%', pos + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            expanded += line[pos++];
            continue;
        }
        const std::string_view name = line.substr(pos + 1, close - pos - 1);
        if (name == "OS" || name == "cd:~,") {
            expanded += name == "OS" ? "Windows_NT" : "";
            pos = close + 1;
        } else {
            expanded += '%';
            expanded += name;
            pos = close;
        }
    }
    TCmdReading reading;
    std::string argument;
    bool quoted = false, inArgument = false;
    for (size_t pos = 0; pos < expanded.size(); ++pos) {
        const char c = expanded[pos];
        if (!quoted && std::string_view("&|<>").find(c) != std::string_view::npos) {
            reading.more = true;
            break;
        }
        if (!quoted && std::string_view(" \t,;=").find(c) != std::string_view::npos) {
            if (inArgument) reading.arguments.push_back(std::exchange(argument, {}));
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (!quoted && c == '^' && pos + 1 < expanded.size()) {
            argument += expanded[++pos];
            continue;
        }
        if (c == '"') quoted = !quoted;
        argument += c;
    }
    if (inArgument) reading.arguments.push_back(argument);
    return reading;
}

// %~1 of a batch script: the argument without the quotes around it.
std::string WithoutOuterQuotes(std::string argument) {
    if (!argument.empty() && argument.front() == '"') argument.erase(0, 1);
    if (!argument.empty() && argument.back() == '"') argument.pop_back();
    return argument;
}

TEST(CmdArgument, EveryTextReachesTheScriptAsOneArgumentAndRunsNothing) {
    for (const std::string& text : AwkwardTexts()) {
        const std::optional<std::string> written = CmdArgument(text);
        ASSERT_TRUE(written) << text;
        const TCmdReading reading = ReadAsCmd("conv.bat " + *written + " next");
        EXPECT_FALSE(reading.more) << text;
        ASSERT_EQ(reading.arguments.size(), 3u) << text << " as " << *written;
        EXPECT_EQ(reading.arguments[2], "next") << text;
        // A quote stays doubled, and the backslashes before the closing quote are doubled
        // for the programs that the script hands the name to; all else arrives as it is.
        if (text.find('"') != std::string::npos) continue;
        const size_t backslashes = text.size() - (text.find_last_not_of('\\') + 1);
        EXPECT_EQ(WithoutOuterQuotes(reading.arguments[1]), text + std::string(backslashes, '\\'))
            << text;
    }
    EXPECT_EQ(*CmdArgument("AT&T.pdf"), "\"AT&T.pdf\"");
    EXPECT_EQ(*CmdArgument("50%OS%.txt"), "\"50%%cd:~,%OS%%cd:~,%.txt\"");
    EXPECT_EQ(*CmdArgument("c\"d"), "\"c\"\"d\"");
    EXPECT_EQ(*CmdArgument("D:\\a-b_c.d"), "D:\\a-b_c.d"); // nothing to quote
    EXPECT_EQ(*CmdArgument("D:\\dir\\"), "\"D:\\dir\\\\\"");
    EXPECT_EQ(*CmdArgument(""), "\"\"");
    for (const char* refused : {"a\nb", "a\rb", "\n"})
        EXPECT_FALSE(CmdArgument(refused)) << refused;
    EXPECT_FALSE(CmdArgument(std::string("a\0b", 3)));
}

TEST(CmdArgument, CmdReadsTheCommandsOfCmdAndOfBatchScriptsOnly) {
    const std::pair<const char*, bool> programs[] = {
        {"cmd", true},
        {"CMD.EXE", true},
        {"C:\\Windows\\System32\\cmd.exe", true},
        {"\"C:\\a b\\Cmd.Exe\"", true},
        {"x.bat", true},
        {"D:\\tools\\conv.CMD", true},
        {"\"D:\\my tools\\ffmpeg-all.cmd\"", true},
        {"x.bat.", true},
        {"x.bat.exe", false},
        {"cmdx.exe", false},
        {"notepad.exe", false},
        {"", false},
        {"D:\\cmd\\p.exe", false},
        {"x.batch", false},
    };
    for (const auto& [program, cmd] : programs)
        EXPECT_EQ(ReaderOf(program) == TCommandReader::Cmd, cmd) << program;
}

TEST(Schedule, EveryFormReadsAndWritesItselfAndEveryBadValueIsNone) {
    const std::pair<const char*, const char*> forms[] = {
        {"daily@02:00", "daily@02:00"},
        {"DAILY@2:05", "daily@02:05"},
        {"daily@23:59", "daily@23:59"},
        {"weekly:mon,fri@06:30", "weekly:mon,fri@06:30"},
        {"weekly:Sun,sat,MON@00:00", "weekly:mon,sat,sun@00:00"},
        {"hourly:3", "hourly:3"},
        {"hourly:744", "hourly:744"},
        {" logon ", "logon"},
        {"off", "off"},
    };
    for (const auto& [form, text] : forms) {
        const std::optional<TSchedule> schedule = ReadSchedule(form);
        ASSERT_TRUE(schedule) << form;
        EXPECT_EQ(ScheduleText(*schedule), text);
    }
    for (const char* bad : {"",
                            "never",
                            "daily",
                            "daily@",
                            "daily@25:00",
                            "daily@24:00",
                            "daily@12:60",
                            "daily@1200",
                            "daily@-1:00",
                            "daily@123:00",
                            "weekly:@02:00",
                            "weekly:mon",
                            "weekly:xyz@02:00",
                            "weekly:mon,mon@02:00",
                            "weekly:mon,,fri@02:00",
                            "hourly:0",
                            "hourly:745",
                            "hourly:",
                            "hourly:x",
                            "hourly:-1",
                            "logon:x"})
        EXPECT_FALSE(ReadSchedule(bad)) << bad;
}

TEST(Schedule, TheTaskRunsTheProjectAndHoldsItsTriggerEscapedOnce) {
    const TLocalTime now{2026, 12, 31, 22, 30, 10, 0};
    const std::string program = "C:\\Program Files\\Zemrun <x>\\zemrun.exe";
    struct Case {
        const char* form;
        std::string trigger; // a part of the task's triggers
    } cases[] = {
        {"daily@02:00", "<StartBoundary>2027-01-01T02:00:00</StartBoundary><ScheduleByDay>"},
        {"daily@23:00", "<StartBoundary>2026-12-31T23:00:00</StartBoundary><ScheduleByDay>"},
        {"weekly:tue,sun@06:30", "<DaysOfWeek><Tuesday/><Sunday/></DaysOfWeek>"},
        {"hourly:3", "<Interval>PT3H</Interval></Repetition><StartBoundary>2027-01-01T01:30:00"},
        {"logon", "<LogonTrigger><UserId>PC\\Anna &amp; Co</UserId></LogonTrigger>"},
    };
    for (const char* project : {"Night & Day", "\xE6\x9D\xB1 <copy> \"it's\"", "plain"})
        for (const Case& c : cases) {
            const TSchedule schedule = *ReadSchedule(c.form);
            const std::string xml = TaskXml(project, program, schedule, "PC\\Anna & Co", now);
            EXPECT_NE(xml.find(c.trigger), std::string::npos) << c.form << "\n" << xml;
            EXPECT_NE(xml.find("<StartWhenAvailable>true</StartWhenAvailable>"), std::string::npos);
            EXPECT_NE(xml.find("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"), std::string::npos);
            EXPECT_NE(
                xml.find("<Command>C:\\Program Files\\Zemrun &lt;x&gt;\\zemrun.exe</Command>"),
                std::string::npos);
            // The arguments are what the started program reads back, and the schedule and the
            // project come back from the XML.
            std::string back;
            EXPECT_EQ(ScheduleOfTaskXml(xml, &back), schedule) << c.form;
            EXPECT_EQ(back, project);
            EXPECT_EQ(SplitArguments(TaskArguments(project)),
                      (V{"/J:" + std::string(project), "/H"}));
            // Zemrun reads its own switches so too, where the name holds no quote.
            const TvxCommandLine tokens("zemrun.exe " + TaskArguments(project));
            if (std::string(project).find('"') == std::string::npos) {
                EXPECT_EQ(tokens.Strings(1), "/J:" + std::string(project));
            }
            EXPECT_EQ(xml.find(std::string(project)),
                      project == std::string("plain") ? xml.find("plain") : std::string::npos)
                << "escaped once";
        }
    // A trigger that Zemrun does not make, or none (as Wine keeps a task): a schedule of its own.
    for (const char* xml : {"<Task><Triggers><BootTrigger/></Triggers></Task>",
                            "<Task><Triggers/><Actions><Exec/></Actions></Task>"})
        EXPECT_EQ(ScheduleText(ScheduleOfTaskXml(xml)), "other") << xml;
    EXPECT_EQ(TaskProgram("C:\\Zemrun\\zemrun.com"), "C:\\Zemrun\\zemrun.exe");
    EXPECT_EQ(TaskProgram("C:\\Zemrun\\zemrun.exe"), "C:\\Zemrun\\zemrun.exe");
    EXPECT_EQ(TaskName("a\\b/c:d?"), "a_b_c_d_");
}

TEST(StripQuotes, RemovesOneQuoteAtEachEnd) {
    EXPECT_EQ(StripQuotes("\"D:\\My Lists\\a.txt\""), "D:\\My Lists\\a.txt");
    EXPECT_EQ(StripQuotes("\""), "");
    EXPECT_EQ(StripQuotes(""), "");
    EXPECT_EQ(StripQuotes("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(StripQuotes("a\""), "a");
}

class Switches : public ::testing::Test {
  protected:
    // Whether the run goes on; request is what the arguments ask for, else the defaults.
    bool Parse(const std::string& arguments) {
        std::optional<TRunRequest> asked =
            ParseArguments(TvxCommandLine("zemrun.exe " + arguments), host, host);
        request = asked ? std::move(*asked) : TRunRequest();
        return asked.has_value();
    }
    TRecordingHost host;
    TRunRequest request;
};

TEST_F(Switches, ApplyInOrderWithLaterOnesWinning) {
    EXPECT_TRUE(Parse(
        "-l:list.txt /X:\"C:\\t\\a b.exe\" /B:\"x y\" /e:-z /R:(\\w+) /F:250ms /G:7 /M:0 /O:9 "
        "/P /S /W /Lxother.txt /I /N:8 /K:\"D:\\logs\\run.tsv\" /Z /D:\"D:\\out\\preview.txt\" "
        "/C:OEM"));
    const TOptions& s = request.settings;
    EXPECT_EQ(s.List, "other.txt"); // the third character is not examined
    EXPECT_EQ(s.Exe, "C:\\t\\a b.exe");
    EXPECT_EQ(s.BParam, "\"x y\"");
    EXPECT_EQ(s.Eparam, "-z");
    EXPECT_EQ(s.RegExp, "(\\w+)");
    EXPECT_EQ(s.FirstPause, 250);
    EXPECT_EQ(s.GUI, 7);
    EXPECT_EQ(s.Window, 0);
    EXPECT_EQ(s.Priority, 9);
    EXPECT_TRUE(s.WaitClose);
    EXPECT_TRUE(s.ShellExecute);
    EXPECT_FALSE(s.WaitOpen);
    EXPECT_TRUE(request.interactive);
    EXPECT_EQ(s.Jobs, 8);
    EXPECT_EQ(s.JobLog, "D:\\logs\\run.tsv");
    EXPECT_TRUE(s.Resume);
    EXPECT_TRUE(request.preview);
    EXPECT_EQ(request.previewFile, "D:\\out\\preview.txt");
    EXPECT_EQ(s.Encoding, "OEM");
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(Switches, EveryArgumentAfterTheItemSwitchIsAnItem) {
    // As Explorer appends selected files: quoted where they hold blanks, a drive root too.
    EXPECT_TRUE(Parse("/X:p.exe /a \"D:\\\" \"C:\\My Files\\a b.txt\" /L:x.txt plain"));
    EXPECT_TRUE(request.itemArguments);
    EXPECT_EQ(request.settings.Items,
              (std::vector<std::string>{"D:\\", "C:\\My Files\\a b.txt", "/L:x.txt", "plain"}));
    EXPECT_EQ(request.settings.List, "");
    EXPECT_TRUE(Parse("/X:p.exe /a \"c\\\"d\" x"));
    EXPECT_EQ(request.settings.Items, (std::vector<std::string>{"c\"d", "x"}));
    EXPECT_TRUE(Parse("/A"));
    EXPECT_TRUE(request.itemArguments);
    EXPECT_TRUE(request.settings.Items.empty());
    // Non-switches before it keep their meaning.
    EXPECT_FALSE(Parse("one two /A three"));
    EXPECT_EQ(host.usageShown, 1);
    EXPECT_TRUE(request.settings.Items.empty());
}

TEST_F(Switches, FlagsIgnoreTrailingTextAndUnknownLettersAreSkipped) {
    EXPECT_TRUE(Parse("/W /Wxyz /Q:1 / - /Pnow /L: /X: /D"));
    EXPECT_TRUE(request.settings.WaitOpen); // inverted twice
    EXPECT_TRUE(request.settings.WaitClose);
    EXPECT_TRUE(request.preview); // shown, not written
    EXPECT_EQ(request.previewFile, "");
    EXPECT_EQ(request.settings.List, "");
    EXPECT_EQ(request.settings.Exe, "");
}

TEST_F(Switches, NumbersFollowTheReadingRule) {
    const std::pair<const char*, int32_t> cases[] = {
        {"/F:abc", 0}, {"/F:$10", 16}, {"/F:-5", -5}, {"/F:-5x", 5}};
    for (const auto& [arg, value] : cases) {
        EXPECT_TRUE(Parse(arg));
        EXPECT_EQ(request.settings.FirstPause, value) << arg;
    }
}

TEST_F(Switches, BatchSwitchesTakeEveryValueAsANumberOrAFolder) {
    struct Case {
        const char* args;
        int32_t timeLimit, retries, halt;
        const char* folder;
    } cases[] = {
        {"", 0, 0, NoHalt, ""},
        {"/T:60 /Y:2 /H:3 /U:\"D:\\out dir\"", 60, 2, 3, "D:\\out dir"},
        {"/T:abc /Y:-1 /H /U:", 0, -1, 0, ""}, // the run clamps the retries into 0..100
        {"/T:-5 /Y:100000 /H:-2", -5, 100000, 0, ""},
        {"/Hx /U:NUL", 0, 0, 0, "NUL"}, // a device is refused when the run makes the folder
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(Parse(c.args));
        EXPECT_EQ(request.settings.TimeLimit, c.timeLimit) << c.args;
        EXPECT_EQ(request.settings.Retries, c.retries) << c.args;
        EXPECT_EQ(request.settings.Halt, c.halt) << c.args;
        EXPECT_EQ(request.settings.OutputFolder, c.folder) << c.args;
    }
}

// The room rules' switches: good values, and what each bad one gives (nothing changes,
// except where a value reads as a limit of its own).
TEST_F(Switches, TheRoomRulesTakeTheirFormsAndLeaveBadValuesAlone) {
    const auto G = uint64_t(1) << 30;
    struct Case {
        const char* args;
        int32_t jobs, jobsPercent;
        uint64_t memFree;
        int32_t load, delay;
        V environment;
    } cases[] = {
        {"", 1, 0, 0, NoLoadLimit, 0, {}},
        {"/N:8 /MEMFREE:500M /LOAD:80 /DELAY:1.5", 8, 0, 500u << 20, 80, 1500, {}},
        {"/N:100% /MEMFREE:2G /DELAY:0.25", 1, 100, 2 * G, NoLoadLimit, 250, {}},
        {"/N:50% /MEMFREE:1.5G /MEMFREE:1048576", 1, 50, 1048576, NoLoadLimit, 0, {}},
        {"/MEMFREE:2gb /LOAD:0 /DELAY:2", 1, 0, 2 * G, 0, 2000, {}}, // 0%: one at a time
        // Bad values: the rule stays as it was.
        {"/MEMFREE:abc /MEMFREE:-1 /LOAD:x /LOAD:-5 /DELAY:-1 /DELAY:1s",
         1,
         0,
         0,
         NoLoadLimit,
         0,
         {}},
        {"/MEMFREE:99999T /LOAD:150", 1, 0, 99999 * (uint64_t(1) << 40), 100, 0, {}},
        {"/MEMFREE:99999999999999999T", 1, 0, UINT64_MAX, NoLoadLimit, 0, {}},
        {"/N:0% /N:%", 1, 1, 0, NoLoadLimit, 0, {}}, // at least one job
        {"/N:12x% /N:4", 4, 0, 0, NoLoadLimit, 0, {}},
        {"/SET:A=1 /SET: /SET:=x /SET:B /SET:C= \"/SET:D=a=b c\"",
         1,
         0,
         0,
         NoLoadLimit,
         0,
         {"A=1", "C=", "D=a=b c"}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(Parse(c.args)) << c.args;
        const TOptions& s = request.settings;
        EXPECT_EQ(s.Jobs, c.jobs) << c.args;
        EXPECT_EQ(s.JobsPercent, c.jobsPercent) << c.args;
        EXPECT_EQ(s.MemFree, c.memFree) << c.args;
        EXPECT_EQ(s.LoadLimit, c.load) << c.args;
        EXPECT_EQ(s.Delay, c.delay) << c.args;
        EXPECT_EQ(s.Environment, c.environment) << c.args;
    }
    // A share of the processors, rounded down, at least one.
    TOptions settings;
    SetDefaultOptions(settings);
    for (const auto& [share, processors, jobs] :
         std::vector<std::tuple<const char*, int, int>>{{"100%", 1, 1},
                                                        {"100%", 2, 2},
                                                        {"100%", 3, 3},
                                                        {"100%", 64, 64},
                                                        {"50%", 1, 1},
                                                        {"50%", 3, 1},
                                                        {"50%", 64, 32},
                                                        {"200%", 3, 6},
                                                        {"150%", 3, 4},
                                                        {"7", 64, 7}}) {
        ReadJobs(share, settings);
        EXPECT_EQ(JobsOn(settings, processors), jobs) << share << " of " << processors;
        EXPECT_EQ(JobsText(settings), share);
    }
    EXPECT_EQ(SizeText(2 * G), "2G");
    EXPECT_EQ(SizeText(1536u << 20), "1536M");
    EXPECT_EQ(SizeText(1000), "1000");
    EXPECT_EQ(SecondsText(1500), "1.5");
    EXPECT_EQ(SecondsText(2000), "2");
    EXPECT_EQ(ReadEnvironment(EnvironmentText({"A=1", "bad", "B=x y"})), (V{"A=1", "B=x y"}));
}

TEST_F(Switches, AWordSwitchIsKnownByItsWholeNameAndEveryOtherByItsLetter) {
    struct Case {
        const char* args;
        int32_t items;
        bool waitOpen, interactive;
    } cases[] = {
        {"/ITEMS:3", 3, true, false},   {"/items:3 -Items:4", 4, true, false},
        {"/ITEMS:abc", 0, true, false}, {"/ITEMS:-1 /ITEMS", 0, true, false},
        {"/Wait /I", 1, false, true},   {"/ITEM:5 /ITEMSX:5", 1, true, true}, // letter I
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(Parse(c.args));
        EXPECT_EQ(request.settings.ItemsPerCommand, c.items) << c.args;
        EXPECT_EQ(request.settings.WaitOpen, c.waitOpen) << c.args;
        EXPECT_EQ(request.interactive, c.interactive) << c.args;
    }
}

// What failed is shown where a person watches unless a switch or project says otherwise.
TEST_F(Switches, FailuresAreShownByTheWayTheRunWasAskedForUnlessTheSwitchSays) {
    const struct {
        const char* args;
        bool console;
        int32_t shown;
    } cases[] = {
        {"/L:a.txt", false, 0},
        {"/L:a.txt", true, 1},
        {"/I", false, 1},
        {"/A x.txt", false, 1},
        {"/L:a.txt /FAILURES", false, 1},
        {"/I /failures:0", false, 0},
        {"/L:a.txt /FAILURES:2", false, 1},
        {"/L:a.txt /FAILURES:0", true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Parse(c.args));
        request.SettleShowFailures(c.console);
        EXPECT_EQ(request.settings.ShowFailures, c.shown) << c.args << c.console;
    }
}

// A watch's switches; a settle time that is no number of seconds leaves the default.
TEST_F(Switches, TheWatchsSwitchesTakeTheirValuesAndRefuseBadSettleTimes) {
    const struct {
        const char* args;
        int32_t settle;
        bool subfolders;
        const char* folder;
        const char* match;
    } cases[] = {
        {"/WATCH:D:\\Scans", 5, false, "D:\\Scans", ""},
        {"\"/WATCH:D:\\My Scans\" /SETTLE:30 /SUBFOLDERS", 30, true, "D:\\My Scans", ""},
        {"/watch:x /settle:0 /subfolders:0 /MATCH:*.tif;!~$*", 0, false, "x", "*.tif;!~$*"},
        {"/WATCH:x /SETTLE:-1", 5, false, "x", ""},
        {"/WATCH:x /SETTLE:abc /SETTLE:", 5, false, "x", ""},
        {"/WATCH:x /SETTLE:1234567 /MATCH:", 5, false, "x", ""},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Parse(c.args));
        EXPECT_EQ(request.settings.SettleTime, c.settle) << c.args;
        EXPECT_EQ(request.settings.Subfolders, c.subfolders) << c.args;
        EXPECT_EQ(request.settings.WatchFolder, c.folder) << c.args;
        EXPECT_EQ(request.settings.Match, c.match) << c.args;
        EXPECT_TRUE(request.Runs()) << c.args;
    }
    EXPECT_TRUE(Parse("/UNWATCH:\"D:\\My Scans\" /DONE:Done /FAILED:D:\\Failed"));
    EXPECT_EQ(request.unwatchFolder, "D:\\My Scans");
    EXPECT_EQ(request.settings.DoneFolder, "Done");
    EXPECT_EQ(request.settings.FailedFolder, "D:\\Failed");
}

TEST_F(Switches, QuotedWholeSwitchGivesTheSameList) {
    EXPECT_TRUE(Parse("\"/L:D:\\My Lists\\a.txt\""));
    EXPECT_EQ(request.settings.List, "D:\\My Lists\\a.txt");
    EXPECT_TRUE(Parse("/L:\"D:\\My Lists\\b.txt\""));
    EXPECT_EQ(request.settings.List, "D:\\My Lists\\b.txt");
}

TEST_F(Switches, ANonSwitchAmongSeveralShowsUsageAndStartsNothing) {
    EXPECT_FALSE(Parse("/L:a.txt b.txt"));
    EXPECT_FALSE(Parse("b.txt /L:x.txt"));
    EXPECT_EQ(host.usageShown, 2);
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(Switches, ALoneNonSwitchIsOpenedThroughTheShell) {
    EXPECT_FALSE(Parse("\"my report.pdf\""));
    EXPECT_EQ(host.commands, (V{"shell||my report.pdf|noprog"}));
    EXPECT_EQ(host.openProcesses, 0);
    EXPECT_EQ(host.usageShown, 0);
}

} // namespace

// The installer's folder on the user's PATH: added once, taken off wherever it stands, and
// every other entry (unexpanded variables, empty ones) kept as it was.
TEST(UserPath, TheFolderIsAddedOnceAndTakenOffLeavingTheOtherEntries) {
    const std::string folder = "C:\\Users\\Anna\\AppData\\Local\\Programs\\Zemrun\\";
    const std::string entry = "C:\\Users\\Anna\\AppData\\Local\\Programs\\Zemrun";
    struct {
        std::string path, added, removed;
    } const cases[] = {
        {"", entry, ""},
        {"%USERPROFILE%\\bin", "%USERPROFILE%\\bin;" + entry, "%USERPROFILE%\\bin"},
        {"C:\\tools;", "C:\\tools;" + entry, "C:\\tools;"},
        {"a;;b", "a;;b;" + entry, "a;;b"},
        {"a;" + entry + ";b", "a;" + entry + ";b", "a;b"},
        {"a; \"c:\\users\\anna\\appdata\\local\\programs\\zemrun\\\" ;b",
         "a; \"c:\\users\\anna\\appdata\\local\\programs\\zemrun\\\" ;b", "a;b"},
        {entry + "\\Old;" + entry, entry + "\\Old;" + entry, entry + "\\Old"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathWithFolder(c.path, folder), c.added) << c.path;
        EXPECT_EQ(PathWithoutFolder(c.path, folder), c.removed) << c.path;
    }
    // A drive's root keeps its backslash: "C:" alone is the drive's current folder.
    EXPECT_EQ(PathWithFolder("a", "D:\\"), "a;D:\\");
}
