#include "vxComboBox.h"

#include "../foundation/vxTextCodec.h"
#include "../foundation/vxWinUtils.h"

void ComboAdd(HWND combo, const std::string& text) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ComboClear(HWND combo) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    SetWindowTextA(combo, "");
}

int ComboFind(HWND combo, const std::string& text) {
    if (text.empty()) return -1;
    return int(
        SendMessageA(combo, CB_FINDSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboFindExact(HWND combo, const std::string& text) {
    if (text.empty()) return -1;
    return int(SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1),
                            reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboInsert(HWND combo, int index, const std::string& text) {
    return int(SendMessageA(combo, CB_INSERTSTRING, WPARAM(index),
                            reinterpret_cast<LPARAM>(text.c_str())));
}

std::string ComboItemText(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length == CB_ERR) return {};
    std::u16string text(size_t(length) + 1, u'\0');
    const LRESULT got =
        SendMessageW(combo, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : size_t(got));
    return ProcessFromUtf16(text);
}

void ComboToList(HWND combo, TvxStringList& list) {
    list.Clear();
    const int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        list.Add(ComboItemText(combo, i));
}

void ListToCombo(HWND combo, const TvxStringList& list) {
    ComboClear(combo);
    for (int32_t i = 0; i < list.Count(); ++i)
        ComboAdd(combo, list.Strings(i));
}

void PostComboChange(HWND combo) {
    PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void ComboSelect(HWND combo, int index) {
    SendMessageA(combo, CB_SETCURSEL, WPARAM(index),
                 0); // an index outside the entries selects none
    PostComboChange(combo);
}

int ComboSelectText(HWND combo, const std::string& text) {
    const int index = ComboFindExact(combo, text);
    SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
    PostComboChange(combo);
    return index;
}

int ComboSelection(HWND combo) {
    return int(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

std::string ComboText(HWND combo) {
    const int selected = ComboSelection(combo);
    return selected >= 0 ? ComboItemText(combo, selected) : WindowText(combo);
}
