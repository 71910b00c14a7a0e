#pragma once
// The progress window: a dialog on a thread of its own with the current command, the
// batch's status, a progress bar, Skip and Cancel. The main thread stores the values to show and
// reads the two events; the window and its thread live as long as the object.

#include "../foundation/vxHandles.h"
#include "zemrunPhaseTimes_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class TProgressWindow {
  public:
    // The time its thread spends on its messages is added to the window's updates.
    explicit TProgressWindow(TPhaseTimes& times) : times_(times) {}
    // Closes the window and waits for its thread.
    ~TProgressWindow();
    TProgressWindow(const TProgressWindow&) = delete;
    TProgressWindow& operator=(const TProgressWindow&) = delete;

    // Starts the thread and returns once the window and both events exist; false (after
    // cleaning up) when the window could not be created. Its texts come from the language
    // file, none for the built-in texts.
    bool Start(const std::string& languageFile);
    // The values to show; the window shows the latest of them within a quarter of a second.
    void SetRange(int32_t low, int32_t high);
    void SetPos(int32_t position);
    void SetText(const std::string& text);
    // The line under the command that tells how far the batch is.
    void SetStatus(const std::string& status);
    // Closes the window, waits for its thread and releases both events.
    void Close();

    // Null once the window is gone.
    HWND Window() const { return window_; }
    HANDLE SkipEvent() const { return skipEvent_.Get(); }     // resets itself when a wait takes it
    HANDLE CancelEvent() const { return cancelEvent_.Get(); } // stays set

  private:
    // What the window is to show. The main thread only stores the latest values; the
    // progress thread puts them on the screen at most every RefreshMilliseconds, so that
    // a start never waits for the window to repaint.
    struct TShownValues {
        int32_t low = 0, high = 100, position = 0;
        std::string text, status;
        bool rangeChanged = false, positionChanged = false, textChanged = false,
             statusChanged = false;
    };

    static DWORD WINAPI Thread(LPVOID self);
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowLatestValues(HWND window);
    void RunMessageLoop(HWND window);

    TPhaseTimes& times_;
    std::atomic<HWND> window_ = nullptr; // written by the progress thread
    TvxHandle thread_;
    TvxHandle readyEvent_; // set by the thread once the window and events exist
    TvxHandle skipEvent_;
    TvxHandle cancelEvent_;
    std::string languageFile_;
    std::mutex shownLock_;
    TShownValues shown_;
};
