#pragma once
// The notification area's icon of a watched folder. Its tooltip tells how the watch goes,
// its menu opens the folder or the job log, shows what failed and stops the watch, and a
// balloon tells of a failure. A hidden window on a thread of its own holds it, with the
// tooltip as its title (which a test or a screen reader can read).

#include "../foundation/vxHandles.h"
#include "DlgFailures.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// The class of the icon's window, and the message of the icon's mouse events to it.
constexpr const char* WatchIconClass = "ZemrunWatch";
constexpr UINT WatchIconMessage = WM_APP + 1;

class TWatchIcon {
  public:
    TWatchIcon() = default;
    ~TWatchIcon() { Close(); }
    TWatchIcon(const TWatchIcon&) = delete;
    TWatchIcon& operator=(const TWatchIcon&) = delete;

    // Shows the icon; "Stop watching" sets the stop event, "Run failed again" in the
    // summary of what failed the run-again event. False when it cannot be shown.
    bool Start(const std::string& folder, const std::string& jobLog, HANDLE stop, HANDLE runAgain,
               const std::string& languageFile);
    void SetTip(const std::string& tip);
    void ShowBalloon(const std::string& text);
    // What "Show what failed" shows, besides what failed before; Clear forgets those.
    void AddFailures(const std::vector<TFailureRow>& rows);
    void ClearFailures();
    // Takes the icon away and ends its thread.
    void Close();

  private:
    static DWORD WINAPI Thread(LPVOID self);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Notify(DWORD action, bool balloon = false);
    void ShowMenu();
    void ShowFailures();

    std::string folder_, jobLog_, languageFile_;
    HANDLE stop_ = nullptr, runAgain_ = nullptr;
    TvxHandle thread_;
    TvxHandle ready_;
    std::atomic<HWND> window_ = nullptr;
    std::mutex textLock_; // what the icon shows, set here, shown by the icon's thread
    std::string tip_;
    std::wstring balloon_;
    std::vector<TFailureRow> failures_;
};
