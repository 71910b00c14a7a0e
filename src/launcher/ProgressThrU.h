#pragma once
// The progress window: a dialog on a thread of its own with the current command, a
// progress bar, Skip and Cancel. The main thread talks to it through these calls and
// reads the two events.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// Written by the progress thread, read by the main thread.
extern std::atomic<HWND> ProgressWnd;
extern HANDLE SkipEvent;   // resets itself when a wait takes it
extern HANDLE CancelEvent; // stays set

// Starts the thread and returns once the window and both events exist; false (after
// cleaning up) when the window could not be created.
bool ProgressStart();
// The values to show; the window shows the latest of them within 50 ms.
void ProgressSetRange(int32_t low, int32_t high);
void ProgressSetPos(int32_t position);
void ProgressSetText(const std::string& text);
// Closes the window, waits for its thread and releases both events.
void ProgressClose();
