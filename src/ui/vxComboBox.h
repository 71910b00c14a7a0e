#pragma once
// Combo-box operations. Selecting posts the change notice an editable combo box sends
// when the user types (code 5) to the parent, so that its handler runs afterwards as if
// the user had changed the field.

#include "../foundation/vxStringList.h"

#include <windows.h>

#include <string>

void ComboAdd(HWND combo, const std::string& text);
void ComboClear(HWND combo);
int ComboFind(HWND combo, const std::string& text);
int ComboFindExact(HWND combo, const std::string& text);
int ComboInsert(HWND combo, int index, const std::string& text);
std::string ComboItemText(HWND combo, int index);
void ComboToList(HWND combo, TvxStringList& list);
void ListToCombo(HWND combo, const TvxStringList& list);
void ComboSelect(HWND combo, int index);
int ComboSelectText(HWND combo, const std::string& text);
std::string ComboText(HWND combo);
int ComboSelection(HWND combo);
// Posts the change notice of the combo box to its parent.
void PostComboChange(HWND combo);
