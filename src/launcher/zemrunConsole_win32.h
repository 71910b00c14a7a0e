#pragma once
// The console face's host: the run as the window face makes it, with text on standard
// output and error where that face shows windows, and started programs that write where
// this process writes.

#include "zemrunStatusLine.h"
#include "zemrunU_win32.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

class TConsoleLauncherHost : public TWin32LauncherHost {
  public:
    // Ctrl+C or Ctrl+Break once: nothing more starts, and what runs is waited for as the
    // settings say; a second ends the process at once, and the programs of its jobs.
    TConsoleLauncherHost();
    ~TConsoleLauncherHost() override;

    void ShowUsage() override;
    // One line on standard error: the program, the file and the system's text.
    void ShowFailure(const TvxInOutError& failure) override;
    void ShowUnknownEncoding(const std::string& name) override;
    // One line on standard error: the error's text and its position in the expression.
    void ShowExpressionError(const TExpressionError& error) override;
    // A program whose output is kept writes it to two files of its own; when the loop is
    // done with it, they go whole to standard output and error, and are removed, so that
    // the lines of programs that run at once never mix.
    TProcess Start(const TStartCommand& command) override;
    void CloseProcess(TProcess process) override;
    // Writes the commands to standard output, one a line; nothing starts.
    bool ConfirmCommands(const std::vector<std::string>& commands) override;
    // A status line on standard error instead of the window: rewritten in place on a
    // console, else a line at most once a second and once more at the end.
    bool ProgressStart() override;
    void ProgressSetRange(int32_t, int32_t) override {}
    void ProgressSetPos(int32_t) override {}
    void ProgressSetText(const std::string&) override {}
    void ProgressSetStatus(const TBatchStatus& status) override;
    // A line on standard error for each failed item, with its reason.
    bool ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) override;
    void ProgressClose() override;
    // One line on standard error.
    void ShowWatchRefused(const std::string& folder, TWatchRefusal why) override;
    // The status line, with the watched folder in it; a line for each file that failed
    // and each time the folder goes away or comes back.
    void ShowWatch(const TWatchState& state) override;
    void WatchEnded() override { ProgressClose(); }

    // The first Ctrl+C or Ctrl+Break, and /UNWATCH.
    bool StopSignalled() override;

  protected:
    HANDLE StopEvent() const override;

  private:
    void ClearStatus();
    void WriteFailures(const std::vector<TFailedItem>& failed);
    struct TKeptOutput {
        std::string output;
        std::string error;
    };
    std::optional<TStatusLine> status_;
    std::string statusLanguage_; // the language file of the status line's texts
    bool watchedFolderThere_ = true;
    std::unordered_map<uintptr_t, TKeptOutput> kept_; // by process
};

// Writes text of the process code page to the standard handle (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE): through the console's wide functions where it is a console, else as
// UTF-8 with CR LF line ends.
void WriteStandardText(DWORD which, const std::string& text);
