// The main dialog (/I) and the save-as-project dialog, driven through their windows.
#include "foundation/vxFileUtils.h"
#include "foundation/vxIniFile.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "foundation/vxTaskScheduler.h"
#include "foundation/vxTextCodec.h"
#include "launcher/zemrunSystem_win32.h"
#include "launcher/zemrunU.h"
#include "resources/zemrunIds.h"
#include "settings/zemrunOptions.h"
#include "settings/zemrunSchedule.h"
#include "ui/DlgInteractiveU.h"
#include "uidriver.h"
#include "wintest_support.h"
#include "zemrunVersion.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <thread>

namespace {

using namespace uidriver;

std::string AnsiUpper(const std::string& text) {
    return AnsiUpperCase(text);
}
std::string TvxEscape(const std::string& text) {
    return TvxIniFile::Escape(text);
}

class Dialogs : public ::testing::Test {
  protected:
    Dialogs() : log_("ZPROBE_LOG", temp_.File("probe.log")) { WriteBytes(list_, "a\r\n"); }

    // Starts zemrun with the switches and waits for its main dialog's first translation.
    HWND Open(TZemrunProcess& zemrun) {
        HWND dialog = WaitForWindowTitled(zemrun.Id(), "Zemrun " ZEMRUN_VERSION_TEXT, 20000);
        if (dialog)
            WaitUntil(
                [&] {
                    return ItemText(dialog, IDCANCEL) != "%1%" &&
                           EntryCount(dialog, IDC_MAIN_PRIORITY) == 4;
                },
                10000);
        return dialog;
    }
    static void WriteUserFile(const std::string& name, const std::string& bytes) {
        CreateFolderPath(TSettingsBackup::UserFile(name));
        WriteBytes(TSettingsBackup::UserFile(name), bytes);
    }
    static bool OkEnabled(HWND dialog) { return IsWindowEnabled(Item(dialog, IDOK)) != 0; }
    // Clicks Save and types the name into the save-as-project dialog that opens.
    static HWND OpenSaveDialog(TZemrunProcess& zemrun, HWND dialog, const std::string& name) {
        ClickItem(dialog, IDC_MAIN_SAVE);
        HWND save = WaitForWindowTitled(zemrun.Id(), "Save as project", 10000);
        if (save) TypeText(save, IDC_SAVE_NAME, name);
        return save;
    }
    void ExpectEnd(TZemrunProcess& zemrun) {
        DWORD exitCode = 1;
        ASSERT_TRUE(zemrun.Wait(20000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    TSettingsBackup settings_;
    TTempFolder temp_;
    TScopedEnv log_;
    const std::string list_ = temp_.File("list.txt");
    const std::string probe_ = ProbePath();
};

// A drop as the shell makes it: a DROPFILES header, then the names in UTF-16, each ended
// by a zero and the list by another; the point in the dialog's client area.
HGLOBAL MakeDrop(const std::vector<std::string>& files, POINT point) {
    std::u16string names;
    for (const std::string& file : files)
        names += ToUtf16(file, codepage::Utf8) + u'\0';
    names += u'\0';
    HGLOBAL memory =
        GlobalAlloc(GHND | GMEM_SHARE, sizeof(DROPFILES) + names.size() * sizeof(char16_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), names.size() * sizeof(char16_t));
    GlobalUnlock(memory);
    return memory;
}

POINT CenterIn(HWND dialog, HWND control) {
    RECT area{};
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

struct TShortcut {
    std::string target, arguments, icon;
    int iconIndex = -1;
};

// What a shortcut file holds, read through the shell's own link object.
TShortcut ReadShortcut(const std::string& path) {
    TShortcut shortcut;
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        if (com) CoUninitialize();
        return shortcut;
    }
    IPersistFile* file = nullptr;
    const std::u16string widePath = ToUtf16(path, codepage::Utf8);
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(reinterpret_cast<LPCOLESTR>(widePath.c_str()), STGM_READ))) {
        wchar_t text[1024] = L"";
        if (SUCCEEDED(link->GetPath(text, 1024, nullptr, 0)))
            shortcut.target = FromUtf16(reinterpret_cast<const char16_t*>(text), codepage::Utf8);
        if (SUCCEEDED(link->GetArguments(text, 1024)))
            shortcut.arguments = FromUtf16(reinterpret_cast<const char16_t*>(text), codepage::Utf8);
        if (SUCCEEDED(link->GetIconLocation(text, 1024, &shortcut.iconIndex)))
            shortcut.icon = FromUtf16(reinterpret_cast<const char16_t*>(text), codepage::Utf8);
    }
    if (file) file->Release();
    link->Release();
    if (com) CoUninitialize();
    return shortcut;
}

TEST_F(Dialogs, OpensWithTheDefaultsAndEnablesOkForAnExistingList) {
    TZemrunProcess zemrun("/I");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_LIST), "");
    EXPECT_EQ(EntryCount(dialog, IDC_MAIN_LIST), 1); // the empty value as a first entry
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_EXE), "");
    EXPECT_TRUE(Checked(dialog, IDC_MAIN_WAIT_OPEN));
    EXPECT_FALSE(Checked(dialog, IDC_MAIN_WAIT_CLOSE));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_SHELL), "CreateProcess");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_PAUSE), "1000");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_GUI), "No progress dialog if only one file in list");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_WINDOW), "Normal");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_PRIORITY), "Normal");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_LANGUAGE), "English");
    EXPECT_FALSE(OkEnabled(dialog));
    TypeText(dialog, IDC_MAIN_LIST, temp_.File("missing.txt"));
    EXPECT_TRUE(WaitUntil([&] { return !OkEnabled(dialog); }, 2000));
    TypeText(dialog, IDC_MAIN_LIST, list_);
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    TypeText(dialog, IDC_MAIN_EXE, "zemrun-no-such-program.exe");
    EXPECT_TRUE(WaitUntil([&] { return !OkEnabled(dialog); }, 5000));
    TypeText(dialog, IDC_MAIN_EXE, "notepad.exe"); // found along the search path
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, IDCANCEL); // Cancel starts nothing
    ExpectEnd(zemrun);
    EXPECT_TRUE(ReadProbeLog(temp_.File("probe.log")).empty());
}

TEST_F(Dialogs, BrowsingForTheListPostsItsChange) {
    TZemrunProcess zemrun("/I");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    ClickItem(dialog, IDC_MAIN_BROWSE_LIST);
    HWND open = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND window : TopWindowsOf(zemrun.Id()))
                if (window != dialog && IsWindowVisible(window) &&
                    GetWindow(window, GW_OWNER) == dialog)
                    open = window;
            return open != nullptr;
        },
        20000));
    HWND name = Item(open, cmb13); // the file name box of the platform's dialog
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(list_.c_str()));
    ClickItem(open, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, IDC_MAIN_LIST) == list_; }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, EscapeAndTheCloseBoxStartNothing) {
    for (bool closeBox : {false, true}) {
        TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_);
        HWND dialog = Open(zemrun);
        ASSERT_NE(dialog, nullptr);
        if (closeBox)
            Close(dialog);
        else
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); // what the Escape key sends
        ExpectEnd(zemrun);
    }
    EXPECT_TRUE(ReadProbeLog(temp_.File("probe.log")).empty());
}

TEST_F(Dialogs, OkRunsWithTheSettingsAndUpdatesTheHistories) {
    const std::string upper = AnsiUpper(list_);
    // Entries in other alphabets come back from the list as they went in.
    WriteUserFile("options.ini", "[ListHistory]\r\nD:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\first."
                                 "txt\r\nD:\\\xE6\x9D\xB1\xE4\xBA\xAC.txt\r\n" +
                                     TvxEscape(upper) + "\r\n[ExeHistory]\r\n" + TvxEscape(probe_) +
                                     "\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_ + " /W /G:7 /M:0 /O:9");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Selection(dialog, IDC_MAIN_LIST), 2); // the history entry, in its own letter case
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_LIST), upper);
    EXPECT_EQ(Selection(dialog, IDC_MAIN_GUI), -1);
    EXPECT_EQ(Selection(dialog, IDC_MAIN_WINDOW), -1);
    EXPECT_EQ(Selection(dialog, IDC_MAIN_PRIORITY), -1);
    EXPECT_FALSE(Checked(dialog, IDC_MAIN_WAIT_OPEN));
    ASSERT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, IDOK);
    ExpectEnd(zemrun);
    ASSERT_TRUE(
        WaitUntil([&] { return ReadProbeLog(temp_.File("probe.log")).size() == 1; }, 10000));
    EXPECT_EQ(ReadProbeLog(temp_.File("probe.log"))[0].commandLine, probe_ + " a");
    const std::string options = ReadBytes(TSettingsBackup::UserFile("options.ini"));
    EXPECT_NE(options.find("[ListHistory]\r\n" + TvxEscape(upper) +
                           "\r\nD:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\first.txt\r\nD:"
                           "\\\xE6\x9D\xB1\xE4\xBA\xAC.txt\r\n"),
              std::string::npos)
        << options;
    EXPECT_NE(options.find("[ExeHistory]\r\n" + TvxEscape(probe_) + "\r\n[BParamHistory]\r\n\r\n"),
              std::string::npos)
        << options; // an empty text goes to the front of its history
}

TEST_F(Dialogs, ChoosingALanguageTranslatesAndIsKeptWhenCancelled) {
    TZemrunProcess zemrun("/I /G:3 /O:2");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    const int german = int(SendMessageA(Item(dialog, IDC_MAIN_LANGUAGE), CB_FINDSTRINGEXACT,
                                        WPARAM(-1), reinterpret_cast<LPARAM>("deutsch.lng")));
    ASSERT_GE(german, 0);
    SelectEntry(dialog, IDC_MAIN_LANGUAGE, german);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, IDCANCEL) == "Abbrechen"; }, 5000));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_GUI), "Fortschrittsfenster immer zeigen");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_PRIORITY), "Hoch");
    EXPECT_EQ(Selection(dialog, IDC_MAIN_GUI), 3);
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
    EXPECT_NE(ReadBytes(TSettingsBackup::UserFile("options.ini")).find("Language=deutsch.lng"),
              std::string::npos);
}

TEST_F(Dialogs, AFullLanguagePathIsKeptWhenTheDialogOpens) {
    CreateFolderPath(temp_.File("Lang\\x.lng"));
    WriteBytes(temp_.File("Lang\\x.lng"), ReadBytes(BuildFolder() + "\\deutsch.lng"));
    const std::string stored = "Language=" + TvxEscape(temp_.File("Lang\\x.lng"));
    WriteUserFile("options.ini", "[General]\r\n" + stored + "\r\n");
    TZemrunProcess zemrun("/I");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_LANGUAGE), "x.lng");
    Sleep(500); // the list's change notice has been handled
    EXPECT_EQ(ItemText(dialog, IDCANCEL), "Abbrechen");
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
    EXPECT_NE(ReadBytes(TSettingsBackup::UserFile("options.ini")).find(stored + "\r\n"),
              std::string::npos);
}

TEST_F(Dialogs, AnUnknownListEncodingIsSaidAndTheDialogStays) {
    TZemrunProcess zemrun("/I /L:" + list_ + " /C:klingon");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    for (int button : {IDC_MAIN_PREVIEW, IDOK}) {
        ClickItem(dialog, button);
        HWND box = WaitForWindowTitled(zemrun.Id(), "Zemrun", 20000);
        ASSERT_NE(box, nullptr) << button;
        EXPECT_NE(ItemText(box, MessageBoxText).find("klingon"), std::string::npos);
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
    }
    EXPECT_TRUE(IsWindow(dialog));
    TypeText(dialog, IDC_MAIN_ENCODING, "utf-8");
    ClickItem(dialog, IDOK);
    ExpectEnd(zemrun);
}

// A drop's memory belongs to the process it is dropped on: the dialog runs here.
TEST_F(Dialogs, FilesDroppedOnTheDialogBecomeTheListOrTheItems) {
    WriteBytes(list_, "from the list\r\n");
    const std::string first = temp_.File("a one.txt"), second = temp_.File("\xD0\xB1.txt");
    InitializeOptions(BuildFolder() + "\\zemrun.exe");
    TOptions settings;
    SetDefaultOptions(settings);
    settings.Exe = probe_;
    std::vector<TOptions> previewed;
    bool ok = false;
    std::thread run([&] {
        ok = EditSettingsDialog(settings, [&](const TOptions& current) {
            previewed.push_back(current);
            return std::vector<std::string>{"shown"};
        });
    });
    HWND dialog = WaitForWindowTitled(GetCurrentProcessId(), "Zemrun " ZEMRUN_VERSION_TEXT, 20000);
    ASSERT_NE(dialog, nullptr);
    // One file on the list field is the list.
    PostMessageW(dialog, WM_DROPFILES,
                 WPARAM(MakeDrop({list_}, CenterIn(dialog, Item(dialog, IDC_MAIN_LIST)))), 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return ItemText(dialog, IDC_MAIN_LIST) == list_ && OkEnabled(dialog); }, 5000));
    // Several files, or any dropped elsewhere, are the items; the field tells how many.
    PostMessageW(dialog, WM_DROPFILES,
                 WPARAM(MakeDrop({first, second}, CenterIn(dialog, Item(dialog, IDC_MAIN_BPARAM)))),
                 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return ItemText(dialog, IDC_MAIN_LIST) == "Dropped items: 2" && OkEnabled(dialog); },
        5000));
    ClickItem(dialog, IDC_MAIN_PREVIEW);
    HWND preview = WaitForWindowTitled(GetCurrentProcessId(), "Commands to run", 10000);
    ASSERT_NE(preview, nullptr);
    ClickItem(preview, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
    ClickItem(dialog, IDOK);
    run.join();
    ASSERT_TRUE(ok);
    ASSERT_EQ(previewed.size(), 1u);
    for (const TOptions& chosen : {previewed[0], settings}) {
        EXPECT_EQ(chosen.List, "");
        EXPECT_EQ(chosen.Items, (std::vector<std::string>{first, second}));
    }
    // OK runs exactly those items.
    TWindowRun<> host;
    EXPECT_EQ(PreviewCommands(host.system, settings, 10),
              (std::vector<std::string>{probe_ + " \"" + first + "\"", probe_ + " " + second}));
    // The count is no list: the list history does not take it.
    const std::unique_ptr<TvxStringList> history = Options().GetHistory(hkList);
    EXPECT_EQ(history->IndexOf("Dropped items: 2"), -1);
    FinalizeOptions();
}

// The project's entries in Send To and in the Startup folder, and the command line Explorer
// makes of the first.
TEST_F(Dialogs, SavingAProjectPutsItInTheSendToMenuAndTheStartupFolderAndTakesItOut) {
    WriteBytes(list_, "from the list\r\n");
    const std::string name = "Fo:to? \xD0\xA4";
    const std::string shortcut = SpecialFolderPath(CSIDL_SENDTO_ID) + "\\Fo_to_ \xD0\xA4.lnk";
    const std::string startup = SpecialFolderPath(CSIDL_STARTUP_ID) + "\\Fo_to_ \xD0\xA4.lnk";
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_ + " /P /G:0 /W");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    HWND save = OpenSaveDialog(zemrun, dialog, name);
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(Checked(save, IDC_SAVE_SEND_TO));
    ClickItem(save, IDC_SAVE_SELECT_ALL);
    ClickItem(save, IDC_SAVE_SEND_TO);
    ClickItem(save, IDC_SAVE_STARTUP);
    ASSERT_TRUE(WaitUntil(
        [&] { return Checked(save, IDC_SAVE_SEND_TO) && Checked(save, IDC_SAVE_STARTUP); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return PathExists(shortcut) && PathExists(startup); }, 5000));
    EXPECT_EQ(ReadShortcut(startup).arguments, "\"/J:" + name + "\"");
    const TShortcut written = ReadShortcut(shortcut);
    EXPECT_EQ(written.target, ZemrunPath());
    EXPECT_EQ(written.arguments, "\"/J:" + name + "\" /A");
    EXPECT_EQ(written.icon, ZemrunPath());
    EXPECT_EQ(written.iconIndex, 0);

    // Explorer appends the selected files, quoted where they hold blanks.
    const std::string file = temp_.File("a b.txt");
    EXPECT_EQ(RunZemrun(written.arguments + " \"" + file + "\" \"D:\\\"").exitCode, 0u);
    EXPECT_EQ(ProbeCommands(temp_.File("probe.log")),
              (std::vector<std::string>{probe_ + " \"from the list\"", probe_ + " \"" + file + "\"",
                                        probe_ + " D:\\"}));

    // The box shows the entry; cleared, the entry goes.
    save = OpenSaveDialog(zemrun, dialog, name);
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] { return Checked(save, IDC_SAVE_SEND_TO) && Checked(save, IDC_SAVE_STARTUP); }, 2000));
    ClickItem(save, IDC_SAVE_SEND_TO);
    ClickItem(save, IDC_SAVE_STARTUP);
    ASSERT_TRUE(WaitUntil(
        [&] { return !Checked(save, IDC_SAVE_SEND_TO) && !Checked(save, IDC_SAVE_STARTUP); },
        2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(shortcut) && !PathExists(startup); }, 5000));
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

// The group "Run by itself" registers the project's task, which takes the place of the
// logon shortcut, and "Not by itself" takes it away; OK waits for a time that is one.
TEST_F(Dialogs, TheGroupRunByItselfRegistersAndTakesAwayTheProjectsTask) {
    const std::string name = "Night & Day";
    TvxTaskFolder tasks(TaskFolderName);
    uint32_t error = 0;
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_);
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    HWND save = OpenSaveDialog(zemrun, dialog, name);
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, IDC_SAVE_NOT_BY_ITSELF); }, 2000));
    ClickItem(save, IDC_SAVE_STARTUP);
    ClickItem(save, IDC_SAVE_EVERY_DAY);
    ASSERT_TRUE(WaitUntil([&] { return !Checked(save, IDC_SAVE_STARTUP); }, 2000));
    TypeText(save, IDC_SAVE_AT, "25:00");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(save, IDOK)); }, 2000));
    TypeText(save, IDC_SAVE_AT, "03:30");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(save, IDOK)); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    EXPECT_TRUE(tasks.Xml(TaskName(name), error)) << error;
    EXPECT_FALSE(PathExists(SpecialFolderPath(CSIDL_STARTUP_ID) + "\\" + name + ".lnk"));

    // Loaded and saved again, the project keeps its name; the logon shortcut and a schedule
    // are one choice: the box chooses "Not by itself".
    SelectEntry(dialog, IDC_MAIN_PROJECTS, 0);
    ClickItem(dialog, IDC_MAIN_LOAD);
    ClickItem(dialog, IDC_MAIN_SAVE);
    save = WaitForWindowTitled(zemrun.Id(), "Save as project", 10000);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(ItemText(save, IDC_SAVE_NAME), name);
    ClickItem(save, IDC_SAVE_EVERY_HOURS);
    ClickItem(save, IDC_SAVE_STARTUP);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, IDC_SAVE_NOT_BY_ITSELF); }, 2000));
    ClickItem(save, IDC_SAVE_STARTUP);
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    EXPECT_FALSE(tasks.Xml(TaskName(name), error));
    EXPECT_EQ(error, 0u);
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, SaveAsProjectStoresTheChosenKeys) {
    TZemrunProcess zemrun("/I /L:" + list_ + " /F:100000 /C:oem");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_PAUSE), "100000");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_ENCODING),
              "OEM"); // the offered entry, as it is spelt there
    HWND save = OpenSaveDialog(zemrun, dialog, "   ");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(IsWindowEnabled(Item(save, IDOK)));
    TypeText(save, IDC_SAVE_NAME, " Test ");
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(save, IDOK)) != 0; }, 2000));
    ClickItem(save, IDC_SAVE_SELECT_ALL);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, IDC_SAVE_PRIORITY); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000)); // its modal loop has ended
    ASSERT_TRUE(WaitUntil([&] { return EntryCount(dialog, IDC_MAIN_PROJECTS) == 1; },
                          10000)); // the list is refilled
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nList=" + TvxEscape(list_) +
                  "\r\nExe\r\nBParam\r\nEparam\r\nRegExp\r\nWaitOpen=1\r\nWaitClose="
                  "0\r\nShellExecute=0\r\n"
                  "FirstPause=100000\r\nGUI=1\r\nWindow=1\r\nPriority=0\r\nJobs="
                  "1\r\nJobLog\r\nResume=0\r\nEncoding=OEM\r\nTimeLimit=0\r\nRetries=0\r\n"
                  // no Halt: /H was not given; ShowFailures on for a run from the main dialog
                  "OutputFolder\r\nShowFailures=1\r\nWatchFolder\r\nSettleTime="
                  "5\r\nMatch\r\nSubfolders=0\r\n"
                  "DoneFolder\r\nFailedFolder\r\n");

    // The same name in other letters, with one box: the first name stays, one key is left.
    save = OpenSaveDialog(zemrun, dialog, "TEST");
    ASSERT_NE(save, nullptr);
    ClickItem(save, IDC_SAVE_FIRST_PAUSE);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, IDC_SAVE_FIRST_PAUSE); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000)); // its modal loop has ended
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadBytes(TSettingsBackup::UserFile("projects.ini")).size() < 60; }, 10000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nFirstPause=100000\r\n");

    // The boxes of the execution type and the GUI mode store their own keys.
    save = OpenSaveDialog(zemrun, dialog, "test");
    ASSERT_NE(save, nullptr);
    ClickItem(save, IDC_SAVE_SHELL);
    ClickItem(save, IDC_SAVE_GUI);
    ASSERT_TRUE(WaitUntil(
        [&] { return Checked(save, IDC_SAVE_GUI) && Checked(save, IDC_SAVE_SHELL); }, 2000));
    ClickItem(save, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000)); // its modal loop has ended
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadBytes(TSettingsBackup::UserFile("projects.ini")).find("GUI") !=
                   std::string::npos;
        },
        10000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nShellExecute=0\r\nGUI=1\r\n");

    // Cancel stores nothing.
    save = OpenSaveDialog(zemrun, dialog, "Other");
    ASSERT_NE(save, nullptr);
    ClickItem(save, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 5000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nShellExecute=0\r\nGUI=1\r\n");
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, JobsJobLogResumeAndPreviewAreInTheMainDialog) {
    const std::string log = temp_.File("jobs.tsv");
    WriteBytes(list_, "a\r\nb c\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_ + " /N:4 /K:" + log + " /Z /P /W");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_JOBS), "4");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_JOB_LOG), log);
    EXPECT_TRUE(Checked(dialog, IDC_MAIN_RESUME));
    // Preview shows the commands of the settings as they stand, without Run.
    ClickItem(dialog, IDC_MAIN_PREVIEW);
    HWND preview = WaitForWindowTitled(zemrun.Id(), "Commands to run", 10000);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(ItemText(preview, IDC_PREVIEW_COMMANDS), probe_ + " a\r\n" + probe_ + " \"b c\"\r\n");
    EXPECT_FALSE(IsWindowVisible(Item(preview, IDOK)));
    ClickItem(preview, IDCANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
    ClickItem(dialog, IDOK);
    ExpectEnd(zemrun);
    EXPECT_TRUE(
        WaitUntil([&] { return ProbeCommands(temp_.File("probe.log")).size() == 2; }, 10000));
    EXPECT_EQ(ReadBytes(log).rfind("Item\tStart", 0), 0u);
}

TEST_F(Dialogs, TheBatchSettingsAreInTheMainDialog) {
    const std::string folder = temp_.File("out");
    WriteBytes(list_, "/exit:1\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_ + " /T:60 /Y:2 /H:3 /U:" + folder +
                          " /W");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_TIME_LIMIT), "60");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_RETRIES), "2");
    EXPECT_TRUE(Checked(dialog, IDC_MAIN_COUNT_FAILURES));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_HALT), "3");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_OUTPUT_FOLDER), folder);
    // The stop count goes with the box that counts failures.
    ClickItem(dialog, IDC_MAIN_COUNT_FAILURES);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(dialog, IDC_MAIN_HALT)); }, 2000));
    ClickItem(dialog, IDC_MAIN_COUNT_FAILURES);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(dialog, IDC_MAIN_HALT)) != 0; }, 2000));
    ClickItem(dialog, IDOK);
    DWORD exitCode = 0;
    ASSERT_TRUE(zemrun.Wait(60000, &exitCode));
    EXPECT_EQ(exitCode, 1u); // its three tries failed: one failed item
    EXPECT_EQ(ProbeCommands(temp_.File("probe.log")).size(), 3u);
    EXPECT_NE(GetFileAttributesA((folder + "\\00001-3.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A watch takes its items from its folder: the dialog asks for no list.
TEST_F(Dialogs, AWatchedFolderNeedsNoList) {
    TZemrunProcess zemrun("/I /WATCH:" + temp_.Path() + " /X:" + probe_);
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_WATCH_FOLDER), temp_.Path());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(dialog, IDOK)) != 0; }, 2000));
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, ThePreviewWindowRunsOrCancelsTheRun) {
    WriteBytes(list_, "a\r\nb\r\n");
    for (const int button : {IDCANCEL, IDOK}) {
        TZemrunProcess zemrun("/L:" + list_ + " /X:" + probe_ + " /D /W /P /G:0");
        HWND preview = WaitForWindowTitled(zemrun.Id(), "Commands to run", 20000);
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(ItemText(preview, IDC_PREVIEW_COMMANDS), probe_ + " a\r\n" + probe_ + " b\r\n");
        EXPECT_EQ(ItemText(preview, IDC_PREVIEW_COPY), "Copy");
        EXPECT_EQ(ItemText(preview, IDOK), "Run");
        ClickItem(preview, button);
        ExpectEnd(zemrun);
        EXPECT_EQ(ProbeCommands(temp_.File("probe.log")).size(), button == IDOK ? 2u : 0u);
    }
}

TEST_F(Dialogs, LoadingASubsetProjectChangesOnlyItsFields) {
    WriteUserFile("projects.ini", "[Sub]\r\nExe=" + TvxEscape(probe_) + "\r\nGUI=3\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /B:-keep /F:250 /O:1");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    SelectEntry(dialog, IDC_MAIN_PROJECTS, 0);
    ClickItem(dialog, IDC_MAIN_LOAD);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, IDC_MAIN_EXE) == probe_; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return Selection(dialog, IDC_MAIN_GUI) == 3; }, 5000));
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_BPARAM), "-keep");
    EXPECT_EQ(ItemText(dialog, IDC_MAIN_PAUSE), "250");
    EXPECT_EQ(Selection(dialog, IDC_MAIN_PRIORITY), 1);
    ClickItem(dialog, IDCANCEL);
    ExpectEnd(zemrun);
}

} // namespace
