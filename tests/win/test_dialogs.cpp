// The main dialog (/I) and the save-as-project dialog, driven through their windows.
#include "foundation/vxFileUtils.h"
#include "foundation/vxIniFile.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "foundation/vxTextCodec.h"
#include "launcher/zemrunU.h"
#include "launcher/zemrunU_win32.h"
#include "settings/zemrunOptions.h"
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
            WaitUntil([&] { return ItemText(dialog, 2) != "%1%" && EntryCount(dialog, 1019) == 4; },
                      10000);
        return dialog;
    }
    static void WriteUserFile(const std::string& name, const std::string& bytes) {
        CreateFolderPath(TSettingsBackup::UserFile(name));
        WriteBytes(TSettingsBackup::UserFile(name), bytes);
    }
    static bool OkEnabled(HWND dialog) { return IsWindowEnabled(Item(dialog, 1)) != 0; }
    // Clicks Save and types the name into the save-as-project dialog that opens.
    static HWND OpenSaveDialog(TZemrunProcess& zemrun, HWND dialog, const std::string& name) {
        ClickItem(dialog, 1023);
        HWND save = WaitForWindowTitled(zemrun.Id(), "Save as project", 10000);
        if (save) TypeText(save, 1000, name);
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
    EXPECT_EQ(ItemText(dialog, 1013), "");
    EXPECT_EQ(EntryCount(dialog, 1013), 1); // the empty value as a first entry
    EXPECT_EQ(ItemText(dialog, 1014), "");
    EXPECT_TRUE(Checked(dialog, 1005));
    EXPECT_FALSE(Checked(dialog, 1008));
    EXPECT_EQ(ItemText(dialog, 1011), "CreateProcess");
    EXPECT_EQ(ItemText(dialog, 1009), "1000");
    EXPECT_EQ(ItemText(dialog, 1012), "No progress dialog if only one file in list");
    EXPECT_EQ(ItemText(dialog, 1018), "Normal");
    EXPECT_EQ(ItemText(dialog, 1019), "Normal");
    EXPECT_EQ(ItemText(dialog, 1021), "English");
    EXPECT_FALSE(OkEnabled(dialog));
    TypeText(dialog, 1013, temp_.File("missing.txt"));
    EXPECT_TRUE(WaitUntil([&] { return !OkEnabled(dialog); }, 2000));
    TypeText(dialog, 1013, list_);
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    TypeText(dialog, 1014, "zemrun-no-such-program.exe");
    EXPECT_TRUE(WaitUntil([&] { return !OkEnabled(dialog); }, 5000));
    TypeText(dialog, 1014, "notepad.exe"); // found along the search path
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, 2); // Cancel starts nothing
    ExpectEnd(zemrun);
    EXPECT_TRUE(ReadProbeLog(temp_.File("probe.log")).empty());
}

TEST_F(Dialogs, BrowsingForTheListPostsItsChange) {
    TZemrunProcess zemrun("/I");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    ClickItem(dialog, 1001);
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
    HWND name = Item(open, 0x47C); // the file name box of the platform's dialog
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(list_.c_str()));
    ClickItem(open, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, 1013) == list_; }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, 2);
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
    EXPECT_EQ(Selection(dialog, 1013), 2); // the history entry, in its own letter case
    EXPECT_EQ(ItemText(dialog, 1013), upper);
    EXPECT_EQ(Selection(dialog, 1012), -1);
    EXPECT_EQ(Selection(dialog, 1018), -1);
    EXPECT_EQ(Selection(dialog, 1019), -1);
    EXPECT_FALSE(Checked(dialog, 1005));
    ASSERT_TRUE(WaitUntil([&] { return OkEnabled(dialog); }, 5000));
    ClickItem(dialog, 1);
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
    const int german = int(SendMessageA(Item(dialog, 1021), CB_FINDSTRINGEXACT, WPARAM(-1),
                                        reinterpret_cast<LPARAM>("deutsch.lng")));
    ASSERT_GE(german, 0);
    SelectEntry(dialog, 1021, german);
    EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, 2) == "Abbrechen"; }, 5000));
    EXPECT_EQ(ItemText(dialog, 1012), "Fortschrittsfenster immer zeigen");
    EXPECT_EQ(ItemText(dialog, 1019), "Hoch");
    EXPECT_EQ(Selection(dialog, 1012), 3);
    ClickItem(dialog, 2);
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
    EXPECT_EQ(ItemText(dialog, 1021), "x.lng");
    Sleep(500); // the list's change notice has been handled
    EXPECT_EQ(ItemText(dialog, 2), "Abbrechen");
    ClickItem(dialog, 2);
    ExpectEnd(zemrun);
    EXPECT_NE(ReadBytes(TSettingsBackup::UserFile("options.ini")).find(stored + "\r\n"),
              std::string::npos);
}

TEST_F(Dialogs, AnUnknownListEncodingIsSaidAndTheDialogStays) {
    TZemrunProcess zemrun("/I /L:" + list_ + " /C:klingon");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    for (int button : {1029, 1}) { // Preview, then OK
        ClickItem(dialog, button);
        HWND box = WaitForWindowTitled(zemrun.Id(), "Zemrun", 20000);
        ASSERT_NE(box, nullptr) << button;
        EXPECT_NE(ItemText(box, 0xFFFF).find("klingon"), std::string::npos);
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
    }
    EXPECT_TRUE(IsWindow(dialog));
    TypeText(dialog, 1030, "utf-8");
    ClickItem(dialog, 1);
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
                 WPARAM(MakeDrop({list_}, CenterIn(dialog, Item(dialog, 1013)))), 0);
    EXPECT_TRUE(
        WaitUntil([&] { return ItemText(dialog, 1013) == list_ && OkEnabled(dialog); }, 5000));
    // Several files, or any dropped elsewhere, are the items; the field tells how many.
    PostMessageW(dialog, WM_DROPFILES,
                 WPARAM(MakeDrop({first, second}, CenterIn(dialog, Item(dialog, 1015)))), 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return ItemText(dialog, 1013) == "Dropped items: 2" && OkEnabled(dialog); }, 5000));
    ClickItem(dialog, 1029);
    HWND preview = WaitForWindowTitled(GetCurrentProcessId(), "Commands to run", 10000);
    ASSERT_NE(preview, nullptr);
    ClickItem(preview, 2);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
    ClickItem(dialog, 1);
    run.join();
    ASSERT_TRUE(ok);
    ASSERT_EQ(previewed.size(), 1u);
    for (const TOptions& chosen : {previewed[0], settings}) {
        EXPECT_EQ(chosen.List, "");
        EXPECT_EQ(chosen.Items, (std::vector<std::string>{first, second}));
    }
    // OK runs exactly those items.
    TWin32LauncherHost host;
    EXPECT_EQ(PreviewCommands(host, settings, 10),
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
    EXPECT_FALSE(Checked(save, 1018));
    ClickItem(save, 1203);
    ClickItem(save, 1018);
    ClickItem(save, 1031);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, 1018) && Checked(save, 1031); }, 2000));
    ClickItem(save, 1);
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
    EXPECT_TRUE(WaitUntil([&] { return Checked(save, 1018) && Checked(save, 1031); }, 2000));
    ClickItem(save, 1018);
    ClickItem(save, 1031);
    ASSERT_TRUE(WaitUntil([&] { return !Checked(save, 1018) && !Checked(save, 1031); }, 2000));
    ClickItem(save, 1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(shortcut) && !PathExists(startup); }, 5000));
    ClickItem(dialog, 2);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, SaveAsProjectStoresTheChosenKeys) {
    TZemrunProcess zemrun("/I /L:" + list_ + " /F:100000 /C:oem");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1009), "100000");
    EXPECT_EQ(ItemText(dialog, 1030), "OEM"); // the offered entry, as it is spelt there
    HWND save = OpenSaveDialog(zemrun, dialog, "   ");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(IsWindowEnabled(Item(save, 1)));
    TypeText(save, 1000, " Test ");
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(save, 1)) != 0; }, 2000));
    ClickItem(save, 1203);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, 1013); }, 2000));
    ClickItem(save, 1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000)); // its modal loop has ended
    ASSERT_TRUE(
        WaitUntil([&] { return EntryCount(dialog, 1020) == 1; }, 10000)); // the list is refilled
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
    ClickItem(save, 1008);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, 1008); }, 2000));
    ClickItem(save, 1);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 10000)); // its modal loop has ended
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadBytes(TSettingsBackup::UserFile("projects.ini")).size() < 60; }, 10000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nFirstPause=100000\r\n");

    // The boxes of the execution type and the GUI mode store their own keys.
    save = OpenSaveDialog(zemrun, dialog, "test");
    ASSERT_NE(save, nullptr);
    ClickItem(save, 1011);
    ClickItem(save, 1010);
    ASSERT_TRUE(WaitUntil([&] { return Checked(save, 1010) && Checked(save, 1011); }, 2000));
    ClickItem(save, 1);
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
    ClickItem(save, 2);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, 5000));
    EXPECT_EQ(ReadBytes(TSettingsBackup::UserFile("projects.ini")),
              "[Test]\r\nShellExecute=0\r\nGUI=1\r\n");
    ClickItem(dialog, 2);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, JobsJobLogResumeAndPreviewAreInTheMainDialog) {
    const std::string log = temp_.File("jobs.tsv");
    WriteBytes(list_, "a\r\nb c\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /X:" + probe_ + " /N:4 /K:" + log + " /Z /P /W");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1024), "4");
    EXPECT_EQ(ItemText(dialog, 1026), log);
    EXPECT_TRUE(Checked(dialog, 1028));
    // Preview shows the commands of the settings as they stand, without Run.
    ClickItem(dialog, 1029);
    HWND preview = WaitForWindowTitled(zemrun.Id(), "Commands to run", 10000);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(ItemText(preview, 1000), probe_ + " a\r\n" + probe_ + " \"b c\"\r\n");
    EXPECT_FALSE(IsWindowVisible(Item(preview, 1)));
    ClickItem(preview, 2);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
    ClickItem(dialog, 1);
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
    EXPECT_EQ(ItemText(dialog, 1031), "60");
    EXPECT_EQ(ItemText(dialog, 1033), "2");
    EXPECT_TRUE(Checked(dialog, 1035));
    EXPECT_EQ(ItemText(dialog, 1036), "3");
    EXPECT_EQ(ItemText(dialog, 1037), folder);
    // The stop count goes with the box that counts failures.
    ClickItem(dialog, 1035);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(Item(dialog, 1036)); }, 2000));
    ClickItem(dialog, 1035);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(dialog, 1036)) != 0; }, 2000));
    ClickItem(dialog, 1);
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
    EXPECT_EQ(ItemText(dialog, 1042), temp_.Path());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(dialog, 1)) != 0; }, 2000));
    ClickItem(dialog, 2);
    ExpectEnd(zemrun);
}

TEST_F(Dialogs, ThePreviewWindowRunsOrCancelsTheRun) {
    WriteBytes(list_, "a\r\nb\r\n");
    for (const int button : {2, 1}) {
        TZemrunProcess zemrun("/L:" + list_ + " /X:" + probe_ + " /D /W /P /G:0");
        HWND preview = WaitForWindowTitled(zemrun.Id(), "Commands to run", 20000);
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(ItemText(preview, 1000), probe_ + " a\r\n" + probe_ + " b\r\n");
        EXPECT_EQ(ItemText(preview, 1001), "Copy");
        EXPECT_EQ(ItemText(preview, 1), "Run");
        ClickItem(preview, button);
        ExpectEnd(zemrun);
        EXPECT_EQ(ProbeCommands(temp_.File("probe.log")).size(), button == 1 ? 2u : 0u);
    }
}

TEST_F(Dialogs, LoadingASubsetProjectChangesOnlyItsFields) {
    WriteUserFile("projects.ini", "[Sub]\r\nExe=" + TvxEscape(probe_) + "\r\nGUI=3\r\n");
    TZemrunProcess zemrun("/I /L:" + list_ + " /B:-keep /F:250 /O:1");
    HWND dialog = Open(zemrun);
    ASSERT_NE(dialog, nullptr);
    SelectEntry(dialog, 1020, 0);
    ClickItem(dialog, 1022);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, 1014) == probe_; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return Selection(dialog, 1012) == 3; }, 5000));
    EXPECT_EQ(ItemText(dialog, 1015), "-keep");
    EXPECT_EQ(ItemText(dialog, 1009), "250");
    EXPECT_EQ(Selection(dialog, 1019), 1);
    ClickItem(dialog, 2);
    ExpectEnd(zemrun);
}

} // namespace
