// The platform modules against the real Windows services (run under Wine).
#include "foundation/vxFileUtils.h"
#include "foundation/vxRegistry.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "foundation/vxWinUtils.h"
#include "launcher/vxProccess.h"
#include "launcher/zemrunU_win32.h"
#include "settings/zemrunProjects.h"
#include "uidriver.h"
#include "wintest_support.h"

#include <gtest/gtest.h>

namespace {

// Dialog procedures that fail: at once, on a later message, and in a dialog of their own.
INT_PTR CALLBACK FailsWhenOpening(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) throw TvxInOutError{123};
    return FALSE;
}

INT_PTR CALLBACK FailsLater(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) PostMessageA(dialog, WM_APP, 0, 0);
    if (message == WM_APP) throw TvxInOutError{124};
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
    const std::pair<DLGPROC, int> cases[] = {{FailsWhenOpening, 123}, {FailsLater, 124}, {OpensAFailingDialog, 124}};
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
    EXPECT_EQ(FileVersionText(ZemrunPath()), "1.0.0");
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
    EXPECT_EQ(AnsiUpperCase("general\xE9"), "GENERAL\xC9");
    EXPECT_EQ(AnsiLowerChar('Q'), 'q');
}

// Runs in a test entry of its own with a Japanese locale, from which Wine takes code page 932.
TEST(DoubleByteCodePage, NamesAreFoldedAsWholeStrings) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932 (LC_ALL=ja_JP.UTF-8)";
    // Two different katakana whose trail bytes are "a" and "A".
    const std::string lowerTrail = "\x83\x61", upperTrail = "\x83\x41";
    EXPECT_EQ(AnsiUpperCase("ab" + lowerTrail + "c"), "AB" + lowerTrail + "C");
    EXPECT_FALSE(SameTextAnsi(lowerTrail, upperTrail));
    EXPECT_TRUE(SameTextAnsi("x" + lowerTrail, "X" + lowerTrail));

    // Saving one project never replaces the other.
    const TTempFolder folder;
    TOptions settings;
    SetDefaultOptions(settings);
    TZemrunProjects projects(folder.File("projects.ini"));
    settings.Exe = "first.exe";
    projects.SaveProject(lowerTrail, settings, 2);
    settings.Exe = "second.exe";
    projects.SaveProject(upperTrail, settings, 2);
    projects.Refresh();
    ASSERT_EQ(projects.Count(), 2);
    TOptions loaded;
    projects.LoadProject(lowerTrail, loaded);
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
