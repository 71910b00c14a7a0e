// zemrun.exe started for real with switches and list files against zprobe.exe.
#include "foundation/vxFileUtils.h"
#include "foundation/vxHandles.h"
#include "foundation/vxIniFile.h"
#include "foundation/vxTaskScheduler.h"
#include "foundation/vxTextCodec.h"
#include "launcher/zemrunSystem_win32.h"
#include "launcher/zemrunU.h"
#include "resources/zemrunIds.h"
#include "settings/zemrunSchedule.h"
#include "ui/WatchIcon.h"
#include "uidriver.h"
#include "wintest_support.h"
#include "zemrunVersion.h"

#include <gtest/gtest.h>

#include <psapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace {

using V = std::vector<std::string>;

class EndToEnd : public ::testing::Test {
  protected:
    EndToEnd() : log_("ZPROBE_LOG", temp_.File("probe.log")) {}

    std::string WriteList(const std::string& bytes, const std::string& name = "list.txt") {
        WriteBytes(temp_.File(name), bytes);
        return temp_.File(name);
    }
    // Runs zemrun over a list with the given switches; expects a clean end.
    void RunOver(const std::string& listBytes, const std::string& switches,
                 DWORD timeoutMs = 180000) {
        const TZemrunRun run = RunZemrun("/L:" + WriteList(listBytes) + " " + switches, timeoutMs);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
    }
    std::vector<std::string> Commands() const { return ProbeCommands(temp_.File("probe.log")); }
    std::vector<TProbeStart> Starts() const { return ReadProbeLog(temp_.File("probe.log")); }
    // Without waits zemrun may end before its last probes have written their lines.
    std::vector<std::string> AwaitCommands(size_t count) const {
        uidriver::WaitUntil([&] { return Commands().size() >= count; }, 20000);
        return Commands();
    }
    std::vector<TProbeStart> AwaitStarts(size_t count) const {
        uidriver::WaitUntil([&] { return Starts().size() >= count; }, 20000);
        return Starts();
    }

    TSettingsBackup settings_; // every run may write the user's options
    TTempFolder temp_;
    TScopedEnv log_;
    const std::string probe_ = ProbePath();
};

// The usage message box of a zemrun process: waits for it, checks it and clicks OK.
void ExpectUsageBoxAndConfirm(TZemrunProcess& zemrun) {
    HWND box = uidriver::WaitForTopWindow(zemrun.Id(), "#32770", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uidriver::Text(box), "Zemrun  Ver." ZEMRUN_VERSION_TEXT);
    EXPECT_EQ(
        uidriver::ItemText(box, uidriver::MessageBoxText),
        "Usage: zemrun.exe <filename> or \nzemrun.exe /L:<listfile|-> [/X:<execute program>] "
        "[/B:<before "
        "param>] [/E:<end param>] [/W] [/S] [/P] [/R:<RegExp>] [/G:<gui mode>] [/I] "
        "[/F:<pause>] [/M:<window "
        "mode>] [/O:<priority>] [/J:<project>] [/N:<jobs>[%]] [/K:<job log>] [/Z] [/D[:<preview "
        "file>]] [/C:<list encoding>] [/T:<seconds>] [/Y:<retries>] [/H[:<failures>]] "
        "[/U:<output folder>] [/ITEMS:<count>] [/FAILURES[:0]] [/WATCH:<folder>] "
        "[/UNWATCH:<folder>] [/SETTLE:<seconds>] [/MATCH:<patterns>] [/SUBFOLDERS] "
        "[/DONE:<folder>] [/FAILED:<folder>] [/MEMFREE:<size>] [/LOAD:<percent>] "
        "[/DELAY:<seconds>] [/SET:<name>=<value>] [/SCHEDULE[:<when>]] [/INSTALL] [/UNINSTALL] "
        "[/A <item or "
        "pattern>...]\nSee "
        "readme.txt for more information");
    // Icon handles belong to their process, so only the icon's presence can be seen here.
    const HICON shown = reinterpret_cast<HICON>(
        SendMessageA(uidriver::Item(box, uidriver::MessageBoxIcon), STM_GETICON, 0, 0));
    EXPECT_NE(shown, nullptr);
    HWND ok = nullptr;
    for (HWND child : uidriver::Children(box))
        if (uidriver::ClassName(child) == "Button") ok = child;
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(uidriver::Text(ok), "OK");
    uidriver::Click(ok);
    DWORD exitCode = 1;
    ASSERT_TRUE(zemrun.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(EndToEnd, NoArgumentsShowTheUsageMessage) {
    TZemrunProcess zemrun("");
    ExpectUsageBoxAndConfirm(zemrun);
}

TEST_F(EndToEnd, StartedByBareNameTheProgramReadsNoFilesOfTheCurrentFolder) {
    // The current folder's options name a German language file; zemrun's own folder has
    // no options, so the usage message stays English.
    WriteBytes(temp_.File("x.lng"), ReadBytes(BuildFolder() + "\\deutsch.lng"));
    WriteBytes(temp_.File("options.ini"),
               "[General]\r\nLanguage=" + TvxIniFile::Escape(temp_.File("x.lng")) + "\r\n");
    TZemrunProcess zemrun("", temp_.Path());
    ExpectUsageBoxAndConfirm(zemrun);
}

TEST_F(EndToEnd, ANonSwitchAmongSeveralShowsTheUsageAndStartsNothing) {
    TZemrunProcess zemrun("/L:" + WriteList("a") + " /X:" + probe_ + " extra.txt");
    ExpectUsageBoxAndConfirm(zemrun);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(EndToEnd, ALoneArgumentIsOpenedThroughTheShell) {
    TRegisteredExtension registered(".zlone", "\"" + probe_ + "\" /opened \"%1\"");
    WriteBytes(temp_.File("doc.zlone"), "x");
    const TZemrunRun run = RunZemrun(temp_.File("doc.zlone"));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Commands().size() == 1; }, 20000));
    EXPECT_EQ(Commands()[0], "\"" + probe_ + "\" /opened \"" + temp_.File("doc.zlone") + "\"");
}

TEST_F(EndToEnd, CommandLinesAreByteExact) {
    RunOver("plain\r\nwith blank.txt\r\n\r\n\"quoted item\"\r\nlast\x1aignored\r\n",
            "/X:" + probe_ + " /B:-a /E:\"-z z\" /W /P");
    EXPECT_EQ(AwaitCommands(5),
              (V{probe_ + " -a  plain \"-z z\"", probe_ + " -a  \"with blank.txt\" \"-z z\"",
                 probe_ + " -a   \"-z z\"", probe_ + " -a  \"quoted item\" \"-z z\"",
                 probe_ + " -a  last \"-z z\""}));
}

// The launch benchmark's view of where a run's time went.
TEST_F(EndToEnd, ARunWritesItsPhaseTimesWhereTheEnvironmentAsks) {
    const TScopedEnv phases("ZEMRUN_PHASE_TIMES", temp_.File("phases.txt"));
    RunOver("a\r\nb\r\nc\r\n", "/X:" + probe_ + " /W /P /G:3");
    std::istringstream line(ReadBytes(temp_.File("phases.txt")));
    std::map<std::string, double> times;
    for (std::string name; line >> name >> times[name];) {
    }
    EXPECT_EQ(times["starts"], 3);
    EXPECT_GT(times["start"], 0);
    EXPECT_GT(times["endWait"], 0);
    EXPECT_GT(times["windowUpdates"], 0); // the window's thread, at least its first paint
    EXPECT_GT(times["cpu"], 0);
    EXPECT_EQ(times.size(), 7u);
}

// readme.txt, with its lines ending in LF alone.
std::string ReadmeText() {
    std::string sourceFolder = "Z:" ZEMRUN_SOURCE_DIR;
    for (char& c : sourceFolder)
        if (c == '/') c = '\\';
    std::string readme = ReadBytes(sourceFolder + "\\docs\\readme.txt");
    readme.erase(std::remove(readme.begin(), readme.end(), '\r'), readme.end());
    return readme;
}

// Every example of readme.txt, with zprobe standing in for the programs it names.
TEST_F(EndToEnd, TheReadmeExamplesDoWhatTheReadmeSays) {
    const std::string readme = ReadmeText();
    TRegisteredExtension registered(".zdoc", "\"" + probe_ + "\" /open \"%1\"");
    TRegisteredExtension copied(".zqt", "\"" + probe_ + "\" /open \"%1\"");
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[Convert%20pictures]\r\nExe=" + TvxIniFile::Escape(probe_) +
                   "\r\nBParam=-q\r\nWaitClose=1\r\n");
    struct Example {
        std::string switches, listName;
        V lines, commands; // the commands as the readme shows them, when it does
        int runs = 1;      // the same command line again, as after an interruption
    };
    const std::string conv = "D:\\tools\\conv.exe";
    const Example examples[] = {
        {"/L:photos.txt /X:D:\\tools\\conv.exe /B:-q /P",
         "photos.txt",
         {"a.jpg", "b c.jpg"},
         {conv + " -q  a.jpg", conv + " -q  \"b c.jpg\""}},
        {"/L:docs.txt /W", "docs.txt", {"a.zdoc", "b c.zdoc"}, {}},
        {"/L:files.txt /X:D:\\tools\\conv.exe /R:(\\w+)\\.txt /B:/in:$1",
         "files.txt",
         {"report.txt"},
         {conv + " /in:report  report.txt"}},
        {"/L:photos.txt \"/J:Convert pictures\"", "photos.txt", {"a.jpg"}, {}},
        {"/L:photos.txt /X:D:\\tools\\conv.exe /P /N:4 /K:photos.log /Z",
         "photos.txt",
         {"a.jpg"},
         {},
         2},
        {"/L:dir.txt /X:D:\\tools\\conv.exe /C:OEM",
         "dir.txt",
         {FromUtf16(u"caf\u00E9.jpg", LegacyOemCodePage())},
         {}},
        {"\"/J:Convert pictures\" /A \"D:\\Photos\\a.jpg\" D:\\Photos\\b.jpg", "", {}, {}},
        {"/L:paths.txt /R:^(.*)\\.zqt$ /E:$1.out", "paths.txt", {"\"D:\\My Files\\a.zqt\""}, {}},
        {"/X:D:\\tools\\conv.exe /A D:\\Photos\\*.jpg", "", {}, {}},
        {"/L:night.txt /X:D:\\tools\\conv.exe /T:600 /Y:2 /H /U:out /K:night.log",
         "night.txt",
         {"a.jpg"},
         {}},
        {"/L:photos.txt /X:D:\\tools\\conv.exe /B:-i \"/E:-o {.}.png\"",
         "photos.txt",
         {"D:\\Photos\\a b.jpg"},
         {conv + " -i  \"D:\\Photos\\a b.jpg\" -o \"D:\\Photos\\a b.png\""}},
        {"/L:photos.txt /X:D:\\tools\\conv.exe \"/B:-i {} -o {//}\\png\\{/.}.png\"",
         "photos.txt",
         {"D:\\Photos\\a b.jpg"},
         {conv + " -i \"D:\\Photos\\a b.jpg\" -o \"D:\\Photos\\png\\a b.png\""}},
        {"/L:files.txt /X:D:\\tools\\zip.exe \"/B:-add D:\\backup.zip\" /ITEMS:200 /P",
         "files.txt",
         {"a.txt", "b c.txt", "d.txt"},
         {}},
    };
    const V expected[] = {{probe_ + " -q  a.jpg", probe_ + " -q  \"b c.jpg\""},
                          {probe_ + " /open a.zdoc", probe_ + " /open \"b c.zdoc\""},
                          {probe_ + " /in:report  report.txt"},
                          {probe_ + " -q  a.jpg"},
                          {probe_ + " a.jpg"}, // the second run finds it done
                          {probe_ + " caf\xC3\xA9.jpg"},
                          {probe_ + " -q  D:\\Photos\\a.jpg", probe_ + " -q  D:\\Photos\\b.jpg"},
                          {probe_ + "  /open \"D:\\My Files\\a.zqt\" \"D:\\My Files\\a.out\""},
                          {probe_ + " D:\\Photos\\*.jpg"}, // here no such folder: as written
                          {probe_ + " a.jpg"},
                          {probe_ + " -i  \"D:\\Photos\\a b.jpg\" -o \"D:\\Photos\\a b.png\""},
                          {probe_ + " -i \"D:\\Photos\\a b.jpg\" -o \"D:\\Photos\\png\\a b.png\""},
                          {probe_ + " -add D:\\backup.zip  a.txt \"b c.txt\" d.txt"}};
    for (size_t i = 0; i < std::size(examples); ++i) {
        const Example& example = examples[i];
        SCOPED_TRACE(example.switches);
        EXPECT_NE(readme.find("    zemrun.exe " + example.switches + "\n"), std::string::npos);
        for (const std::string& command : example.commands)
            EXPECT_NE(readme.find(command), std::string::npos);
        std::string list;
        for (const std::string& line : example.lines)
            list += line + "\r\n";
        std::string switches = example.switches;
        if (!example.listName.empty())
            switches.replace(switches.find(example.listName), example.listName.size(),
                             WriteList(list, example.listName));
        for (const std::string& program : {conv, std::string("D:\\tools\\zip.exe")})
            if (switches.find(program) != std::string::npos)
                switches.replace(switches.find(program), program.size(), probe_);
        DeleteFileA(temp_.File("probe.log").c_str());
        for (int round = 0; round < example.runs; ++round) {
            // From the test's folder, where relative names such as a job log's land.
            const TZemrunRun run = RunZemrun(switches, 180000, temp_.Path());
            ASSERT_TRUE(run.finished);
            EXPECT_EQ(run.exitCode, 0u);
        }
        EXPECT_EQ(AwaitCommands(expected[i].size()), expected[i]);
    }
}

// The command-prompt examples of readme.txt, run by cmd as written: "zemrun" is zemrun.com
// on the PATH, zprobe stands in for the program and a folder of the test for D:\Photos.
// Wine 8's findstr writes nothing, so more, which passes every line on, takes its place.
TEST_F(EndToEnd, TheReadmesPromptExamplesRunInCmd) {
    const std::string readme = ReadmeText();
    const std::string photos = temp_.File("Photos");
    CreateDirectoryA(photos.c_str(), nullptr);
    WriteBytes(photos + "\\a.jpg", "x");
    WriteBytes(photos + "\\b 2024.jpg", "x");
    WriteList("a.jpg\r\nb 2024.jpg\r\n", "photos.txt");
    WriteList("a\r\n/exit:3\r\n", "night.txt");
    const struct {
        std::string line, output;
        V commands;
    } examples[] = {
        {"dir /b /s D:\\Photos\\*.jpg | zemrun /L:- /X:D:\\tools\\conv.exe /E:{.}.png /P",
         "",
         {probe_ + " " + photos + "\\a.jpg " + photos + "\\a.png",
          probe_ + " \"" + photos + "\\b 2024.jpg\" \"" + photos + "\\b 2024.png\""}},
        {"zemrun /L:night.txt /X:D:\\tools\\conv.exe /P /H || echo Some items failed",
         "Some items failed\r\n",
         {probe_ + " a", probe_ + " /exit:3"}},
        {"zemrun /L:photos.txt /X:D:\\tools\\conv.exe /D | findstr 2024",
         probe_ + " a.jpg\r\n" + probe_ + " \"b 2024.jpg\"\r\n",
         {}},
    };
    char path[32768];
    GetEnvironmentVariableA("PATH", path, sizeof path);
    TScopedEnv prompt("PATH", BuildFolder() + ";" + path);
    const std::string out = temp_.File("out.txt");
    for (const auto& example : examples) {
        SCOPED_TRACE(example.line);
        EXPECT_NE(readme.find("    " + example.line + "\n"), std::string::npos);
        std::string line = example.line;
        for (const auto& [written, here] :
             {std::pair<std::string, std::string>{"D:\\Photos", photos},
              {"D:\\tools\\conv.exe", probe_},
              {"findstr 2024", "more"}})
            if (line.find(written) != std::string::npos)
                line.replace(line.find(written), written.size(), here);
        DeleteFileA(temp_.File("probe.log").c_str());
        const TZemrunRun run =
            RunCommandLine("cmd.exe /c " + line + " > " + out + " 2> nul", 180000, temp_.Path());
        EXPECT_TRUE(run.finished);
        // The redirection applies to the last command; echo keeps the blanks before it.
        std::string output = ReadBytes(out);
        for (size_t blank; (blank = output.find(" \r\n")) != std::string::npos;)
            output.erase(blank, 1);
        EXPECT_EQ(output, example.output);
        EXPECT_EQ(Commands(), example.commands);
    }
}

TEST_F(EndToEnd, AListTooLongForTheAddressSpaceEndsWithNotEnoughMemory) {
    if (sizeof(void*) > 4) GTEST_SKIP() << "a 64-bit process has the memory for this list";
    // One line of 3 GB, a sparse file of zero bytes without a line end.
    const std::string list = temp_.File("huge.txt");
    HANDLE file = CreateFileA(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3ll << 30;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    const TZemrunRun run = RunZemrun("/L:" + list + " /X:" + probe_ + " /G:0", 120000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(Commands().empty());
}

TEST_F(EndToEnd, AnItemEqualToTheProgramIsItsOwnCommand) {
    RunOver(probe_ + "\r\nother", "/X:" + probe_ + " /E:-z /W /P");
    EXPECT_EQ(AwaitCommands(2), (V{probe_ + " -z", probe_ + " other -z"}));
}

TEST_F(EndToEnd, EveryKindOfLineEndEndsALine) {
    RunOver("one\ntwo\r\nthree\rfour\n", "/X:" + probe_ + " /W /P");
    EXPECT_EQ(Commands(),
              (V{probe_ + " one", probe_ + " two", probe_ + " three", probe_ + " four"}));
}

TEST_F(EndToEnd, ExpressionGroupsFillTheParameters) {
    TScopedEnv name("ZEMRUN_T_report", "REPORTVAR");
    // Environment references are expanded after the groups are filled in.
    RunOver("report.txt\rnotes.doc\rmy file.txt",
            "/X:" + probe_ + " /R:(\\w+)\\.txt /B:/in:$1 \"/E:$.$$.$10. %ZEMRUN_T_$1%\" /W /P");
    // A piece with a quoted blank that does not begin with a quote is quoted again.
    RunOver("x.txt", "/X:" + probe_ + " /R:x /E:/out:\"a b\" /W /P");
    EXPECT_EQ(Commands(),
              (V{probe_ + " /in:report  report.txt report.txt.report.txtreport.txt.. REPORTVAR",
                 probe_ + " /in:  notes.doc ... %ZEMRUN_T_%",
                 probe_ + " /in:file  \"my file.txt\" file.txt.file.txtfile.txt.. %ZEMRUN_T_file%",
                 probe_ + "   x.txt \"/out:\"a b\"\""})); // parameters untrimmed
}

TEST_F(EndToEnd, TheDocumentedExpressionExampleBuildsItsBeginPart) {
    TRunRequest request;
    request.settings.List = WriteList("report.txt");
    request.settings.Exe = probe_;
    request.settings.RegExp = "(\\w+)\\.txt";
    request.settings.BParam = "/in:$1 \"$1 copy.txt\"";
    request.settings.WaitOpen = false;
    request.settings.WaitClose = true;
    TWindowRun<> host;
    host.Run(request);
    EXPECT_EQ(Commands(), (V{probe_ + " /in:report \"report copy.txt\"  report.txt"}));
}

TEST_F(EndToEnd, AnInvalidExpressionStartsEveryItemAndShowsNothing) {
    TZemrunProcess zemrun("/L:" + WriteList("a\rb") + " /X:" + probe_ + " /R:(x /B:-$1- /W /P");
    DWORD exitCode = 1;
    ASSERT_TRUE(zemrun.Wait(30000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(Commands(), (V{probe_ + " --  a", probe_ + " --  b"}));
}

TEST_F(EndToEnd, ProjectsLoadAtTheirPositionAmongTheSwitches) {
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[Convert%20it]\r\nExe=" + probe_ + "\r\nBParam=-p\r\n");
    RunOver("a", "/X:C:\\no\\tool.exe \"/J:convert IT\" /W /P");
    RunOver("a", "\"/J:Convert it\" /B:-late /W /P");
    RunOver("a", "/X:" + probe_ + " /J:unknown /B:-own /W /P");
    EXPECT_EQ(Commands(), (V{probe_ + " -p  a", probe_ + " -late  a", probe_ + " -own  a"}));
}

TEST_F(EndToEnd, OptionsAreMergedAndOnlyTheUsersCopyIsWritten) {
    WriteBytes(TSettingsBackup::ProgramOptions(), "[General]\r\nHistorymaxCount=5\r\n");
    CreateFolderPath(TSettingsBackup::UserFile("options.ini"));
    WriteBytes(TSettingsBackup::UserFile("options.ini"),
               "; mine\r\n[general]\r\nhistorymaxcount=20\r\n");
    RunOver("", "/X:" + probe_);
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("options.ini")),
              "[General]\r\nHistorymaxCount=20\r\n");
    EXPECT_EQ(ReadBytes(TSettingsBackup::ProgramOptions()), "[General]\r\nHistorymaxCount=5\r\n");
}

TEST_F(EndToEnd, ARunThatChangesNothingWritesNothing) {
    WriteBytes(TSettingsBackup::ProgramOptions(), "[General]\r\nHistorymaxCount=5\r\n");
    WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
    GetFileAttributesExA(TSettingsBackup::ProgramOptions().c_str(), GetFileExInfoStandard, &before);
    Sleep(50);
    RunOver("a", "/X:" + probe_ + " /W /P");
    GetFileAttributesExA(TSettingsBackup::ProgramOptions().c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    EXPECT_EQ(ReadBytes(TSettingsBackup::ProgramOptions()), "[General]\r\nHistorymaxCount=5\r\n");
    EXPECT_EQ(GetFileAttributesA(TSettingsBackup::UserFile("options.ini").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(EndToEnd, UnreadableSettingsEndTheProcessWithAFailureStatus) {
    // Folders where the files should be: they exist but cannot be read.
    CreateFolderPath(TSettingsBackup::UserFile("options.ini") + "\\");
    TZemrunRun run = RunZemrun("/L:" + WriteList("a") + " /X:" + probe_);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0u);
    RemoveDirectoryA(TSettingsBackup::UserFile("options.ini").c_str());
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini") + "\\");
    run = RunZemrun("/L:" + WriteList("a") + " /X:" + probe_ + " /J:any");
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0u);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(EndToEnd, ShowCommandAndPriorityReachBothStarters) {
    TScopedEnv delay("ZPROBE_PRIORITY_DELAY_MS", "400");
    for (const char* starter : {"", "/S"}) {
        DeleteFileA(temp_.File("probe.log").c_str());
        RunOver("a\rb", std::string("/X:") + probe_ + " /W /P /F:0 /G:0 /M:2 /O:1 " + starter);
        RunOver("c", std::string("/X:") + probe_ + " /W /P /M:0 " + starter);
        const auto starts = Starts();
        ASSERT_EQ(starts.size(), 3u) << starter;
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(starts[i].flags & STARTF_USESHOWWINDOW) << starter;
            EXPECT_EQ(starts[i].show, 2u) << starter;
            EXPECT_EQ(starts[i].priority, DWORD(IDLE_PRIORITY_CLASS)) << starter;
        }
        EXPECT_EQ(starts[2].show, 0u) << starter;
        EXPECT_EQ(starts[2].priority, DWORD(NORMAL_PRIORITY_CLASS)) << starter;
    }
}

TEST_F(EndToEnd, RegisteredProgramsTakeTheTemplateArguments) {
    TRegisteredExtension quoted(".zq1", "\"" + probe_ + "\" /x \"%1\"");
    TRegisteredExtension star(".zq2", probe_ + " %1 %*");
    TRegisteredExtension longName(".zq3", probe_ + " \"%L\"");
    TRegisteredExtension inside(".zq4", probe_ + " /file=%1 /p");
    RunOver("a.zq1\rb c.zq2\rd.zq3\re.zq4", "/W /P /B:-b");
    // An unregistered extension runs the item as its own command line; an item that
    // holds a blank is quoted unless it begins with a quote itself.
    RunOver("a.zq1\r\"" + probe_ + "\" direct.zunregistered", "/W /P /E:-e");
    EXPECT_EQ(AwaitCommands(6),
              (V{probe_ + " -b /x a.zq1", probe_ + " -b  \"b c.zq2\"", probe_ + " -b %L d.zq3",
                 probe_ + " -b /file=%1 /p e.zq4", probe_ + " /x a.zq1 -e",
                 "\"" + probe_ + "\" direct.zunregistered -e"}));
}

// The system of the program, counting what the run asks of the registry and the starts
// that the system refused.
class TCountingSystem : public TWin32System {
  public:
    using TWin32System::TWin32System;
    std::map<std::string, int> lookups;
    int refused = 0;
    std::string GetAssocCommand(const std::string& extension) override {
        ++lookups[extension];
        return TWin32System::GetAssocCommand(extension);
    }
    TStarted Start(const TStartCommand& command) override {
        const TStarted started = TWin32System::Start(command);
        if (!started.process) ++refused;
        return started;
    }
};
using TCountingHost = TWindowRun<TCountingSystem>;

TEST_F(EndToEnd, OneRegistryLookupPerExtensionTextAndNoneThroughTheShell) {
    TRegisteredExtension registered(".zq5", "\"" + probe_ + "\" \"%1\"");
    TRunRequest request;
    request.settings.List = WriteList("a.zq5\rb.zq5\rc.ZQ5\rd.zq5");
    request.settings.WaitOpen = false;
    request.settings.FirstPause = 0;
    request.settings.GUI = 0;
    TCountingHost host;
    host.Run(request);
    EXPECT_EQ(host.system.lookups, (std::map<std::string, int>{{".zq5", 1}, {".ZQ5", 1}}));
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Commands().size() == 4; }, 20000));

    request = TRunRequest();
    request.settings.List = WriteList(probe_, "shell.txt");
    request.settings.ShellExecute = true;
    request.settings.WaitClose = true;
    TCountingHost shellHost;
    shellHost.Run(request);
    EXPECT_TRUE(shellHost.system.lookups.empty());
    EXPECT_EQ(Commands().size(), 5u);
}

TEST_F(EndToEnd, WaitCloseWaitsForEachEnd) {
    TScopedEnv stay("ZPROBE_STAY_MS", "300");
    RunOver("a\rb\rc", "/X:" + probe_ + " /W /P");
    const auto starts = Starts();
    ASSERT_EQ(starts.size(), 3u);
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_GE(starts[i].start, starts[i - 1].ready + 300);
}

TEST_F(EndToEnd, WaitOpenWaitsUntilTheProgramIsReadyForInput) {
    TScopedEnv window("ZPROBE_WINDOW", "1");
    TScopedEnv delay("ZPROBE_IDLE_DELAY_MS", "600");
    TScopedEnv stay("ZPROBE_STAY_MS", "8000");
    RunOver("a\rb", "/X:" + probe_ + " /F:0");
    const auto starts = Starts();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_GE(starts[0].ready, starts[0].start + 600);
    EXPECT_GE(starts[1].start, starts[0].ready);
    // Found running by its full path (from a 32-bit zemrun.exe also when the probe is a
    // 64-bit program), not waited for until it ended: that would take the 8 s stay, where
    // the finding and the next start take well under a second, or a few on a busy machine.
    EXPECT_LT(starts[1].start, starts[0].ready + 4000);
}

TEST_F(EndToEnd, WaitOpenEndsWhenTheProgramIsNeverFoundAndHasEnded) {
    // The environment reference starts the probe but never names a running process; the
    // full path names it only while it runs, and it ends at once. With the progress window
    // (two items and the default settings) as without it, nobody has to press Skip.
    // A wait that missed the end would last the 30 s limit for each item, or for ever.
    TScopedEnv dir("ZEMRUN_T_PROBEDIR", BuildFolder());
    for (const std::string& switches :
         {std::string("/X:%ZEMRUN_T_PROBEDIR%\\zprobe.exe /F:0 /G:0"), "/X:" + probe_}) {
        const ULONGLONG before = GetTickCount64();
        RunOver("a\rb", switches);
        EXPECT_LT(GetTickCount64() - before, 15000u) << switches;
    }
    EXPECT_EQ(AwaitCommands(4).size(), 4u);
}

TEST_F(EndToEnd, PausesAfterTheFirstStart) {
    // Timed by zemrun's own start times: the probes come up after a varying delay.
    const std::string log = temp_.File("jobs.tsv");
    RunOver("a\rb\rc", "/X:" + probe_ + " /W /F:3000 /K:" + log);
    const std::vector<V> lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    std::vector<unsigned long long> starts;
    for (const V& line : lines)
        starts.push_back(JobLogMilliseconds(line[1]));
    EXPECT_GE(starts[1] - starts[0], 2950u);
    EXPECT_LT(starts[2] - starts[1], 1500u); // once only: a second pause would take 3 s
}

TEST_F(EndToEnd, BadInputNeverCrashesOrHangs) {
    // A missing list: nothing started, status 0.
    TZemrunRun run = RunZemrun("/L:" + temp_.File("missing.txt") + " /X:" + probe_);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    // A list that is a folder: the read fails, the status is not 0.
    CreateDirectoryA(temp_.File("folder.txt").c_str(), nullptr);
    run = RunZemrun("/L:" + temp_.File("folder.txt") + " /X:" + probe_);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0u);
    // A zero byte would cut the command: such an item is not started, nor is a project
    // value written "%00"; a program that does not exist starts nothing either.
    RunOver(std::string("a\0b\r\nc", 6), "/X:" + probe_ + " /W /P");
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"), "[Zero]\r\nEparam=-z%00tail\r\n");
    RunOver("d", "/X:" + probe_ + " /J:zero /W /P");
    RunOver("x\ry", "/X:" + temp_.File("no-such.exe") + " /F:0");
    EXPECT_EQ(AwaitCommands(1), (V{probe_ + " c"}));
    // Devices are no list files: reading one never ends.
    for (const char* device : {"AUX", "COM1", "NUL", "\\\\.\\COM2"}) {
        run = RunZemrun(std::string("/L:") + device + " /X:" + probe_, 60000);
        EXPECT_TRUE(run.finished) << device;
    }
    EXPECT_EQ(Commands(), (V{probe_ + " c"}));
}

TEST_F(EndToEnd, AHugeSingleLineFailsToStartAndIsSkipped) {
    // Reading 50 MB takes minutes where 32-bit programs run emulated on a busy machine; a
    // hang would never end.
    RunOver(std::string(50 * 1024 * 1024, 'x') + "\r\nsmall", "/X:" + probe_ + " /W /F:0", 400000);
    // The shell would start the program with the command's end cut off.
    RunOver(std::string(40000, 'y') + "\r\nshell", "/X:" + probe_ + " /S /W /P");
    EXPECT_EQ(AwaitCommands(2),
              (V{probe_ + " small", "\"" + probe_ + "\" shell"})); // the shell quotes it
}

TEST_F(EndToEnd, AProgramInAFolderWithBlanksRunsItselfAndNotADecoy) {
    // Unquoted, "...\sp ace\zp.exe a" makes Windows try "...\sp.exe" first.
    CreateDirectoryA(temp_.File("sp ace").c_str(), nullptr);
    const std::string real = temp_.File("sp ace\\zp.exe");
    ASSERT_TRUE(CopyFileA(probe_.c_str(), real.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(probe_.c_str(), temp_.File("sp.exe").c_str(), FALSE));
    TRegisteredExtension registered(".zsp", "\"" + real + "\" \"%1\"");
    RunOver("a", "/X:\"" + real + "\" /W /P");
    RunOver("b.zsp", "/W /P");
    // An item that ends in a backslash keeps its closing quote.
    RunOver("C:\\My Docs\\", "/X:" + probe_ + " /E:-z /W /P");
    const auto starts = Starts();
    ASSERT_EQ(starts.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(starts[i].image, real);
        EXPECT_EQ(starts[i].arg0, real);
    }
    EXPECT_EQ(starts[0].commandLine, "\"" + real + "\" a");
    EXPECT_EQ(starts[1].commandLine, "\"" + real + "\" b.zsp");
    EXPECT_EQ(starts[2].commandLine, probe_ + " \"C:\\My Docs\\\\\" -z");
}

TEST_F(EndToEnd, TypesWithoutADefaultVerbUseOpenOrTheirFirstVerb) {
    TRegisteredExtension open(".zv1", "\"" + probe_ + "\" /open \"%1\"", "open", false);
    TRegisteredExtension edit(".zv2", "\"" + probe_ + "\" /edit \"%1\"", "edit", false);
    // What the classes root does not lead to, the shell's association query may know.
    TRegisteredExtension shell(".zv3", "\"" + probe_ + "\" /shell \"%1\"", "open", false, true);
    RunOver("a.zv1\rb.zv2\rc.zv3", "/W /P");
    EXPECT_EQ(Commands(),
              (V{probe_ + " /open a.zv1", probe_ + " /edit b.zv2", probe_ + " /shell c.zv3"}));
}

TEST_F(EndToEnd, ParallelJobsRunTogetherAndTheLogRecordsEachEnd) {
    TScopedEnv stay("ZPROBE_STAY_MS", "2500");
    const std::string log = temp_.File("jobs.tsv");
    RunOver("a\rb /exit:3\rc\rd", "/X:" + probe_ + " /N:2 /P /W /G:0 /K:" + log);
    std::vector<unsigned long long> probeStarts;
    for (const TProbeStart& start : AwaitStarts(4))
        probeStarts.push_back(start.start);
    ASSERT_EQ(probeStarts.size(), 4u);
    EXPECT_EQ(ReadBytes(log).rfind("Item\tStart\tSeconds\tExitCode\tError\tCommand\r\n", 0), 0u);
    const std::vector<V> lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 4u);
    // Two at once: zemrun starts the second right after the first, where one after the
    // other would be 2.5 s apart; the third starts only once one of them has ended, after
    // its stay. Started together, the second program may well be the first to read the clock.
    std::vector<unsigned long long> zemrunStarts;
    for (const V& line : lines)
        zemrunStarts.push_back(JobLogMilliseconds(line[1]));
    std::sort(zemrunStarts.begin(), zemrunStarts.end());
    std::sort(probeStarts.begin(), probeStarts.end());
    EXPECT_LT(zemrunStarts[1] - zemrunStarts[0], 1250u);
    EXPECT_GE(probeStarts[2] - probeStarts[0], 2450u);
    std::map<std::string, V> byItem;
    for (const V& line : lines)
        byItem[line[0]] = line;
    for (const char* item : {"a", "b /exit:3", "c", "d"}) {
        const V& line = byItem[item];
        ASSERT_EQ(line.size(), 6u) << item;
        EXPECT_EQ(line[1].size(), 23u) << line[1]; // 2026-12-07T10:00:00.000
        EXPECT_GE(std::atof(line[2].c_str()), 2.45) << item;
        EXPECT_EQ(line[3], std::string(item) == "b /exit:3" ? "3" : "0");
        EXPECT_EQ(line[4], "0");
        EXPECT_EQ(line[5],
                  probe_ + " " + (std::string(item) == "b /exit:3" ? "\"b /exit:3\"" : item));
    }
}

TEST_F(EndToEnd, AResumedRunGoesOnAfterAFailureAKillAndCancel) {
    const std::string log = temp_.File("jobs.tsv");
    const std::string switches = "/X:" + probe_ + " /P /W /K:" + log + " /Z";
    const auto startOver = [&] {
        DeleteFileA(log.c_str());
        DeleteFileA(temp_.File("probe.log").c_str());
    };
    const auto commandsOf = [&](const V& items) {
        V commands;
        for (const std::string& item : items)
            commands.push_back(probe_ + " " + item);
        return commands;
    };
    // A failure: the item whose program ended with an error runs again, the others not.
    RunOver("a\rb/exit:3\rc", switches + " /G:0");
    RunOver("a\rb/exit:3\rc", switches + " /G:0");
    EXPECT_EQ(AwaitCommands(4), commandsOf({"a", "b/exit:3", "c", "b/exit:3"}));

    // A killed run keeps the lines it wrote; the item it was waiting for runs again.
    startOver();
    {
        TScopedEnv stay("ZPROBE_STAY_MS", "10000");
        TZemrunProcess zemrun("/L:" + WriteList("a\rb\rc") + " " + switches + " /G:0");
        // Killed while it waits for the second item (a loaded machine may take seconds to
        // start the first).
        ASSERT_TRUE(uidriver::WaitUntil(
            [&] { return JobLogLines(log).size() == 1 && Commands().size() == 2; }, 40000));
        TerminateProcess(zemrun.Handle(), 99);
    }
    RunOver("a\rb\rc", switches + " /G:0");
    EXPECT_EQ(AwaitCommands(4), commandsOf({"a", "b", "b", "c"}));

    // Cancel leaves the item it did not wait for as started; the rest runs on resume.
    startOver();
    {
        TScopedEnv stay("ZPROBE_STAY_MS", "20000");
        TZemrunProcess zemrun("/L:" + WriteList("a\rb\rc") + " " + switches + " /G:3");
        HWND window = uidriver::WaitForTopWindow(zemrun.Id(), "#32770", 20000);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return Commands().size() == 1; }, 20000));
        uidriver::ClickItem(window, IDC_PROGRESS_CANCEL);
        ASSERT_TRUE(zemrun.Wait(20000));
    }
    RunOver("a\rb\rc", switches + " /G:0");
    EXPECT_EQ(AwaitCommands(3), commandsOf({"a", "b", "c"}));
    const std::vector<V> lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][3], ""); // not waited for: cancelled while it ran

    // A log cut inside a line (a full disk, a kill while another tool wrote): the next
    // record is not glued to it, so nothing starts twice over two resumes.
    startOver();
    const std::string done = "a\t2026-12-07T10:00:00.000\t1.0\t0\t0\t" + probe_ + " a\r\n";
    WriteBytes(log, "Item\tStart\tSeconds\tExitCode\tError\tCommand\r\n" + done + "b\t2026-12-0");
    RunOver("a\rb\rc", switches + " /G:0");
    RunOver("a\rb\rc", switches + " /G:0");
    EXPECT_EQ(AwaitCommands(2), commandsOf({"b", "c"}));
}

TEST_F(EndToEnd, TheListDashIsReadFromAPipeOrARedirectedFile) {
    const std::string zemrun = ZemrunPath() + " /L:- /X:" + probe_ + " /P /G:0 /H";
    const std::string list = WriteList("a b\r\nc\r\n");
    TZemrunRun run = RunCommandLine("cmd.exe /c type " + list + " | " + zemrun);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Commands(), (V{probe_ + " \"a b\"", probe_ + " c"}));
    // UTF-16 with its mark, and ANSI where nothing else tells and no console has a page.
    const std::string utf16 = WriteList(std::string("\xFF\xFE\xE9\0\r\0\n\0", 8), "u16.txt");
    const std::string ansi = WriteList("caf\xE9", "ansi.txt");
    for (const std::string& file : {utf16, ansi}) {
        run = RunCommandLine("cmd.exe /c " + zemrun + " < " + file);
        EXPECT_EQ(run.exitCode, 0u) << file;
    }
    EXPECT_EQ(Commands(), (V{probe_ + " \"a b\"", probe_ + " c", probe_ + " \xC3\xA9",
                             probe_ + " caf\xC3\xA9"}));
    // Started without standard input, it ends at once: a list that cannot be read.
    run = RunZemrun("/L:- /X:" + probe_ + " /H", 60000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, RunNotDoneStatus);
    // A list that is not there is a batch that could not be done.
    run = RunZemrun("/L:" + temp_.File("missing.txt") + " /X:" + probe_ + " /H", 60000);
    EXPECT_EQ(run.exitCode, RunNotDoneStatus);
    EXPECT_EQ(Commands().size(), 4u);
}

// zemrun.com at a command prompt, with its standard output and error in files.
TEST_F(EndToEnd, TheConsoleFaceWritesTextAndTheProgramsOutputAndAnswersWithItsStatus) {
    const std::string com = BuildFolder() + "\\zemrun.com";
    const std::string out = temp_.File("out.txt"), err = temp_.File("err.txt");
    const auto prompt = [&](const std::string& line) {
        const TZemrunRun run = RunCommandLine("cmd.exe /c " + line + " > " + out + " 2> " + err);
        EXPECT_TRUE(run.finished) << line;
        return run.exitCode;
    };
    EXPECT_EQ(prompt(com), 0u);
    EXPECT_EQ(ReadBytes(out).rfind("Usage: zemrun.exe <filename> or \r\n", 0), 0u);
    // /D: the commands, one a line, and nothing starts.
    const std::string list = WriteList("a b\r\nc\r\n");
    EXPECT_EQ(prompt("type " + list + " | " + com + " /L:- /X:" + probe_ + " /D"), 0u);
    EXPECT_EQ(ReadBytes(out), probe_ + " \"a b\"\r\n" + probe_ + " c\r\n");
    EXPECT_TRUE(Commands().empty());
    // Console programs write where zemrun writes; its status line goes to standard error.
    const std::string console = BuildFolder() + "\\zprobec.exe";
    EXPECT_EQ(prompt(com + " /L:" + list + " /X:" + console + " /B:/out /P /H"), 0u);
    EXPECT_EQ(ReadBytes(out), "out1\r\nout2\r\nin=none\r\nout1\r\nout2\r\nin=none\r\n");
    const std::string errors = ReadBytes(err);
    EXPECT_NE(errors.find("err1\r\n"), errors.rfind("err1\r\n")) << errors; // both programs'
    EXPECT_EQ(errors.find("zemrun:"), std::string::npos) << errors;
    EXPECT_NE(errors.find("2 of 2 done, 0 failed"), std::string::npos) << errors;
    // Several at once: every program's output whole, when it ends, in the order they end.
    const std::string four = WriteList("1\r\n2\r\n3\r\n4\r\n", "four.txt");
    EXPECT_EQ(prompt(com + " /L:" + four + " /X:" + console + " /B:/out /E:/gap:500 /P /N:4 /G:0"),
              0u);
    std::string outputs, errorLines;
    for (int i = 0; i < 4; ++i) {
        outputs += "out1\r\nout2\r\nin=0\r\n";
        errorLines += "err1\r\n";
    }
    EXPECT_EQ(ReadBytes(out), outputs);
    EXPECT_EQ(ReadBytes(err), errorLines);
    // What failed, a line each with its reason, before the last status.
    const std::string failing = WriteList("a\r\n/exit:3\r\n", "failing.txt");
    EXPECT_EQ(prompt(com + " /L:" + failing + " /X:" + probe_ + " /P /H"), 1u);
    const std::string failed = ReadBytes(err);
    EXPECT_NE(failed.find("zemrun: /exit:3: Exit code 3\r\n2 of 2 done, 1 failed"),
              std::string::npos)
        << failed;
    // A list that is not there: one line that names it, and the batch could not be done.
    EXPECT_EQ(prompt(com + " /L:" + temp_.File("missing.txt") + " /H"), RunNotDoneStatus);
    EXPECT_EQ(ReadBytes(err).rfind("zemrun: " + temp_.File("missing.txt") + ": ", 0), 0u);
    // An expression that does not compile: its error and where, and nothing starts.
    const size_t started = Commands().size();
    EXPECT_EQ(prompt(com + " /L:" + list + " /X:" + probe_ + " /R:(x /H"), RunNotDoneStatus);
    EXPECT_EQ(ReadBytes(err), "zemrun: /R: vxRegExpr(comp): Unmatched Parentheses, at 3\r\n");
    EXPECT_EQ(Commands().size(), started);
    // A watch of a file ends at once; a folder that is not there yet is waited for, and a
    // line says so, and another when it comes.
    EXPECT_EQ(prompt(com + " /WATCH:" + list + " /H"), RunNotDoneStatus);
    EXPECT_EQ(ReadBytes(err), "zemrun: " + list + " is a file, not a folder\r\n");
    const std::string later = temp_.File("later");
    const auto says = [&](const std::string& text) {
        return uidriver::WaitUntil(
            [&] { return ReadBytes(err).find("zemrun: " + later + text) != std::string::npos; },
            60000);
    };
    TZemrunProcess watch("cmd.exe", "/c " + com + " /WATCH:" + later + " 2> " + err,
                         CREATE_NO_WINDOW);
    EXPECT_TRUE(says(" is not there; the watch waits for it\r\n")) << ReadBytes(err);
    ASSERT_TRUE(CreateDirectoryA(later.c_str(), nullptr));
    EXPECT_TRUE(says(" is there again; the watch goes on\r\n")) << ReadBytes(err);
    EXPECT_EQ(RunZemrun("/UNWATCH:" + later).exitCode, 0u);
    EXPECT_TRUE(watch.Wait(60000));
}

// Ctrl+C at the prompt reaches every program of the console: here the test, which takes it
// for nothing, and zemrun.com. Once, nothing more starts and the running program is waited
// for; twice, zemrun ends at once, and so do the programs it holds in job objects. (Windows
// sends Ctrl+Break to a process group alone; Wine 8 does not.)
BOOL WINAPI IgnoreControl(DWORD) {
    return TRUE;
}

TEST_F(EndToEnd, AtAConsoleCtrlCOnceStopsStartingTwiceEndsAndTheKeyboardIsNoList) {
    FreeConsole(); // a console of its own, not the one the test may have been started with
    ASSERT_TRUE(AllocConsole());
    SetConsoleCtrlHandler(nullptr, FALSE); // Ctrl+C not ignored, in zemrun.com too
    SetConsoleCtrlHandler(IgnoreControl, TRUE);
    const std::string com = BuildFolder() + "\\zemrun.com";
    const std::string run = "/L:" + WriteList("a\r\nb\r\nc\r\n") + " /X:" + probe_ + " /P /G:0 /H";
    const auto startAndPress = [&](const std::string& switches, int presses, DWORD* exitCode) {
        TZemrunProcess zemrun(com, run + switches, 0);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return Commands().size() == 1; }, 60000));
        const TvxHandle probe(OpenProcess(SYNCHRONIZE, FALSE, Starts().at(0).pid));
        for (int i = 0; i < presses; ++i, Sleep(500))
            EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        EXPECT_TRUE(zemrun.Wait(60000, exitCode));
        // Once, zemrun waited for it; twice, its job ends with zemrun.
        EXPECT_EQ(WaitForSingleObject(probe.Get(), presses == 1 ? 0 : 10000), WAIT_OBJECT_0);
    };
    DWORD exitCode = 99;
    {
        TScopedEnv stay("ZPROBE_STAY_MS", "3000");
        startAndPress("", 1, &exitCode);
        EXPECT_EQ(exitCode, 0u);
    }
    EXPECT_EQ(Commands().size(), 1u);
    TScopedEnv stay("ZPROBE_STAY_MS", "600000");
    DeleteFileA(temp_.File("probe.log").c_str());
    startAndPress(" /T:600", 2, &exitCode);
    EXPECT_EQ(exitCode, DWORD(STATUS_CONTROL_C_EXIT));
    // At the console with nothing redirected, /L:- ends at once: the keyboard is no list.
    TZemrunProcess keyboard(com, "/L:- /X:" + probe_ + " /H", 0);
    EXPECT_TRUE(keyboard.Wait(60000, &exitCode));
    EXPECT_EQ(exitCode, RunNotDoneStatus);
    std::string screen(200, '\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(GetStdHandle(STD_OUTPUT_HANDLE), screen.data(), 200, {0, 0}, &read);
    EXPECT_EQ(screen.rfind("zemrun: /L:- reads the list from standard input, and nothing", 0), 0u)
        << screen;
    SetConsoleCtrlHandler(IgnoreControl, FALSE);
    FreeConsole();
}

TEST_F(EndToEnd, APreviewFileHoldsTheCommandsAndNothingStarts) {
    const std::string preview = temp_.File("preview.txt");
    RunOver("report.txt\rmy notes.doc",
            "/X:" + probe_ + " /R:(\\w+)\\.txt /B:/in:$1 /D:" + preview);
    EXPECT_EQ(ReadBytes(preview),
              probe_ + " /in:report  report.txt\r\n" + probe_ + " /in:  \"my notes.doc\"\r\n");
    Sleep(500);
    EXPECT_TRUE(Commands().empty());
    // A preview file that cannot be written ends with the system's error.
    const TZemrunRun run = RunZemrun("/L:" + WriteList("a") + " /X:" + probe_ +
                                     " /D:" + temp_.File("no\\such\\p.txt"));
    EXPECT_EQ(run.exitCode, DWORD(ERROR_PATH_NOT_FOUND));
}

// Explorer appends the selected files to a Send To shortcut's command line, each as one
// argument, quoted where it holds a blank, and a drive root as "D:\".
TEST_F(EndToEnd, ItemsAfterTheItemSwitchRunAfterTheListsOwn) {
    const std::string blank = temp_.File("a b.txt");
    WriteBytes(blank, "x");
    const std::string items = " /A \"" + blank + "\" \"D:\\\"";
    const V expected = {probe_ + " \"" + blank + "\"", probe_ + " D:\\"};
    EXPECT_EQ(RunZemrun("/X:" + probe_ + " /P /G:0" + items).exitCode, 0u);
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(Starts()[0].args, V{blank});
    EXPECT_EQ(Starts()[0].found, "1");
    EXPECT_EQ(Starts()[1].args, V{"D:\\"});

    DeleteFileA(temp_.File("probe.log").c_str());
    RunOver("first", "/X:" + probe_ + " /P /G:0" + items);
    EXPECT_EQ(Commands(), (V{probe_ + " first", expected[0], expected[1]}));

    DeleteFileA(temp_.File("probe.log").c_str());
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[Send]\r\nExe=" + TvxIniFile::Escape(probe_) + "\r\nWaitClose=1\r\nGUI=0\r\n");
    EXPECT_EQ(RunZemrun("\"/J:Send\"" + items).exitCode, 0u);
    EXPECT_EQ(Commands(), expected);

    // Split as the started programs split their own arguments: \" is a quote in the item,
    // and it reaches the program as the one argument it was.
    DeleteFileA(temp_.File("probe.log").c_str());
    EXPECT_EQ(RunZemrun("/X:" + probe_ + " /P /G:0 /A \"c\\\"d\" x").exitCode, 0u);
    EXPECT_EQ(Commands(), (V{probe_ + " c\\\"d", probe_ + " x"}));
    EXPECT_EQ(Starts()[0].args, V{"c\"d"});

    // Nothing after it: nothing starts, and no usage message holds the process.
    DeleteFileA(temp_.File("probe.log").c_str());
    const TZemrunRun alone = RunZemrun("/X:" + probe_ + " /A", 60000);
    EXPECT_TRUE(alone.finished);
    EXPECT_EQ(alone.exitCode, 0u);
    EXPECT_TRUE(Commands().empty());

    // 2,000 names make a command line of some 26,000 characters; each gets its command
    // (written to a preview file: starting them all would take minutes where 32-bit
    // programs run emulated).
    std::string many;
    V manyCommands;
    for (int i = 0; i < 2000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "item%04d.txt", i);
        many += std::string(" ") + name;
        manyCommands.push_back(probe_ + " " + name);
    }
    const std::string preview = temp_.File("many.txt");
    EXPECT_EQ(RunZemrun("/X:" + probe_ + " /D:" + preview + " /A" + many).exitCode, 0u);
    std::string lines;
    for (const std::string& command : manyCommands)
        lines += command + "\r\n";
    EXPECT_EQ(ReadBytes(preview), lines);
}

// Names that cmd would read as its own reach a batch script and cmd /c whole, through both
// starters and several to a command, and run nothing else: evil.bat in the current folder
// would start the probe with EVIL. A name from the file system keeps its %.
TEST_F(EndToEnd, NamesWithCmdsCharactersReachBatchScriptsAndCmdWhole) {
    const std::string script = temp_.File("conv.bat");
    WriteBytes(script, "@\"" + probe_ + "\" %*\r\n");
    WriteBytes(temp_.File("evil.bat"), "@\"" + probe_ + "\" EVIL\r\n");
    const std::string list = WriteList("AT&T.pdf\r\nreport&evil.bat\r\nx^y.txt\r\n");
    const V names = {"AT&T.pdf", "report&evil.bat", "x^y.txt"};
    EXPECT_EQ(RunZemrun("/L:" + list + " /X:" + script + " /P /G:0", 180000, temp_.Path()).exitCode,
              0u);
    ASSERT_EQ(Starts().size(), 3u);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(Starts()[i].args, V{names[i]});
    DeleteFileA(temp_.File("probe.log").c_str());
    EXPECT_EQ(
        RunZemrun("/L:" + list + " /X:" + script + " /S /P /G:0 /ITEMS:3", 180000, temp_.Path())
            .exitCode,
        0u);
    ASSERT_EQ(AwaitStarts(1).size(), 1u);
    EXPECT_EQ(Starts()[0].args, names);

    // cmd /c over names that only lists can hold, and over a name with a %: Wine's cmd
    // keeps the % of a script's arguments only where cmd itself is started, which on
    // Windows is the same for both.
    DeleteFileA(temp_.File("probe.log").c_str());
    const std::string cmd = " /X:cmd.exe \"/B:/c " + probe_ + "\" /P /G:0";
    RunOver("a&b.txt\na|b.txt\nc>d.txt\n", cmd + " /ITEMS:3");
    EXPECT_EQ(RunZemrun(cmd + " /A 50%OS%.txt", 180000, temp_.Path()).exitCode, 0u);
    EXPECT_EQ(RunZemrun("/X:" + probe_ + " /P /G:0 /A 50%OS%.txt").exitCode, 0u);
    ASSERT_EQ(Starts().size(), 3u);
    EXPECT_EQ(Starts()[0].args, (V{"a&b.txt", "a|b.txt", "c>d.txt"}));
    EXPECT_EQ(Starts()[1].args, V{"50%OS%.txt"});
    EXPECT_EQ(Starts()[2].args, V{"50%OS%.txt"});

    // A file dropped into a watched folder is no command either.
    DeleteFileA(temp_.File("probe.log").c_str());
    const std::string in = temp_.File("in");
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    TZemrunProcess zemrun("/WATCH:" + in + " /SETTLE:0 /DONE:Done /K:" + temp_.File("job.log") +
                              " /X:" + script,
                          temp_.Path());
    WriteBytes(in + "\\scan&evil&.txt", "scan");
    ASSERT_EQ(AwaitStarts(1).size(), 1u);
    EXPECT_TRUE(
        uidriver::WaitUntil([&] { return PathExists(in + "\\Done\\scan&evil&.txt"); }, 20000));
    EXPECT_EQ(RunZemrun("/UNWATCH:" + in).exitCode, 0u);
    EXPECT_TRUE(zemrun.Wait(60000));
    ASSERT_EQ(Starts().size(), 1u);
    EXPECT_EQ(Starts()[0].args, V{in + "\\scan&evil&.txt"});
}

// Loaded and saved again with every box ticked, a project keeps every key it had, those
// that the main dialog does not show (the watch's) included.
TEST_F(EndToEnd, AProjectLoadedInTheMainDialogAndSavedAgainKeepsEveryKey) {
    const std::string list = WriteList("a\r\n");
    const std::string section =
        "List=" + TvxIniFile::Escape(list) + "\r\nExe=" + TvxIniFile::Escape(probe_) +
        "\r\nBParam=-b\r\nEparam=-e\r\nRegExp=(a)\r\nWaitOpen=0\r\nWaitClose=1\r\n"
        "ShellExecute=1\r\nFirstPause=250\r\nGUI=3\r\nWindow=2\r\nPriority=1\r\nJobs=" +
        TvxIniFile::Escape("50%") +
        "\r\n"
        "JobLog=" +
        TvxIniFile::Escape(temp_.File("j.log")) +
        "\r\nResume=1\r\nEncoding=OEM\r\nTimeLimit=60\r\nRetries=2\r\nHalt=4\r\n"
        "OutputFolder=" +
        TvxIniFile::Escape(temp_.File("out")) +
        "\r\nItemsPerCommand=5\r\nShowFailures=0\r\nWatchFolder=" +
        TvxIniFile::Escape(temp_.Path()) +
        "\r\nSettleTime=9\r\nMatch=" + TvxIniFile::Escape("*.tif;!x*") +
        "\r\nSubfolders=1\r\nDoneFolder=Done\r\n"
        "FailedFolder=" +
        TvxIniFile::Escape(temp_.File("failed")) +
        "\r\nMemFree=2G\r\nLoad=80\r\nDelay=1.5\r\nSet=" + TvxIniFile::Escape("A=1\r\nB={%0}") +
        "\r\n";
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"), "[Night]\r\n" + section);
    TZemrunProcess zemrun("/I");
    HWND dialog = uidriver::WaitForWindowTitled(zemrun.Id(), "Zemrun " ZEMRUN_VERSION_TEXT, 20000);
    ASSERT_NE(dialog, nullptr);
    using namespace uidriver;
    ASSERT_TRUE(WaitUntil([&] { return EntryCount(dialog, IDC_MAIN_PROJECTS) == 1; }, 10000));
    SelectEntry(dialog, IDC_MAIN_PROJECTS, 0);
    ClickItem(dialog, IDC_MAIN_LOAD);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, IDC_MAIN_EXE) == probe_; }, 5000));
    ClickItem(dialog, IDC_MAIN_SAVE);
    HWND save = WaitForWindowTitled(zemrun.Id(), "Save as project", 10000);
    ASSERT_NE(save, nullptr);
    TypeText(save, IDC_SAVE_NAME, "Again");
    ClickItem(save, IDC_SAVE_SELECT_ALL);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, IDC_SAVE_FAILED_FOLDER); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return EntryCount(dialog, IDC_MAIN_PROJECTS) == 2; }, 10000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Night]\r\n" + section + "[Again]\r\n" + section);
    ClickItem(dialog, IDCANCEL);
    EXPECT_TRUE(zemrun.Wait(20000));
}

// Starts wait for the machine's room, read from the job log's start times: /N:100% runs as
// many at once as there are processors; free memory beyond the machine's runs one at a
// time; /DELAY:1 puts a second between starts. /SET: gives each program its slot from 0.
TEST_F(EndToEnd, StartsWaitForTheMachinesRoomAndEachProgramGetsItsVariables) {
    const auto starts = [&](const std::string& switches, size_t items) {
        std::string list;
        for (size_t i = 0; i < items; ++i)
            list += "/stay:1000\r\n";
        DeleteFileA(temp_.File("job.log").c_str());
        RunOver(list, "/X:" + probe_ + " /P /W /G:0 /K:" + temp_.File("job.log") + " " + switches);
        std::vector<std::pair<unsigned long long, unsigned long long>> runs; // start, end
        for (const auto& line : JobLogLines(temp_.File("job.log"))) {
            const unsigned long long start = JobLogMilliseconds(line[1]);
            runs.push_back(
                {start, start + (unsigned long long)(std::atof(line[2].c_str()) * 1000)});
        }
        return runs;
    };
    // The most that ran at once. A start and the end before it come from two clocks (the
    // local time and the tick count), which may differ by a few ticks.
    const auto atOnce = [](const auto& runs) {
        size_t most = 0;
        for (const auto& run : runs)
            most =
                std::max<size_t>(most, std::count_if(runs.begin(), runs.end(), [&](const auto& o) {
                                     return o.first <= run.first && run.first + 100 < o.second;
                                 }));
        return most;
    };
    const size_t processors = std::min<size_t>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), 4);
    auto runs = starts("/N:100%", processors + 1);
    ASSERT_EQ(runs.size(), processors + 1);
    EXPECT_EQ(atOnce(runs), processors);
    runs = starts("/N:4 /MEMFREE:100T", 3);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(atOnce(runs), 1u);
    runs = starts("/N:4 /DELAY:1", 3);
    ASSERT_EQ(runs.size(), 3u);
    std::sort(runs.begin(), runs.end());
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_GE(runs[i].first - runs[i - 1].first, 1000u - 20u) << i; // the clock's tick
    DeleteFileA(temp_.File("probe.log").c_str());
    RunOver("/stay:1000\r\n/stay:1000\r\n",
            "/X:" + probe_ + " /P /W /G:0 /N:2 /SET:SLOT={%0} /E:/env:SLOT");
    std::vector<std::string> slots;
    for (const TProbeStart& start : Starts())
        slots.push_back(start.env);
    std::sort(slots.begin(), slots.end());
    EXPECT_EQ(slots, (V{"0", "1"}));
}

// Points one of the user's shell folders elsewhere for the life of the object.
class TScopedUserShellFolder {
  public:
    TScopedUserShellFolder(const std::string& name, const std::string& path)
        : name_(ToUtf16(name, codepage::Utf8)) {
        RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key_, nullptr);
        DWORD size = 0;
        had_ = RegQueryValueExW(key_, Name(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        old_.resize(size);
        if (had_) RegQueryValueExW(key_, Name(), nullptr, &type_, old_.data(), &size);
        const std::u16string value = ToUtf16(path, codepage::Utf8);
        RegSetValueExW(key_, Name(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(char16_t)));
    }
    ~TScopedUserShellFolder() {
        if (had_)
            RegSetValueExW(key_, Name(), 0, type_, old_.data(), DWORD(old_.size()));
        else
            RegDeleteValueW(key_, Name());
        RegCloseKey(key_);
    }
    TScopedUserShellFolder(const TScopedUserShellFolder&) = delete;
    TScopedUserShellFolder& operator=(const TScopedUserShellFolder&) = delete;

  private:
    static constexpr const wchar_t* KeyPath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    LPCWSTR Name() const { return reinterpret_cast<LPCWSTR>(name_.c_str()); }
    std::u16string name_;
    HKEY key_ = nullptr;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> old_;
    bool had_ = false;
};

// The names of Windows 10/11 users, and lists as their tools write them: Notepad and
// PowerShell 7 (UTF-8), Windows PowerShell 5.1 (UTF-16LE with a mark), `cmd /u` (UTF-16LE
// without one), and the legacy pages of `dir /b >`. Every encoding gives the same items,
// and the started program finds each file.
TEST_F(EndToEnd, ListsInEveryEncodingReachTheProgramWithUnicodeNames) {
    std::vector<std::string> paths;
    std::u16string wideList;
    for (const char16_t* name :
         {u"caf\u00E9.txt", u"\u6771\u4EAC 2026.txt", u"\U0001F3B5 Zo\u00EB.mp3"}) {
        paths.push_back(temp_.File(FromUtf16(name, codepage::Utf8)));
        WriteBytes(paths.back(), "x");
        wideList += ToUtf16(paths.back(), codepage::Utf8) + u"\r\n";
    }
    const std::u16string cafe = ToUtf16(paths[0], codepage::Utf8) + u"\r\n";
    const std::string utf8 = FromUtf16(wideList, codepage::Utf8);
    const struct {
        const char* label;
        std::string bytes;
        const char* switches;
        size_t names;
    } cases[] = {
        {"UTF-8", utf8, "", 3},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8, "", 3},
        {"UTF-16LE with a mark", "\xFF\xFE" + FromUtf16(wideList, codepage::Utf16LE), "", 3},
        {"UTF-16LE", FromUtf16(wideList, codepage::Utf16LE), "", 3},
        {"UTF-16BE with a mark", "\xFE\xFF" + FromUtf16(wideList, codepage::Utf16BE), "", 3},
        {"the legacy ANSI page", FromUtf16(cafe, LegacyAnsiCodePage()), "", 1},
        {"the OEM page", FromUtf16(cafe, LegacyOemCodePage()), "/C:OEM", 1},
    };
    ASSERT_NE(cases[5].bytes, cases[0].bytes.substr(0, cases[5].bytes.size())); // a legacy "é"
    for (const auto& c : cases) {
        DeleteFileA(temp_.File("probe.log").c_str());
        RunOver(c.bytes, "/X:" + probe_ + " /P /G:0 " + c.switches);
        const std::vector<TProbeStart> starts = Starts();
        ASSERT_EQ(starts.size(), c.names) << c.label;
        for (size_t i = 0; i < c.names; ++i) {
            EXPECT_EQ(starts[i].args, V{paths[i]}) << c.label;
            EXPECT_EQ(starts[i].found, "1") << c.label;
        }
    }

    // The groups of an expression hold whole characters, and case folds beyond ASCII: the
    // first character of every name that holds an "É" or an "Ë" in either case.
    DeleteFileA(temp_.File("probe.log").c_str());
    RunOver(utf8, "/X:" + probe_ + " /P /G:0 \"/R:(?i)\\\\(.)[^\\\\]*[\u00C9\u00CB]\" /B:$1");
    const std::vector<TProbeStart> starts = Starts();
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].args, (V{"c", paths[0]}));
    EXPECT_EQ(starts[1].args, (V{paths[1]})); // no match: $1 is empty
    EXPECT_EQ(starts[2].args, (V{"\U0001F3B5", paths[2]}));

    // An encoding that the system does not know is said, and nothing starts.
    DeleteFileA(temp_.File("probe.log").c_str());
    TZemrunProcess zemrun("/L:" + WriteList(utf8) + " /X:" + probe_ + " /C:klingon");
    HWND box = uidriver::WaitForTopWindow(zemrun.Id(), "#32770", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uidriver::ItemText(box, uidriver::MessageBoxText),
              "The list encoding is not known on this system: klingon\r\n"
              "Name OEM, ANSI, UTF-8, UTF-16 or the number of a code page.");
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    ASSERT_TRUE(zemrun.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(Starts().empty());
}

// "Zo\u00EB \u6771 \U0001F3B5" as a folder of the program, "\u0424\u043E\u0442\u043E" as a
// project, "\u0436\u0443\u0440\u043D\u0430\u043B" as the job log.
TEST_F(EndToEnd, UnicodeNamesServeAsProgramProjectJobLogAndPreview) {
    const std::string folder = temp_.File("Zo\xC3\xAB \xE6\x9D\xB1 \xF0\x9F\x8E\xB5");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string program = folder + "\\zprobe.exe";
    ASSERT_TRUE(CopyFileA(probe_.c_str(), program.c_str(), FALSE));
    const std::string item = temp_.File("\xE6\x9D\xB1\xE4\xBA\xAC 2026.txt");
    WriteBytes(item, "x");
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE]\r\nExe=" + TvxIniFile::Escape(program) + "\r\n");
    const std::string log = temp_.File("\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB.tsv");

    // The project's name in other letters.
    RunOver(item, "/J:\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE /P /G:0 /K:\"" + log + "\"");
    std::vector<TProbeStart> starts = Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].image, program);
    EXPECT_EQ(starts[0].args, V{item});
    EXPECT_EQ(starts[0].found, "1");
    EXPECT_NE(ReadBytes(log).find(item), std::string::npos);
    // The job log, read again, knows the item as done.
    RunOver(item, "/J:\xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E /P /G:0 /Z /K:\"" + log + "\"");
    EXPECT_EQ(Starts().size(), 1u);
    const std::string preview = temp_.File("\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0.txt");
    RunOver(item, "/J:\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \"/D:" + preview + "\"");
    EXPECT_EQ(ReadBytes(preview), "\"" + program + "\" \"" + item + "\"\r\n");

    // A user whose settings folder has such a name: the project is found there.
    const std::string profile = temp_.File("\xC3\x9Cser \xE6\x9D\xB1");
    ASSERT_TRUE(CreateDirectoryA(profile.c_str(), nullptr));
    TScopedUserShellFolder localAppData("Local AppData", profile);
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    ASSERT_EQ(TSettingsBackup::UserFile("projects.ini").rfind(profile, 0), 0u);
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[P]\r\nExe=" + TvxIniFile::Escape(program) + "\r\n");
    RunOver(item, "/J:P /P /G:0");
    starts = Starts();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].image, program);
}

// A handle kept per start shows as hundreds after these starts; more starts would prove no
// more, and each costs about ten times as much where the 32-bit loader runs emulated.
TEST_F(EndToEnd, ManyStartsLeakNoHandles) {
    constexpr int starts = 300;
    std::string list;
    for (int i = 0; i < starts; ++i)
        list += "item" + std::to_string(i) + "\r\n";
    TRunRequest request;
    request.settings.List = WriteList(list);
    request.settings.Exe = probe_;
    request.settings.WaitOpen = false;
    request.settings.WaitClose = true;
    request.settings.GUI = 0;
    TCountingHost host;
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    host.Run(request);
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before);
    // Under Wine one start in some thousands fails, refused or ended before the probe ran:
    // a few may be missing, and each one is named.
    const V commands = Commands();
    std::string missing;
    for (int i = 0, next = 0; i < starts; ++i) {
        const std::string command = probe_ + " item" + std::to_string(i);
        if (next < int(commands.size()) && commands[size_t(next)] == command)
            ++next;
        else
            missing += " item" + std::to_string(i);
    }
    EXPECT_LE(size_t(starts) - commands.size(), 3u)
        << "missing:" << missing << "; refused starts: " << host.system.refused;
}

// Whether the process of that id has ended (or never was).
bool ProcessGone(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    const bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

TEST_F(EndToEnd, ATimeLimitEndsTheProgramWithWhatItStartedAndTheNextItemStarts) {
    const std::string logPath = temp_.File("run.log");
    const TZemrunRun run = RunZemrun("/L:" + WriteList("/child:60000 /stay:60000\r\nnext\r\n") +
                                     " /X:" + probe_ + " /T:2 /W /G:0 /H /K:" + logPath);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u); // the ended program failed
    const std::vector<TProbeStart> starts = AwaitStarts(3);
    ASSERT_EQ(starts.size(), 3u);
    const TProbeStart& limited = starts[0];
    const auto child = std::find_if(starts.begin(), starts.end(), [](const TProbeStart& s) {
        return s.commandLine.find("/grandchild") != std::string::npos;
    });
    const auto next = std::find_if(starts.begin(), starts.end(),
                                   [](const TProbeStart& s) { return s.args == V{"next"}; });
    ASSERT_NE(child, starts.end());
    ASSERT_NE(next, starts.end());
    // Ended at its limit, not at the end of its stay of a minute.
    const std::vector<V> lines = JobLogLines(logPath);
    ASSERT_EQ(lines.size(), 2u);
    const unsigned long long ran =
        JobLogMilliseconds(lines[1][1]) - JobLogMilliseconds(lines[0][1]);
    EXPECT_GE(ran, 1950u);
    EXPECT_LT(ran, 8000u);
    EXPECT_TRUE(ProcessGone(limited.pid));
    EXPECT_TRUE(ProcessGone(child->pid)) << "the child outlived its time-limited parent";
    const std::string log = ReadBytes(logPath);
    EXPECT_NE(log.find("\t1460\t1460\t" + probe_ + " \"/child:60000 /stay:60000\""),
              std::string::npos)
        << log;
}

TEST_F(EndToEnd, RetriesAndTheExitStatusCountWhatFailed) {
    struct Case {
        std::string list, switches;
        size_t starts;
        DWORD exitCode;
    } cases[] = {
        {"/failtimes:2", "/Y:2 /H", 3, 0},        {"/failtimes:2", "/Y:1 /H", 2, 1},
        {"/failtimes:2", "/Y:1", 2, 0}, // without /H the status stays 0
        {"/exit:3\r\nok\r\n/exit:1", "/H", 3, 2}, {"/exit:1\r\nb\r\nc", "/H:1", 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list + " " + c.switches);
        DeleteFileA(temp_.File("probe.log").c_str());
        const TZemrunRun run =
            RunZemrun("/L:" + WriteList(c.list) + " /X:" + probe_ + " /P /W /G:0 " + c.switches);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(Starts().size(), c.starts);
    }
    // Starts that fail count too; a folder that cannot be made starts nothing.
    DeleteFileA(temp_.File("probe.log").c_str());
    const std::string list = WriteList("a\r\nb");
    const std::pair<std::string, DWORD> runs[] = {
        {"/X:" + temp_.File("nosuch.exe") + " /H", 2},
        {"/X:" + probe_ + " /U:NUL", DWORD(ERROR_DIRECTORY)},
        {"/X:" + probe_ + " /U:NUL /H", 255},
    };
    for (const auto& [switches, exitCode] : runs) {
        const TZemrunRun run = RunZemrun("/L:" + list + " /G:0 /W /P " + switches);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, exitCode) << switches;
    }
    EXPECT_TRUE(Starts().empty());
}

TEST_F(EndToEnd, EachProgramsOutputIsKeptInAFileOfItsOwn) {
    const std::string console = BuildFolder() + "\\zprobec.exe";
    const std::string folder = temp_.File("out put");
    const std::string expected = "out1\r\nerr1\r\nout2\r\nin=0\r\n";
    RunOver("/out a\r\n/out b",
            "/X:" + console + " /P /W /G:0 \"/U:" + folder + "\" /K:" + temp_.File("run.log"));
    EXPECT_EQ(ReadBytes(folder + "\\00001.txt"), expected);
    EXPECT_EQ(ReadBytes(folder + "\\00002.txt"), expected);
    EXPECT_NE(ReadBytes(temp_.File("run.log")).find("\t" + folder + "\\00002.txt\r\n"),
              std::string::npos);

    // In a parallel run the second program must not hold the first one's file: once the
    // first has ended, nobody has its file open.
    DeleteFileA(temp_.File("probe.log").c_str());
    TZemrunProcess zemrun("/L:" + WriteList("/out /stay:0\r\n/out /stay:8000") + " /X:" + console +
                          " /P /N:2 /W /G:0 \"/U:" + folder + "2\"");
    const std::vector<TProbeStart> starts = AwaitStarts(2);
    ASSERT_EQ(starts.size(), 2u);
    const TProbeStart& quick =
        starts[0].commandLine.find("/stay:0") != std::string::npos ? starts[0] : starts[1];
    ASSERT_TRUE(uidriver::WaitUntil([&] { return ProcessGone(quick.pid); }, 10000));
    HANDLE file = CreateFileA((folder + "2\\00001.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DWORD exitCode = 1;
    ASSERT_TRUE(zemrun.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadBytes(folder + "2\\00001.txt"), expected);
    EXPECT_EQ(ReadBytes(folder + "2\\00002.txt"), expected);
}

TEST_F(EndToEnd, AProjectHoldsTheFourBatchSettings) {
    const std::string folder = temp_.File("night");
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[Night]\r\nExe=" + TvxIniFile::Escape(probe_) +
                   "\r\nTimeLimit=3\r\nRetries=1\r\nHalt=0\r\nOutputFolder=" +
                   TvxIniFile::Escape(folder) + "\r\n");
    const TZemrunRun run = RunZemrun("/L:" + WriteList("/stay:30000") + " /J:Night /W /G:0");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u); // ended twice by its limit, and counted
    // Both starts are told: a loaded machine may take more than a second to start one.
    EXPECT_EQ(Starts().size(), 2u);
    EXPECT_EQ(GetFileAttributesA((folder + "\\00001.txt").c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
    EXPECT_EQ(GetFileAttributesA((folder + "\\00001-2.txt").c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
}

TEST_F(EndToEnd, SeveralItemsShareACommandAsFarAsTheCommandLineAndTheProgramAllow) {
    // 1,000 names of 40 characters make 41,000: two command lines, every name once.
    V names;
    std::string list;
    for (int i = 0; i < 1000; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "%04d-%035d", i, i);
        names.push_back(name);
        list += std::string(name) + "\r\n";
    }
    RunOver(list, "/X:" + probe_ + " /ITEMS:100000 /P /G:0");
    const std::vector<TProbeStart> starts = AwaitStarts(2);
    ASSERT_EQ(starts.size(), 2u);
    V started = starts[0].args;
    started.insert(started.end(), starts[1].args.begin(), starts[1].args.end());
    EXPECT_EQ(started, names);
    EXPECT_GT(starts[0].commandLine.size(), 30000u);

    // Only items with the same registered program share one.
    DeleteFileA(temp_.File("probe.log").c_str());
    TRegisteredExtension seven(".zq7", "\"" + probe_ + "\" /open \"%1\"");
    TRegisteredExtension eight(".zq8", "\"" + probe_ + "\" /edit \"%1\"");
    RunOver("a.zq7\rb c.zq7\rc.zq8\rd.zq7", "/items:3 /P /G:0");
    EXPECT_EQ(Commands(), (V{probe_ + " /open a.zq7 \"b c.zq7\"", probe_ + " /edit c.zq8",
                             probe_ + " /open d.zq7"}));

    // A resumed run makes the same commands and starts the one that failed; its two items
    // count as two failures.
    DeleteFileA(temp_.File("probe.log").c_str());
    const std::string log = temp_.File("jobs.tsv");
    const std::string switches = "/X:" + probe_ + " /ITEMS:2 /P /G:0 /H /K:" + log + " /Z";
    for (DWORD status : {2u, 2u}) {
        const TZemrunRun run = RunZemrun("/L:" + WriteList("a\r/exit:3\rc\rd") + " " + switches);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, status);
    }
    EXPECT_EQ(Commands(), (V{probe_ + " a /exit:3", probe_ + " c d", probe_ + " a /exit:3"}));
    const std::vector<V> lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][0], "a /exit:3");
}

TEST_F(EndToEnd, ListsWithUnixLineEndsQuotedNamesAndPatternsAfterTheItemSwitch) {
    RunOver("caf\xC3\xA9.txt\n\xE6\x9D\xB1 x.txt\n", "/X:" + probe_ + " /W /P");
    EXPECT_EQ(AwaitCommands(2),
              (V{probe_ + " caf\xC3\xA9.txt", probe_ + " \"\xE6\x9D\xB1 x.txt\""}));

    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[Unix]\nExe=" + TvxIniFile::Escape(probe_) + "\nBParam=-lf\n");
    DeleteFileA(temp_.File("probe.log").c_str());
    RunOver("a\n", "/J:Unix /W /P");
    EXPECT_EQ(AwaitCommands(1), (V{probe_ + " -lf  a"}));

    // As Explorer's "Copy as path" writes names: the registered program of the name's type.
    TRegisteredExtension copied(".zqt", "\"" + probe_ + "\" /open \"%1\"");
    DeleteFileA(temp_.File("probe.log").c_str());
    RunOver("\"" + temp_.File("my a.zqt") + "\"\r\n\"" + temp_.File("b.zqt") + "\"\r\n", "/W /P");
    EXPECT_EQ(AwaitCommands(2), (V{probe_ + " /open \"" + temp_.File("my a.zqt") + "\"",
                                   probe_ + " /open " + temp_.File("b.zqt")}));

    // Patterns after /A, in a folder with blanks: Explorer's order, hidden files left out.
    const std::string folder = temp_.File("pic folder");
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"p10.jpg", "p2.jpg", "x.txt", "hidden.jpg"})
        WriteBytes(folder + "\\" + name, "x");
    SetFileAttributesA((folder + "\\hidden.jpg").c_str(), FILE_ATTRIBUTE_HIDDEN);
    DeleteFileA(temp_.File("probe.log").c_str());
    const TZemrunRun run =
        RunZemrun("/X:" + probe_ + " /W /P /A \"" + folder + "\\*.jpg\" " + temp_.File("*.none"));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(AwaitCommands(3),
              (V{probe_ + " \"" + folder + "\\p2.jpg\"", probe_ + " \"" + folder + "\\p10.jpg\"",
                 probe_ + " " + temp_.File("*.none")}));
}

} // namespace

namespace {
// Zemrun's local time as its job log writes it, in milliseconds.
unsigned long long LocalMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return JobLogMilliseconds(text);
}
} // namespace

// A watched folder: the files there at first in Explorer's order, then one written slowly,
// started once it is complete; done and failed files put aside; /UNWATCH ends the watch
// with its failed count, and a restart starts nothing twice.
TEST_F(EndToEnd, AWatchRunsEachFileOnceCompleteAndEndsWhenUnwatched) {
    const std::string in = temp_.File("in"), log = temp_.File("job.log");
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    WriteBytes(in + "\\a.txt", "a");
    WriteBytes(in + "\\3.txt", "3");
    WriteBytes(in + "\\skip.tmp", "");
    const std::string watch =
        "/WATCH:" + in + " /SETTLE:1 /DONE:Done /FAILED:" + temp_.File("failed") + " /K:" + log +
        " /X:" + probe_ + " \"/R:(\\d)\\.txt$\" /E:/exit:$1 /H";
    unsigned long long written = 0;
    {
        TZemrunProcess zemrun(watch);
        ASSERT_EQ(AwaitCommands(2).size(), 2u);
        // Written in three pieces with pauses longer than the settle time, held open.
        TvxHandle slow(CreateFileA((in + "\\c.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD wrote = 0;
        for (int piece = 0; piece < 3; ++piece, Sleep(1500))
            WriteFile(slow.Get(), "ccc", 3, &wrote, nullptr);
        slow.Reset();
        written = LocalMilliseconds();
        ASSERT_EQ(AwaitCommands(3).size(), 3u);
        // The notification area's icon tells how the watch goes, in its window's title too.
        const auto icon = [&]() -> HWND {
            for (HWND window : uidriver::TopWindowsOf(zemrun.Id()))
                if (uidriver::ClassName(window) == WatchIconClass) return window;
            return nullptr;
        };
        const auto tip = [&] { return icon() ? uidriver::Text(icon()) : std::string(); };
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return tip() == "Watching " + in + ": 3 done, 1 failed"; }, 20000))
            << tip();
        // Its menu's third entry shows what failed; Run failed again brings 3.txt back from
        // the failed folder, and it fails once more.
        PostMessageA(icon(), WatchIconMessage, 0, WM_RBUTTONUP);
        EXPECT_TRUE(uidriver::ChooseMenuEntry(zemrun.Id(), 3, 20000));
        HWND summary = uidriver::WaitForWindowTitled(zemrun.Id(), "What failed", 20000);
        ASSERT_NE(summary, nullptr);
        EXPECT_EQ(uidriver::ItemText(summary, IDC_FAILURES_STATUS), tip());
        EXPECT_EQ(uidriver::ListViewRows(uidriver::Item(summary, IDC_FAILURES_LIST), 3),
                  (std::vector<std::vector<std::string>>{{in + "\\3.txt", "1", "Exit code 3"}}));
        uidriver::ClickItem(summary, IDC_FAILURES_RUN_AGAIN);
        ASSERT_EQ(AwaitCommands(4).size(), 4u);
        EXPECT_NE(Commands()[3].find(" " + in + "\\3.txt /exit:3"), std::string::npos);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return tip() == "Watching " + in + ": 4 done, 1 failed"; }, 20000))
            << tip();
        EXPECT_EQ(RunZemrun("/UNWATCH:" + in).exitCode, 0u);
        DWORD exitCode = 0;
        EXPECT_TRUE(zemrun.Wait(60000, &exitCode));
        EXPECT_EQ(exitCode, 1u); // 3.txt failed
    }
    const auto lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0][0], in + "\\3.txt");
    EXPECT_EQ(lines[1][0], in + "\\a.txt");
    EXPECT_EQ(lines[2][0], in + "\\c.txt");
    EXPECT_EQ(lines[3][0], in + "\\3.txt");
    EXPECT_GE(JobLogMilliseconds(lines[2][1]) + 50, written); // not before it was complete
    EXPECT_EQ(ReadBytes(in + "\\Done\\c.txt"), "ccccccccc");
    EXPECT_TRUE(PathExists(in + "\\Done\\a.txt"));
    EXPECT_TRUE(PathExists(temp_.File("failed") + "\\3.txt"));
    EXPECT_TRUE(PathExists(in + "\\skip.tmp"));
    // Restarted with a.txt back: it is done already.
    WriteBytes(in + "\\a.txt", "a");
    {
        TZemrunProcess zemrun(watch);
        Sleep(4000);
        EXPECT_EQ(RunZemrun("/UNWATCH:" + in).exitCode, 0u);
        EXPECT_TRUE(zemrun.Wait(60000));
    }
    EXPECT_EQ(Commands().size(), 4u);
    EXPECT_EQ(RunZemrun("/UNWATCH:" + in).exitCode, 1u); // none watches it now
}

// A watched folder renamed away is missed within seconds, waited for, and watched again
// when a folder of its name is there; the job log says when it went and came back. A
// folder put in its place at once is watched within seconds too. Names in any script.
TEST_F(EndToEnd, AWatchedFolderThatGoesIsWaitedForAndWatchedAgainWhenItComes) {
    const std::string in = temp_.File("in \xE6\x9D\xB1"), log = temp_.File("job.log");
    const std::string file = in + "\\Z\xC3\xBCrich \xF0\x9F\x8E\xB5.txt";
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    TZemrunProcess zemrun("\"/WATCH:" + in + "\" /SETTLE:0 /K:" + log + " /X:" + probe_);
    const auto logged = [&](size_t count) {
        return uidriver::WaitUntil([&] { return JobLogLines(log).size() >= count; }, 15000);
    };
    Sleep(2000);
    ASSERT_TRUE(MoveFileA(in.c_str(), temp_.File("away").c_str()));
    EXPECT_TRUE(logged(1));
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    EXPECT_TRUE(logged(2));
    WriteBytes(file, "a");
    EXPECT_EQ(AwaitCommands(1), V{probe_ + " \"" + file + "\""});
    EXPECT_TRUE(logged(3)); // its end
    const auto lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][0] + " " + lines[0][4], in + " 3"); // the system's "path not found"
    EXPECT_EQ(lines[1][0] + " " + lines[1][4], in + " 0");
    // Swapped for another folder between two looks: its files are not left to the rescan.
    ASSERT_TRUE(MoveFileA(in.c_str(), temp_.File("away 2").c_str()));
    ASSERT_TRUE(CreateDirectoryA(in.c_str(), nullptr));
    Sleep(3000); // the watch waits again, for changes of the folder it had
    WriteBytes(in + "\\b.txt", "b");
    EXPECT_EQ(AwaitCommands(2).size(), 2u); // well before the rescan's 30 s
    EXPECT_EQ(RunZemrun("\"/UNWATCH:" + in + "\"").exitCode, 0u);
    EXPECT_TRUE(zemrun.Wait(60000));
}

// The readme's copier: every scan becomes a PDF beside it, and goes to Done.
TEST_F(EndToEnd, TheReadmesWatchExampleTurnsScansIntoPdfs) {
    const std::string example =
        "/WATCH:D:\\Scans /MATCH:*.tif /X:D:\\tools\\topdf.exe \"/E:{.}.pdf\" /DONE:Done";
    EXPECT_NE(ReadmeText().find("    zemrun.exe " + example + "\n"), std::string::npos);
    const std::string scans = temp_.File("Scans");
    ASSERT_TRUE(CreateDirectoryA(scans.c_str(), nullptr));
    std::string switches = example;
    switches.replace(switches.find("D:\\Scans"), 8, scans);
    switches.replace(switches.find("D:\\tools\\topdf.exe"), 18, probe_);
    TZemrunProcess zemrun(switches);
    WriteBytes(scans + "\\page.tif", "tif");
    WriteBytes(scans + "\\notes.txt", "txt");
    ASSERT_EQ(AwaitCommands(1).size(), 1u);
    EXPECT_EQ(Commands()[0], probe_ + " " + scans + "\\page.tif " + scans + "\\page.pdf");
    EXPECT_EQ(RunZemrun("/UNWATCH:" + scans).exitCode, 0u);
    EXPECT_TRUE(zemrun.Wait(60000));
    EXPECT_TRUE(PathExists(scans + "\\Done\\page.tif"));
    EXPECT_TRUE(PathExists(scans + "\\notes.txt"));
}

// A project runs by itself through a task in the Task Scheduler's folder \Zemrun\, which
// /SCHEDULE registers, tells and takes away. Wine keeps a registered task but runs no trigger
// (and keeps neither the trigger nor the action), so what runs at the trigger is started here
// as the Task Scheduler starts it: the task's program with its arguments.
TEST_F(EndToEnd, AProjectRunsByItselfThroughTheTaskThatTheSwitchRegistersAndTakesAway) {
    const std::string name = "Night & Day", list = WriteList("a b\r\nc\r\n");
    CreateFolderPath(TSettingsBackup::UserFile("projects.ini"));
    WriteBytes(TSettingsBackup::UserFile("projects.ini"),
               "[" + TvxIniFile::Escape(name) + "]\r\nList=" + list + "\r\nExe=" + probe_ +
                   "\r\nWaitClose=1\r\nFirstPause=0\r\nGUI=0\r\n");
    const std::string com = BuildFolder() + "\\zemrun.com", out = temp_.File("out.txt");
    const auto prompt = [&](const std::string& switches) {
        const TZemrunRun run = RunCommandLine("cmd.exe /c " + com + " \"/J:" + name + "\" " +
                                              switches + " > " + out + " 2>&1");
        EXPECT_TRUE(run.finished) << switches;
        return run.exitCode;
    };
    TvxTaskFolder tasks(TaskFolderName);
    uint32_t error = 0;
    EXPECT_EQ(prompt("/SCHEDULE:daily@02:00 /H"), 0u);
    EXPECT_EQ(ReadBytes(out), name + " runs by itself: daily@02:00\r\n");
    EXPECT_TRUE(tasks.Xml(TaskName(name), error)) << error;
    EXPECT_EQ(prompt("/SCHEDULE"), 0u);
    EXPECT_EQ(ReadBytes(out).rfind(name + " runs by itself: ", 0), 0u) << ReadBytes(out);
    // Bad values change nothing, and say what the forms are.
    for (const char* bad : {"daily@25:00", "hourly:0", "weekly:mon,mo@02:00", "nightly"}) {
        EXPECT_EQ(prompt(std::string("/SCHEDULE:") + bad + " /H"), RunNotDoneStatus) << bad;
        EXPECT_EQ(ReadBytes(out).rfind(std::string("zemrun: Not a schedule: ") + bad + ". ", 0), 0u)
            << ReadBytes(out);
    }
    EXPECT_TRUE(tasks.Xml(TaskName(name), error));
    // What runs at the trigger: the window face over the project, its status the failures.
    const TZemrunRun run =
        RunCommandLine("\"" + TaskProgram(com) + "\" " + TaskArguments(name), 60000);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Commands(), (V{probe_ + " \"a b\"", probe_ + " c"}));
    EXPECT_EQ(prompt("/SCHEDULE:off /H"), 0u);
    EXPECT_EQ(ReadBytes(out), name + " runs by itself no more\r\n");
    EXPECT_FALSE(tasks.Xml(TaskName(name), error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(prompt("/SCHEDULE"), 1u);
    EXPECT_EQ(ReadBytes(out), name + " does not run by itself\r\n");
    // A project that is not there gets no task.
    EXPECT_EQ(RunCommandLine("cmd.exe /c " + com + " /J:Nothing /SCHEDULE:logon /H").exitCode,
              RunNotDoneStatus);
    EXPECT_FALSE(tasks.Xml(TaskName("Nothing"), error));
}
