#pragma once
// The console face (zemrun.com): text on standard output and error where the window face
// shows windows, a status line for the progress, and the output of programs that run at
// once passed on whole as each ends. The main dialog it shares with the window face.

#include "zemrunFace.h"
#include "zemrunStatusLine.h"
#include "zemrunSystem_win32.h"

#include <windows.h>

#include <optional>
#include <string>

class TConsoleFace : public TLauncherFace {
  public:
    // Ctrl+C or Ctrl+Break once: nothing more starts, and what runs is waited for as the
    // settings say; a second ends the process at once, and the programs of its jobs.
    TConsoleFace();
    ~TConsoleFace() override;

    void ShowUsage() override;
    // One line on standard error: the program, the file or the expression, and why.
    void Tell(const TNotice& notice) override;
    bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) override;
    // Writes the commands to standard output, one a line; nothing starts.
    bool ConfirmCommands(const std::vector<std::string>& commands) override;
    // A status line on standard error instead of the window: rewritten in place on a
    // console, else a line at most once a second and once more at the end.
    bool ProgressStart(int32_t items) override;
    void ProgressClose() override;
    // The status line goes before a program writes there.
    void TryStarting(const TTry& tried) override;
    // The output that a program kept in two files of its own goes whole to standard output
    // and error, and the files are removed, so that the lines of programs that run at once
    // never mix.
    void TryEnded(TTryEnd& end) override;
    void StatusChanged(const TBatchStatus& status) override;
    // The first Ctrl+C or Ctrl+Break.
    TUserSignals TakeSignals() override;
    // A line on standard error for each failed item, with its reason.
    bool ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) override;
    // The status line, with the watched folder in it; a line for each file that failed
    // and each time the folder goes away or comes back.
    void ShowWatch(const TWatchState& state) override;
    void WatchEnded() override { ProgressClose(); }
    // In the user's temporary folder, named after this process.
    std::string KeptOutputPrefix() override;

    // No window owns the shell's messages and none ends the waits for programs; Ctrl+C
    // ends a watch's wait for its folder.
    TWin32FaceHandles& Handles() { return handles_; }

  private:
    class THandles : public TWin32FaceHandles {
      public:
        HWND OwnerWindow() const override { return nullptr; }
        HANDLE SkipEvent() const override { return nullptr; }
        HANDLE CancelEvent() const override { return nullptr; }
        std::vector<HANDLE> FolderWaitEvents() const override;
    };

    void ClearStatus();
    void WriteFailures(const std::vector<TFailedItem>& failed);
    std::optional<TStatusLine> status_;
    std::string statusLanguage_; // the language file of the status line's texts
    bool watchedFolderThere_ = true;
    THandles handles_;
};

// Writes text of the process code page to the standard handle (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE): through the console's wide functions where it is a console, else as
// UTF-8 with CR LF line ends.
void WriteStandardText(DWORD which, const std::string& text);
