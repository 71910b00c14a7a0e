#pragma once
// Window texts and properties.

#include <windows.h>

#include <shtypes.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// The system's text for an error number or an HRESULT, without its line end and full stop;
// "error <n>" where the system has none.
std::string SystemMessage(uint32_t code);

// The text that a system function writes into a buffer of wide characters, asked again with
// a larger buffer while it does not fit: fill(buffer, size) gives the characters written, or
// those it needs, or size (or more) when the text was cut; 0 when it fails, which gives an
// empty text. Paths beyond MAX_PATH come whole so, where the system has them.
std::string GrownSystemText(const std::function<DWORD(wchar_t* buffer, DWORD size)>& fill);

// The window's dots per inch (96 at 100 %), which may change as it moves between monitors,
// and a length of pixels at 96 DPI scaled to them.
UINT WindowDpi(HWND window);
// The file-system path of an item of the shell's namespace; empty when it has none.
std::string PathOfItem(const ITEMIDLIST* item);
int ScaledToWindow(HWND window, int pixelsAt96);

std::string WindowText(HWND window);
std::string DialogItemText(HWND dialog, int id);
bool SetDialogItemText(HWND dialog, int id, const std::string& text);
// Puts the text, of the process code page, on the clipboard as Unicode text; false when
// the clipboard could not be had.
bool CopyTextToClipboard(HWND owner, const std::string& text);
// Opens a file or folder, of the process code page, as Explorer would; the shell's
// messages are owned by the window, which may be null.
void OpenWithShell(HWND owner, const std::string& path);
// Not null and still naming an existing window.
bool IsLiveWindow(HWND window);
void RemoveProperties(HWND window, std::initializer_list<const char*> names);
// Lets files be dropped on the window (WM_DROPFILES).
void AcceptDroppedFiles(HWND window);
// The paths of a WM_DROPFILES message and the point of the drop in the window's client
// area; the drop is finished.
std::vector<std::string> TakeDroppedFiles(WPARAM drop, POINT& point);
// Gives the window the program's icon resource "MAINICON", big and small.
void SetProgramIcon(HWND window);

// Runs a modal dialog from a template of the program, with the failures of its procedure
// kept inside: no exception may pass through the system's frames (a 32-bit program
// cannot unwind through them). A failure raised by the procedure ends the dialog and is
// raised again here, once the dialog is gone. The procedure's WM_INITDIALOG gets data.
INT_PTR GuardedDialogBox(int templateId, HWND owner, DLGPROC procedure, void* data = nullptr);

// The data a dialog procedure was given with WM_INITDIALOG, kept in the dialog's user
// slot; null for the messages before it.
template <typename TData> TData* DialogData(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return reinterpret_cast<TData*>(GetWindowLongPtrA(dialog, DWLP_USER));
}
