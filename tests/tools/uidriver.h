#pragma once
// Drives the real windows of another process the way a user would: finds them, reads
// their texts, clicks, and sets texts and selections with the notifications that a
// user's action sends.

#include <windows.h>

#include <dlgs.h>

#include <functional>
#include <string>
#include <vector>

namespace uidriver {

// The controls of the system's message box, by the names that dlgs.h gives the ids of the
// platform's own dialogs: its text and its icon.
constexpr int MessageBoxText = 0xFFFF;
constexpr int MessageBoxIcon = stc1;

// Waits until the condition holds, checking every few milliseconds; false on timeout.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

std::vector<HWND> TopWindowsOf(DWORD processId);
// The first visible top-level window of the process with the class (any class when
// empty), waiting up to timeoutMs; null when none shows.
HWND WaitForTopWindow(DWORD processId, const std::string& className, DWORD timeoutMs);

// The first visible top-level window of the process with exactly that title.
HWND WaitForWindowTitled(DWORD processId, const std::string& title, DWORD timeoutMs);
// A combo box's selected index (-1 for none) and number of entries; a check box's state.
int Selection(HWND dialog, int id);
int EntryCount(HWND dialog, int id);
bool Checked(HWND dialog, int id);

std::vector<HWND> Children(HWND parent);
std::string Text(HWND window);
std::string ClassName(HWND window);
HWND Item(HWND dialog, int id);
std::string ItemText(HWND dialog, int id);

// The cells of a report list view, row by row, read in the list's process as a screen
// reader reads them; the process must be of the caller's bitness.
std::vector<std::vector<std::string>> ListViewRows(HWND list, int columns);

// What is wrong with the window's layout, one line a fault: a visible control that lies
// outside the window's client area, or over a visible sibling (group boxes, which hold
// others, are not compared, nor an up-down control with its field).
std::vector<std::string> LayoutFaults(HWND window);

// Whether two icons show the same picture (icon handles differ between processes).
bool SameIconImage(HICON a, HICON b);

// Clicks a button without waiting for what the click starts.
void Click(HWND button);
void ClickItem(HWND dialog, int id);
// Asks a window to close as its title bar would.
void Close(HWND window);
// Chooses the entry of the process's open popup menu that is so many down from its top
// (separators and greyed entries not counted), with the keys a user presses; false when
// no menu opens within timeoutMs.
bool ChooseMenuEntry(DWORD processId, int downs, DWORD timeoutMs);

// Sets an edit or combo box's text and sends the change notification a user's typing sends.
void TypeText(HWND dialog, int id, const std::string& text);
// Selects a combo box entry and sends the selection-change notification.
void SelectEntry(HWND dialog, int id, int index);

} // namespace uidriver
