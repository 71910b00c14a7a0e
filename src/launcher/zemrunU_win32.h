#pragma once
// The Windows side of the launcher: the two starters, the waits, the usage message and
// the host that the switches and the launch loop run against.

#include "ProgressThrU.h"
#include "zemrunU.h"

#include <windows.h>

HANDLE StartByCreateProcess(const TStartCommand& command);
// The shell's messages are owned by the window, which may be null.
HANDLE StartByShellExecute(const TStartCommand& command, HWND window);
void ShowUsage();

class TWin32LauncherHost : public TLauncherHost {
  public:
    void ShowUsage() override;
    void ShowUnknownEncoding(const std::string& name) override;
    bool EditSettingsDialog(TOptions& settings) override;
    bool ConfirmCommands(const std::vector<std::string>& commands) override;
    TProcess Start(const TStartCommand& command) override;
    void WaitForInputIdle(TProcess process, uint32_t milliseconds) override;
    void WaitProcessEnd(TProcess process) override;
    bool ProcessEnded(TProcess process) override;
    int32_t WaitAnyProcessEnd(const std::vector<TProcess>& processes) override;
    uint32_t ExitCode(TProcess process) override;
    uint32_t StartError() override { return startError_; }
    TLocalTime LocalTime() override;
    uint64_t Milliseconds() override;
    void CloseProcess(TProcess process) override;
    uint32_t IsProgramRunning(const std::string& name) override;
    void Sleep(uint32_t milliseconds) override;
    std::string GetAssocCommand(const std::string& extension) override;
    bool ProgressStart() override;
    void ProgressSetRange(int32_t low, int32_t high) override;
    void ProgressSetPos(int32_t position) override;
    void ProgressSetText(const std::string& text) override;
    bool CancelSignalled() override;
    bool TakeSkipSignal() override;
    void ProgressClose() override;

  private:
    uint32_t startError_ = 0;
    TProgressWindow progress_;
};
