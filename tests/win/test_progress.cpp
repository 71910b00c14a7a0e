// The progress window and the translation of real windows, under Wine.
#include "foundation/vxFileUtils.h"
#include "foundation/vxTextCodec.h"
#include "launcher/ProgressThrU.h"
#include "launcher/zemrunSystem_win32.h"
#include "launcher/zemrunU.h"
#include "resources/zemrunIds.h"
#include "settings/zemrunOptions.h"
#include "ui/DlgLocaleU.h"
#include "uidriver.h"
#include "wintest_support.h"
#include "zemrunVersion.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>
#include <tlhelp32.h>

namespace {

using V = std::vector<std::string>;

TEST(LocalizeWindow, TranslatesTokensAndLaterWalksFollowTheMarks) {
    TTempFolder temp;
    WriteBytes(temp.File("a.lng"), "[0]\r\n101=Liste\r\n102=Programm\r\n");
    WriteBytes(temp.File("b.lng"), "[0]\r\n101=Other list\r\n");
    HWND parent = CreateWindowA("STATIC", "%101%", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
    HWND label = CreateWindowA("STATIC", "Label %101%", WS_CHILD, 0, 0, 50, 10, parent, nullptr,
                               nullptr, nullptr);
    HWND both = CreateWindowA("STATIC", "%101%%102%", WS_CHILD, 0, 0, 50, 10, parent, nullptr,
                              nullptr, nullptr);
    HWND plain = CreateWindowA("STATIC", "100%% sure", WS_CHILD, 0, 0, 50, 10, label, nullptr,
                               nullptr, nullptr);
    HWND field = CreateWindowA("EDIT", "/in:%101%", WS_CHILD, 0, 0, 50, 10, parent, nullptr,
                               nullptr, nullptr);
    LocalizeWindow(parent, temp.File("a.lng"));
    EXPECT_EQ(uidriver::Text(parent), "Liste");
    EXPECT_EQ(uidriver::Text(label), "Label Liste");
    EXPECT_EQ(uidriver::Text(both), "ListeProgramm");
    EXPECT_EQ(uidriver::Text(plain), "100% sure"); // a grandchild is walked too
    EXPECT_EQ(uidriver::Text(field), "/in:%101%"); // the user's own text stays
    LocalizeWindow(parent, temp.File("b.lng"));
    EXPECT_EQ(uidriver::Text(parent), "Other list");
    EXPECT_EQ(uidriver::Text(label), "Other list"); // the mark gives the whole text
    EXPECT_EQ(uidriver::Text(both), "Executable");
    EXPECT_EQ(uidriver::Text(plain), "100% sure");
    DestroyWindow(parent);
}

class Progress : public ::testing::Test {
  protected:
    Progress() : log_("ZPROBE_LOG", temp_.File("probe.log")) {}
    std::string WriteList(const std::string& bytes) {
        WriteBytes(temp_.File("list.txt"), bytes);
        return temp_.File("list.txt");
    }
    size_t Starts() const { return ReadProbeLog(temp_.File("probe.log")).size(); }
    // The progress window of a running zemrun, or null when none shows in time.
    static HWND FindProgress(const TZemrunProcess& zemrun, DWORD timeoutMs) {
        return uidriver::WaitForTopWindow(zemrun.Id(), "#32770", timeoutMs);
    }
    static LRESULT BarMessage(HWND window, UINT message, WPARAM w = 0) {
        return SendDlgItemMessageA(window, IDC_PROGRESS_BAR, message, w, 0);
    }

    TSettingsBackup settings_;
    TTempFolder temp_;
    TScopedEnv log_;
    const std::string probe_ = ProbePath();
};

TEST_F(Progress, GuiModesDecideWhetherTheWindowShows) {
    // Named through an environment reference the probe is never found running, so the
    // wait until it is open (on by default) lasts until it ends: each start holds the run
    // for the probe's stay, also where nothing waits for the end. Without that hold a
    // one-item run is over within about 200 ms, its window shown for part of that. The
    // window is looked for until the run ends.
    TScopedEnv dir("ZEMRUN_T_PROBEDIR", BuildFolder());
    TScopedEnv stay("ZPROBE_STAY_MS", "1500");
    struct Case {
        const char* list;
        const char* switches;
        bool shown;
    };
    const Case cases[] = {{"a", "/G:1", false},   {"a\rb", "/G:1", true}, {"a", "/G:2", false},
                          {"a", "/G:2 /P", true}, {"a", "/G:3", true},    {"a", "/G:0 /P", false}};
    for (const Case& c : cases) {
        const ULONGLONG started = GetTickCount64();
        TZemrunProcess zemrun("/L:" + WriteList(c.list) +
                              " /X:%ZEMRUN_T_PROBEDIR%\\zprobe.exe /F:0 " + c.switches);
        bool seen = false;
        ASSERT_TRUE(uidriver::WaitUntil(
            [&] {
                seen = seen || FindProgress(zemrun, 0) != nullptr;
                return zemrun.Wait(0);
            },
            30000));
        EXPECT_EQ(seen, c.shown) << c.list << " " << c.switches << ": run of "
                                 << GetTickCount64() - started << " ms, " << Starts()
                                 << " starts so far";
    }
}

// The clipboard's Unicode text, in UTF-8.
std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* wide = static_cast<const char16_t*>(GlobalLock(data));
        text = FromUtf16(wide, codepage::Utf8);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// A run with failures ends in their summary: exactly the failed items, with their reasons;
// Copy list puts them on the clipboard, Run failed again starts exactly those again, and
// Close ends with the run's exit status. Without failures, or with /G:0, the run ends.
TEST_F(Progress, ARunWithFailuresEndsInTheirSummary) {
    // A command beyond the system's 32,767 characters cannot start.
    const std::string tooLong(33000, 'y');
    const std::string switches = " /X:" + probe_ + " /P /H /FAILURES /G:3 /F:0";
    const std::string list = WriteList("a\r\n" + tooLong + "\r\nc\r\n/exit:3\r\ne\r\nf\r\n");
    TZemrunProcess zemrun("/L:" + list + switches);
    HWND summary = uidriver::WaitForWindowTitled(zemrun.Id(), "What failed", 120000);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(uidriver::ItemText(summary, IDC_FAILURES_STATUS), "6 of 6 done, 2 failed");
    auto rows = uidriver::ListViewRows(uidriver::Item(summary, IDC_FAILURES_LIST), 4);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].substr(0, 3), "yyy");
    EXPECT_EQ(rows[0][1], "1");
    EXPECT_EQ(rows[0][2], SystemMessage(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(rows[1], (V{"/exit:3", "1", "Exit code 3", ""}));
    EXPECT_FALSE(IsWindowEnabled(uidriver::Item(summary, IDC_FAILURES_OPEN))); // no output kept
    uidriver::ClickItem(summary, IDC_FAILURES_COPY);
    EXPECT_TRUE(
        uidriver::WaitUntil([&] { return ClipboardText() == tooLong + "\r\n/exit:3\r\n"; }, 5000));
    uidriver::ClickItem(summary, IDC_FAILURES_RUN_AGAIN);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Starts() == 6; }, 60000)); // /exit:3 again
    HWND again = nullptr;
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] {
            again = uidriver::WaitForWindowTitled(zemrun.Id(), "What failed", 0);
            return again != nullptr &&
                   uidriver::ItemText(again, IDC_FAILURES_STATUS) == "2 of 2 done, 2 failed";
        },
        60000));
    rows = uidriver::ListViewRows(uidriver::Item(again, IDC_FAILURES_LIST), 4);
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at(1).at(1), "2");
    uidriver::ClickItem(again, IDCANCEL);
    DWORD exitCode = 0;
    ASSERT_TRUE(zemrun.Wait(30000, &exitCode));
    EXPECT_EQ(exitCode, 2u);
    EXPECT_EQ(Starts(), 6u);
    EXPECT_NE(ReadBytes(TSettingsBackup::UserFile("options.ini")).find("FailuresWindow="),
              std::string::npos); // its size, for the next time
    // No window, or nothing failed: the run ends by itself.
    EXPECT_EQ(RunZemrun("/L:" + list + switches + " /G:0", 120000).exitCode, 2u);
    EXPECT_EQ(RunZemrun("/L:" + WriteList("a\r\nb\r\n") + switches, 120000).exitCode, 0u);
}

TEST_F(Progress, AnEmptyListWithModeThreeOpensAndClosesTheWindow) {
    TZemrunProcess zemrun("/L:" + WriteList("") + " /G:3");
    DWORD exitCode = 1;
    ASSERT_TRUE(zemrun.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(Progress, ShowsCaptionButtonsCommandAndPosition) {
    TScopedEnv stay("ZPROBE_STAY_MS", "20000");
    TZemrunProcess zemrun("/L:" + WriteList("first\rsecond item\rthird") + " /X:" + probe_ +
                          " /B:-v /W /P");
    HWND window = FindProgress(zemrun, 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(uidriver::Text(window), "Zemrun");
    EXPECT_EQ(uidriver::ItemText(window, IDC_PROGRESS_SKIP), "Skip");
    EXPECT_EQ(uidriver::ItemText(window, IDC_PROGRESS_CANCEL), "Cancel");
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] { return uidriver::ItemText(window, IDC_PROGRESS_COMMAND) == "-v  first"; }, 10000));
    EXPECT_EQ(BarMessage(window, PBM_GETRANGE, TRUE), 0);
    EXPECT_EQ(BarMessage(window, PBM_GETRANGE, FALSE), 3);
    EXPECT_EQ(BarMessage(window, PBM_GETPOS), 0);

    // Skip ends the wait for the first end; the second item starts.
    uidriver::ClickItem(window, IDC_PROGRESS_SKIP);
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] { return uidriver::ItemText(window, IDC_PROGRESS_COMMAND) == "-v  \"second item\""; },
        10000));
    EXPECT_EQ(BarMessage(window, PBM_GETPOS), 1);
    EXPECT_TRUE(uidriver::WaitUntil([&] { return Starts() == 2; }, 10000));

    // Cancel ends the wait, starts nothing more, and the window goes at once.
    uidriver::ClickItem(window, IDC_PROGRESS_CANCEL);
    DWORD exitCode = 1;
    ASSERT_TRUE(zemrun.Wait(10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Starts(), 2u);
}

TEST_F(Progress, TheStatusLineTellsWhatIsDoneFailedAndLeft) {
    TZemrunProcess zemrun("/L:" + WriteList("/stay:1500 /exit:1\r/stay:4000\rc") + " /X:" + probe_ +
                          " /W /P /G:3");
    HWND window = FindProgress(zemrun, 20000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] { return uidriver::ItemText(window, IDC_PROGRESS_STATUS) == "0 of 3 done, 0 failed"; },
        10000))
        << uidriver::ItemText(window, IDC_PROGRESS_STATUS);
    // The first ends after 1.5 s with exit code 1: two more of about 2 s each.
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] {
            const std::string status = uidriver::ItemText(window, IDC_PROGRESS_STATUS);
            return status.rfind("1 of 3 done, 1 failed, about ", 0) == 0 &&
                   status.find(" seconds left") != std::string::npos;
        },
        10000))
        << uidriver::ItemText(window, IDC_PROGRESS_STATUS);
    uidriver::ClickItem(window, IDC_PROGRESS_CANCEL);
    ASSERT_TRUE(zemrun.Wait(10000));
}

// Reads the text of every top-level window of the process and of each of their controls,
// as a screen reader does; the longest that one read took, in milliseconds.
DWORD ReadEveryWindow(DWORD processId) {
    DWORD longest = 0;
    for (HWND window : uidriver::TopWindowsOf(processId)) {
        std::vector<HWND> windows = uidriver::Children(window);
        windows.push_back(window);
        for (HWND one : windows) {
            char text[256];
            DWORD_PTR got = 0;
            const ULONGLONG before = GetTickCount64();
            const LRESULT answered = SendMessageTimeoutA(one, WM_GETTEXT, sizeof text, LPARAM(text),
                                                         SMTO_NORMAL, 10000, &got);
            // A window that went away while it was read (one being closed) keeps no reader
            // waiting on Windows, but may keep it for the whole timeout in 32-bit Wine: only
            // a window that is still there counts.
            if (answered || IsWindow(one))
                longest = std::max(longest, DWORD(GetTickCount64() - before));
        }
    }
    return longest;
}

// Reads every window of the process until one titled so shows, or the process ends.
HWND ReadUntilWindowTitled(TZemrunProcess& zemrun, const std::string& title, DWORD& longest) {
    const ULONGLONG start = GetTickCount64();
    while (!zemrun.Wait(0) && GetTickCount64() - start < 120000) {
        longest = std::max(longest, ReadEveryWindow(zemrun.Id()));
        for (HWND window : uidriver::TopWindowsOf(zemrun.Id()))
            if (IsWindowVisible(window) && uidriver::Text(window) == title) return window;
    }
    return nullptr;
}

// A screen reader or a test driver reads every window from the moment it opens: no read
// may wait on a window's thread. Laying out a command of 30,000 characters in the progress
// window once held its thread for seconds (minutes on a loaded machine), and with it the
// run's thread, which hides that window for the summary, and the summary.
TEST_F(Progress, EveryWindowAnswersReadsFromTheMomentItOpens) {
    // The first shows its command for as long as it runs.
    const std::string list = WriteList("/stay:800 /exit:3\r\n/exit:3\r\n");
    const std::string longWord(30000, 'y');
    for (int round = 0; round < 3; ++round) {
        DWORD longest = 0;
        TZemrunProcess zemrun("/L:" + list + " /X:" + probe_ + " /B:" + longWord +
                              " /P /H /FAILURES /G:3 /F:0");
        HWND summary = ReadUntilWindowTitled(zemrun, "What failed", longest);
        ASSERT_NE(summary, nullptr);
        // Run failed again brings the progress window back, and then the summary.
        uidriver::ClickItem(summary, IDC_FAILURES_RUN_AGAIN);
        while (IsWindow(summary) && !zemrun.Wait(0))
            longest = std::max(longest, ReadEveryWindow(zemrun.Id()));
        summary = ReadUntilWindowTitled(zemrun, "What failed", longest);
        ASSERT_NE(summary, nullptr);
        uidriver::ClickItem(summary, IDCANCEL);
        while (!zemrun.Wait(0))
            longest = std::max(longest, ReadEveryWindow(zemrun.Id()));
        TZemrunProcess preview("/L:" + list + " /X:" + probe_ + " /B:" + longWord + " /D");
        HWND commands = ReadUntilWindowTitled(preview, "Commands to run", longest);
        ASSERT_NE(commands, nullptr);
        for (int read = 0; read < 20; ++read)
            longest = std::max(longest, ReadEveryWindow(preview.Id()));
        uidriver::ClickItem(commands, IDCANCEL);
        EXPECT_TRUE(preview.Wait(20000));
        EXPECT_LT(longest, 1000u) << "round " << round;
    }
}

TEST_F(Progress, TwoSkipsInARowCountOnce) {
    TScopedEnv stay("ZPROBE_STAY_MS", "20000");
    TZemrunProcess zemrun("/L:" + WriteList("a\rb\rc") + " /X:" + probe_ + " /W /P");
    HWND window = FindProgress(zemrun, 20000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Starts() == 1; }, 10000));
    SendMessageA(uidriver::Item(window, IDC_PROGRESS_SKIP), BM_CLICK, 0, 0);
    SendMessageA(uidriver::Item(window, IDC_PROGRESS_SKIP), BM_CLICK, 0, 0);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Starts() == 2; }, 10000));
    Sleep(1500);
    EXPECT_EQ(Starts(), 2u); // the second click went into the same skip
    uidriver::Close(window); // the close box acts like Cancel
    ASSERT_TRUE(zemrun.Wait(10000));
    EXPECT_EQ(Starts(), 2u);
}

TEST_F(Progress, SkipDuringThePauseDoesNotShortenIt) {
    const std::string log = temp_.File("jobs.tsv");
    TZemrunProcess zemrun("/L:" + WriteList("a\rb") + " /X:" + probe_ + " /W /F:2500 /K:" + log);
    HWND window = FindProgress(zemrun, 20000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Starts() == 1; }, 10000));
    uidriver::ClickItem(window, IDC_PROGRESS_SKIP);
    ASSERT_TRUE(zemrun.Wait(20000));
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Starts() == 2; }, 10000));
    const std::vector<std::vector<std::string>> lines = JobLogLines(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_GE(JobLogMilliseconds(lines[1][1]) - JobLogMilliseconds(lines[0][1]), 2450u);
}

TEST_F(Progress, TheWindowSpeaksTheChosenLanguage) {
    CreateFolderPath(TSettingsBackup::UserFile("options.ini"));
    WriteBytes(TSettingsBackup::UserFile("options.ini"), "[General]\r\nLanguage=deutsch.lng\r\n");
    TScopedEnv stay("ZPROBE_STAY_MS", "5000");
    TZemrunProcess zemrun("/L:" + WriteList("a") + " /X:" + probe_ + " /W /P /G:3");
    HWND window = FindProgress(zemrun, 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(uidriver::ItemText(window, IDC_PROGRESS_SKIP), "\xC3\x9C"
                                                             "berspringen");
    EXPECT_EQ(uidriver::ItemText(window, IDC_PROGRESS_CANCEL), "Abbrechen");
    uidriver::ClickItem(window, IDC_PROGRESS_CANCEL);
    EXPECT_TRUE(zemrun.Wait(10000));
}

TEST_F(Progress, ListsBeyondSixteenBitsShowTheRightPosition) {
    InitializeOptions(BuildFolder() + "\\zemrun.exe");
    TPhaseTimes times;
    TProgressWindow progress(times);
    ASSERT_TRUE(progress.Start(Options().GetLanguageFile()));
    progress.SetRange(0, 70000);
    progress.SetPos(69999);
    progress.SetText("70,000 items");
    // The window shows the latest values within its refresh time.
    EXPECT_TRUE(uidriver::WaitUntil(
        [&] {
            return uidriver::ItemText(progress.Window(), IDC_PROGRESS_COMMAND) == "70,000 items";
        },
        5000));
    EXPECT_EQ(BarMessage(progress.Window(), PBM_GETRANGE, FALSE), 70000);
    EXPECT_EQ(BarMessage(progress.Window(), PBM_GETPOS), 69999);
    progress.SetText(std::string(40000, 'x')); // a huge line shows its beginning
    EXPECT_TRUE(uidriver::WaitUntil(
        [&] {
            return uidriver::ItemText(progress.Window(), IDC_PROGRESS_COMMAND) ==
                   ShownText(std::string(40000, 'x'), 1024);
        },
        5000));
    progress.Close();
    EXPECT_EQ(progress.Window(), nullptr);
    progress.SetPos(5); // after the window is gone: ignored
    FinalizeOptions();
}

DWORD ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

TEST_F(Progress, HundredRunsLeaveNoThreadOrHandleBehind) {
    InitializeOptions(BuildFolder() + "\\zemrun.exe");
    const std::string list = WriteList("zemrun-no-such-program.exe\rzemrun-no-such-program.exe");
    TWindowRun<> host;
    DWORD handlesBefore = 0, handlesAfter = 0;
    TRunRequest request;
    host.Run(request); // the first run loads what every later one shares
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    const DWORD threadsBefore = ThreadCount();
    for (int run = 0; run < 100; ++run) {
        request = TRunRequest();
        request.settings.List = list;
        request.settings.GUI = 3;
        request.settings.FirstPause = 0;
        host.Run(request);
        // The events are gone with the window.
        ASSERT_EQ(host.face.Handles().CancelEvent(), nullptr);
        ASSERT_EQ(host.face.Handles().SkipEvent(), nullptr);
    }
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    FinalizeOptions();
}

} // namespace

namespace {
// The scale that Windows gives a display of 150 %, for the programs started in the scope:
// Wine takes the system's DPI from the user's LogPixels when a process starts.
class TScopedDpi {
  public:
    explicit TScopedDpi(DWORD dpi) {
        DWORD size = sizeof old_;
        had_ = RegGetValueA(HKEY_CURRENT_USER, Key, "LogPixels", RRF_RT_REG_DWORD, nullptr, &old_,
                            &size) == ERROR_SUCCESS;
        Set(dpi);
    }
    ~TScopedDpi() {
        if (had_)
            Set(old_);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, Key, "LogPixels");
    }
    TScopedDpi(const TScopedDpi&) = delete;
    TScopedDpi& operator=(const TScopedDpi&) = delete;

  private:
    static constexpr const char* Key = "Control Panel\\Desktop";
    static void Set(DWORD dpi) {
        RegSetKeyValueA(HKEY_CURRENT_USER, Key, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    DWORD old_ = 96;
    bool had_ = false;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}
} // namespace

// At 150 % the windows are laid out from their templates at the scale, and those that place
// their controls themselves scale their lengths: nothing is cut or covered.
TEST_F(Progress, AtOneAndAHalfTimesTheScaleNoControlLiesOutsideItsWindowOrOverAnother) {
    const std::string list = WriteList("a\r\nb\r\n/exit:3\r\n");
    // The main dialog's width at 100 %, then at 150 %, which the dialog's layout must bear.
    const auto mainDialog = [&](const std::function<void(HWND)>& check) {
        TZemrunProcess zemrun("/I /L:" + list);
        HWND dialog =
            uidriver::WaitForWindowTitled(zemrun.Id(), "Zemrun " ZEMRUN_VERSION_TEXT, 20000);
        ASSERT_NE(dialog, nullptr);
        check(dialog);
        uidriver::Close(dialog);
        EXPECT_TRUE(zemrun.Wait(20000));
    };
    const auto width = [](HWND window) {
        RECT client;
        GetClientRect(window, &client);
        return client.right;
    };
    LONG unscaled = 0;
    mainDialog([&](HWND dialog) { unscaled = width(dialog); });
    const TScopedDpi dpi(144);
    mainDialog([&](HWND dialog) {
        EXPECT_NEAR(double(width(dialog)) / double(unscaled), 1.5, 0.1);
        EXPECT_EQ(Joined(uidriver::LayoutFaults(dialog)), "");
    });
    TScopedEnv stay("ZPROBE_STAY_MS", "3000");
    TZemrunProcess zemrun("/L:" + list + " /X:" + probe_ + " /P /G:3 /F:0 /FAILURES");
    HWND progress = FindProgress(zemrun, 20000);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(Joined(uidriver::LayoutFaults(progress)), "");
    HWND summary = uidriver::WaitForWindowTitled(zemrun.Id(), "What failed", 60000);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(Joined(uidriver::LayoutFaults(summary)), "");
    uidriver::Close(summary);
    EXPECT_TRUE(zemrun.Wait(20000));
}
