#pragma once
// Window texts and properties.

#include <windows.h>

#include <initializer_list>
#include <string>

std::string WindowText(HWND window);
std::string DialogItemText(HWND dialog, int id);
bool SetDialogItemText(HWND dialog, int id, const std::string& text);
// Not null and still naming an existing window.
bool IsLiveWindow(HWND window);
void RemoveProperties(HWND window, std::initializer_list<const char*> names);
// Gives the window the program's icon resource "MAINICON", big and small.
void SetProgramIcon(HWND window);
