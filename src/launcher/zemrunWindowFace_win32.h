#pragma once
// The window face (zemrun.exe): the usage message, the main dialog, the preview, the
// progress window and the summary of what failed, and a watch's icon in the notification
// area; nothing of it where no person can see it.

#include "../ui/WatchIcon.h"
#include "ProgressThrU.h"
#include "zemrunFace.h"
#include "zemrunSystem_win32.h"

#include <windows.h>

#include <string>

class TWindowFace : public TLauncherFace {
  public:
    // The progress window's updates count among the run's window updates.
    explicit TWindowFace(TPhaseTimes& phases) : phases_(phases), progress_(phases) {}
    void ShowUsage() override;
    // Says nothing of a failure, whose exit status tells; an unknown encoding and a
    // watch that does not start in a message box, where a person can see it.
    void Tell(const TNotice& notice) override;
    bool EditSettingsDialog(TOptions& settings, const TPreviewCommands& preview) override;
    bool ConfirmCommands(const std::vector<std::string>& commands) override;
    bool ProgressStart(int32_t items) override;
    void ProgressClose() override { progress_.Close(); }
    void TryStarted(const TTry& tried) override;
    void StatusChanged(const TBatchStatus& status) override;
    TUserSignals TakeSignals() override;
    // Turns the progress window into the summary of what failed, where a person can see it.
    bool ShowFailures(const TBatchStatus& status, const std::vector<TFailedItem>& failed) override;
    // The notification area's icon, where a person can see it, whose menu shows what
    // failed and stops the watch; a balloon for an announced failure.
    void ShowWatch(const TWatchState& state) override;
    void WatchEnded() override { watchIcon_.Close(); }
    std::string KeptOutputPrefix() override { return {}; }

    // The progress window owns the shell's messages; its Skip and Cancel end the waits
    // for programs, the icon's Stop watching and Run failed again those for the folder.
    TWin32FaceHandles& Handles() { return handles_; }

  private:
    class THandles : public TWin32FaceHandles {
      public:
        explicit THandles(const TWindowFace& face) : face_(face) {}
        HWND OwnerWindow() const override { return face_.progress_.Window(); }
        HANDLE SkipEvent() const override { return face_.progress_.SkipEvent(); }
        HANDLE CancelEvent() const override { return face_.progress_.CancelEvent(); }
        std::vector<HANDLE> FolderWaitEvents() const override {
            return {face_.stopEvent_.Get(), face_.runAgainEvent_.Get()};
        }

      private:
        const TWindowFace& face_;
    };

    TPhaseTimes& phases_;
    TProgressWindow progress_;
    std::string progressLanguage_; // the language file of the progress window's texts
    TWatchIcon watchIcon_;
    TvxHandle stopEvent_;     // set by the icon's Stop watching
    TvxHandle runAgainEvent_; // set by the icon's Run failed again, reset by its taking
    bool watchIconTried_ = false;
    std::string watchLanguage_;
    THandles handles_{*this};
};

// The summary's rows of the failed items, in the texts of the language file.
std::vector<TFailureRow> FailureRows(const std::vector<TFailedItem>& failed,
                                     const std::string& language);
