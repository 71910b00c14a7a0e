#pragma once
// The notification area's icon of a watched folder. Its tooltip tells how the watch goes,
// its menu opens the folder or the job log and stops the watch, and a balloon tells of a
// failure. A hidden window on a thread of its own holds it, with the tooltip as its title
// (which a test or a screen reader can read).

#include "../foundation/vxHandles.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

// The class of the icon's window.
constexpr const char* WatchIconClass = "ZemrunWatch";

class TWatchIcon {
  public:
    TWatchIcon() = default;
    ~TWatchIcon() { Close(); }
    TWatchIcon(const TWatchIcon&) = delete;
    TWatchIcon& operator=(const TWatchIcon&) = delete;

    // Shows the icon; "Stop watching" sets the stop event. False when it cannot be shown.
    bool Start(const std::string& folder, const std::string& jobLog, HANDLE stop,
               const std::string& languageFile);
    void SetTip(const std::string& tip);
    void ShowBalloon(const std::string& text);
    // Takes the icon away and ends its thread.
    void Close();

  private:
    static DWORD WINAPI Thread(LPVOID self);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Notify(DWORD action, bool balloon = false);
    void ShowMenu();

    std::string folder_, jobLog_, languageFile_;
    HANDLE stop_ = nullptr;
    TvxHandle thread_;
    TvxHandle ready_;
    std::atomic<HWND> window_ = nullptr;
    std::mutex textLock_; // the tip and the balloon, set here, shown by the icon's thread
    std::wstring tip_, balloon_;
};
