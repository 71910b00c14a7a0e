// The platform modules against the real Windows services (run under Wine).
#include "foundation/vxFileUtils.h"
#include "foundation/vxRegistry.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "foundation/vxStringList.h"
#include "foundation/vxTextCodec.h"
#include "foundation/vxWinUtils.h"
#include "launcher/vxProccess.h"
#include "launcher/zemrunSystem_win32.h"
#include "settings/zemrunProjects.h"
#include "uidriver.h"
#include "wintest_support.h"
#include "zemrunVersion.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Dialog procedures that fail: at once, on a later message, and in a dialog of their own.
INT_PTR CALLBACK FailsWhenOpening(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) throw TvxInOutError{123, ""};
    return FALSE;
}

INT_PTR CALLBACK FailsLater(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageA(dialog, WM_APP, 0, 0);
    if (message == WM_APP) throw TvxInOutError{124, ""};
    return FALSE;
}

INT_PTR CALLBACK OpensAFailingDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageA(dialog, WM_APP, 0, 0);
    if (message == WM_APP) GuardedDialogBox(103, dialog, FailsLater);
    return FALSE;
}

TEST(GuardedDialogBox, AFailureInsideADialogIsRaisedAgainOnceTheDialogHasEnded) {
    // No exception may pass through the system's frames: a 32-bit program cannot unwind
    // through them and would end in terminate.
    const std::pair<DLGPROC, int> cases[] = {
        {FailsWhenOpening, 123}, {FailsLater, 124}, {OpensAFailingDialog, 124}};
    for (const auto& [procedure, code] : cases) {
        int raised = 0;
        try {
            GuardedDialogBox(103, nullptr, procedure);
        } catch (const TvxInOutError& failure) {
            raised = failure.code;
        }
        EXPECT_EQ(raised, code);
        for (HWND window : uidriver::TopWindowsOf(GetCurrentProcessId()))
            EXPECT_FALSE(IsWindowVisible(window) && uidriver::ClassName(window) == "#32770");
    }
}

TEST(WinFileUtils, ExpandsTheEnvironmentAndFindsFiles) {
    TScopedEnv env("ZEMRUN_T_DIR", "C:\\Some Folder");
    EXPECT_EQ(ExpandEnvironment("%ZEMRUN_T_DIR%\\x"), "C:\\Some Folder\\x");
    EXPECT_EQ(ExpandEnvironment("%ZEMRUN_NO_SUCH_VAR%\\x"), "%ZEMRUN_NO_SUCH_VAR%\\x");
    EXPECT_EQ(ExpandEnvironment(""), "");
    const std::string longValue(5000, 'v');
    TScopedEnv big("ZEMRUN_T_BIG", longValue);
    EXPECT_EQ(ExpandEnvironment("<%ZEMRUN_T_BIG%>"), "<" + longValue + ">");
    // Beyond the service's limit a text is kept whole rather than cut.
    const std::string huge = std::string(40000, 'y') + "%ZEMRUN_T_DIR%";
    EXPECT_EQ(ExpandEnvironment(huge), huge);

    TTempFolder temp;
    EXPECT_FALSE(PathExists(temp.File("*.txt")));
    WriteBytes(temp.File("one.txt"), "x");
    EXPECT_TRUE(PathExists(temp.File("*.txt")));
    EXPECT_TRUE(PathExists(temp.Path()));
    EXPECT_TRUE(FindOnSearchPath("notepad.exe"));
    EXPECT_FALSE(FindOnSearchPath("zemrun-no-such-program.exe"));
    CreateFolderPath(temp.File("a\\b\\options.ini"));
    EXPECT_TRUE(PathExists(temp.File("a\\b")));
    EXPECT_FALSE(PathExists(temp.File("a\\b\\options.ini")));
}

TEST(WinFileUtils, ReadsTheVersionResource) {
    EXPECT_EQ(FileVersionText(ZemrunPath()), ZEMRUN_VERSION_TEXT);
    EXPECT_EQ(FileVersionText(ProbePath()), ""); // no version resource
    EXPECT_EQ(FileVersionText(BuildFolder() + "\\no-such.exe"), "");
}

TEST(WinFileUtils, AFolderCannotBeReadAsAFile) {
    TTempFolder temp;
    EXPECT_THROW(TvxFileReader reader(temp.Path()), TvxInOutError);
}

TEST(WinShellUtils, GivesTheApplicationDataFolders) {
    const std::string local = SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID);
    EXPECT_FALSE(local.empty());
    EXPECT_NE(local.back(), '\\');
    EXPECT_TRUE(PathExists(local));
    EXPECT_FALSE(SpecialFolderPath(CSIDL_COMMON_APPDATA_ID).empty());
}

TEST(WinStrUtils, FoldsCaseByTheSystemRules) {
    // The process code page is UTF-8: whole letters fold, whatever their length.
    EXPECT_EQ(GetACP(), 65001u);
    EXPECT_EQ(AnsiUpperCase("g\xC3\xA9n\xC3\xA9ral \xD1\x84\xD0\xBE\xD1\x82\xD0\xBE"),
              "G\xC3\x89N\xC3\x89RAL \xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E"); // général фото
    EXPECT_EQ(AnsiLowerChar('Q'), 'q');
}

// Runs in a test entry of its own with a Japanese locale, whose legacy ANSI page is 932:
// files written in it before UTF-8 are decoded with their double-byte characters whole.
TEST(DoubleByteCodePage, LegacyFilesAreDecodedAndNamesFoldAsWholeStrings) {
    if (LegacyAnsiCodePage() != 932)
        GTEST_SKIP() << "needs the legacy page 932 (LC_ALL=ja_JP.UTF-8)";
    const TTempFolder folder;
    // ア, ヂ and 表, whose trail bytes are "A", "a" and a backslash.
    WriteBytes(folder.File("list.txt"), "\x83\x41.txt\r\n\x83\x61\r\n\x95\x5C\\x");
    TvxStringList lines;
    lines.LoadFromFile(folder.File("list.txt"));
    ASSERT_EQ(lines.Count(), 3);
    const std::string a = "\xE3\x82\xA2", dji = "\xE3\x83\x82";
    EXPECT_EQ(lines.Strings(0), a + ".txt");
    EXPECT_EQ(lines.Strings(1), dji);
    EXPECT_EQ(lines.Strings(2), "\xE8\xA1\xA8\\x");
    EXPECT_FALSE(SameTextAnsi(a, dji));
    EXPECT_TRUE(SameTextAnsi("x" + a, "X" + a));

    // Saving one project never replaces the other.
    TOptions settings;
    SetDefaultOptions(settings);
    TZemrunProjects projects(folder.File("projects.ini"));
    settings.Exe = "first.exe";
    projects.SaveProject(a, settings, 2);
    settings.Exe = "second.exe";
    projects.SaveProject(dji, settings, 2);
    projects.Refresh();
    ASSERT_EQ(projects.Count(), 2);
    TOptions loaded;
    projects.LoadProject(a, loaded);
    EXPECT_EQ(loaded.Exe, "first.exe");
}

TEST(WinRegistry, ReadsTheRegisteredCommandTemplate) {
    TRegisteredExtension registered(".zrt", "\"C:\\Tools\\ed.exe\" /x \"%1\"");
    EXPECT_EQ(GetAssocCommand(".zrt"), "\"C:\\Tools\\ed.exe\" /x \"%1\"");
    EXPECT_EQ(GetAssocCommand(".zemrun-unregistered"), "");
    EXPECT_EQ(GetAssocCommand(""), "");
}

TEST(WinProcesses, FindsAProgramByFileNameOrModulePath) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full = path;
    const std::string name = full.substr(full.find_last_of('\\') + 1);
    EXPECT_NE(IsProgramRunning(name), 0u);
    EXPECT_NE(IsProgramRunning(AnsiUpperCase(name)), 0u);
    EXPECT_NE(IsProgramRunning(full), 0u);
    EXPECT_EQ(IsProgramRunning(name.substr(0, name.size() - 4)), 0u); // no extension is added
    EXPECT_EQ(IsProgramRunning("zemrun-not-running.exe"), 0u);
}

} // namespace

// The texts of the system's functions come whole past MAX_PATH, however a function tells
// that its buffer was too small: the length it needs, or the buffer's size when it cut.
TEST(WinSystemText, PathsLongerThanMaxPathComeWhole) {
    const std::string folder = "C:\\" + std::string(300, 'a') + "\\" + std::string(300, 'b');
    const std::u16string wide = ProcessToUtf16(folder + "\\.\\c.txt");
    EXPECT_EQ(GrownSystemText([&](wchar_t* buffer, DWORD size) {
                  return GetFullPathNameW(reinterpret_cast<LPCWSTR>(wide.c_str()), size, buffer,
                                          nullptr);
              }),
              folder + "\\c.txt");
    const TScopedEnv variable("ZEMRUN_T_LONG", folder);
    EXPECT_EQ(GrownSystemText([](wchar_t* buffer, DWORD size) {
                  return GetEnvironmentVariableW(L"ZEMRUN_T_LONG", buffer, size);
              }),
              folder);
    const std::wstring text(1000, L'x');
    // As GetModuleFileName does: cut to the buffer, which is then full.
    EXPECT_EQ(GrownSystemText([&](wchar_t* buffer, DWORD size) {
                  const DWORD written = std::min<DWORD>(size, DWORD(text.size()));
                  std::copy_n(text.begin(), written, buffer);
                  if (written < size) buffer[written] = L'\0';
                  return written;
              }),
              std::string(1000, 'x'));
    EXPECT_EQ(GrownSystemText([](wchar_t*, DWORD) { return DWORD(0); }), "");
}
