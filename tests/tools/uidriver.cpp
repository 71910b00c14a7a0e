#include "uidriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace uidriver {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= until) return false;
        Sleep(20);
    }
}

namespace {
struct TWindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

// A callback of its own: a lambda has the default calling convention, which is not the
// system's in a 32-bit program.
BOOL CALLBACK CollectWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid) search->found.push_back(window);
    return TRUE;
}
} // namespace

std::vector<HWND> TopWindowsOf(DWORD processId) {
    TWindowSearch search{processId, {}};
    EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(DWORD processId, const std::string& className, DWORD timeoutMs) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopWindowsOf(processId))
                if (IsWindowVisible(window) &&
                    (className.empty() || ClassName(window) == className)) {
                    result = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return result;
}

HWND WaitForWindowTitled(DWORD processId, const std::string& title, DWORD timeoutMs) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopWindowsOf(processId))
                if (IsWindowVisible(window) && Text(window) == title) {
                    result = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return result;
}

int Selection(HWND dialog, int id) {
    return int(SendMessageA(Item(dialog, id), CB_GETCURSEL, 0, 0));
}

int EntryCount(HWND dialog, int id) {
    return int(SendMessageA(Item(dialog, id), CB_GETCOUNT, 0, 0));
}

bool Checked(HWND dialog, int id) {
    return SendMessageA(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

namespace {
bool IsGroupBox(HWND window) {
    return ClassName(window) == "Button" &&
           (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// An up-down control lies over the border of the field it belongs to, as it is made to.
bool AttachedUpDown(HWND one, HWND other) {
    const auto buddyOf = [](HWND upDown) {
        return ClassName(upDown) == UPDOWN_CLASSA
                   ? reinterpret_cast<HWND>(SendMessageA(upDown, UDM_GETBUDDY, 0, 0))
                   : nullptr;
    };
    return buddyOf(one) == other || buddyOf(other) == one;
}

// The rectangle in the parent's client coordinates.
RECT PlaceIn(HWND parent, HWND child) {
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

std::string Named(HWND control) {
    return ClassName(control) + " " + std::to_string(GetDlgCtrlID(control)) + " \"" +
           Text(control).substr(0, 40) + "\"";
}

std::string Described(const RECT& place) {
    return "(" + std::to_string(place.left) + "," + std::to_string(place.top) + ")-(" +
           std::to_string(place.right) + "," + std::to_string(place.bottom) + ")";
}
} // namespace

std::vector<std::string> LayoutFaults(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    std::vector<HWND> shown;
    for (HWND child : Children(window))
        if (IsWindowVisible(child)) shown.push_back(child);
    std::vector<std::string> faults;
    for (size_t i = 0; i < shown.size(); ++i) {
        const RECT place = PlaceIn(window, shown[i]);
        RECT inside;
        if (!IntersectRect(&inside, &place, &client) || !EqualRect(&inside, &place))
            faults.push_back(Named(shown[i]) + " " + Described(place) + " lies outside " +
                             Described(client));
        if (IsGroupBox(shown[i])) continue;
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const RECT other = PlaceIn(window, shown[j]);
            RECT common;
            if (!IsGroupBox(shown[j]) && !AttachedUpDown(shown[i], shown[j]) &&
                IntersectRect(&common, &place, &other))
                faults.push_back(Named(shown[i]) + " " + Described(place) + " overlaps " +
                                 Named(shown[j]) + " " + Described(other));
        }
    }
    return faults;
}

std::string Text(HWND window) {
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(size_t(length) + 1, '\0');
    const LRESULT got = SendMessageA(window, WM_GETTEXT, WPARAM(text.size()),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(got));
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND Item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

std::string ItemText(HWND dialog, int id) {
    return Text(Item(dialog, id));
}

std::vector<std::vector<std::string>> ListViewRows(HWND list, int columns) {
    std::vector<std::vector<std::string>> rows;
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION,
                                 FALSE, processId);
    if (!process) return rows;
    constexpr int TextSize = 1024;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const LRESULT count = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; remote && row < count; ++row) {
        std::vector<std::string>& cells = rows.emplace_back();
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = remote + 256;
            item.cchTextMax = TextSize;
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            const LRESULT length =
                SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(remote));
            std::string text(TextSize, '\0');
            ReadProcessMemory(process, remote + 256, text.data(), text.size(), nullptr);
            text.resize(size_t(std::max<LRESULT>(0, std::min<LRESULT>(length, TextSize))));
            cells.push_back(text);
        }
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rows;
}

namespace {
std::string BitmapBits(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return {};
    std::string bits(size_t(info.bmWidthBytes) * size_t(info.bmHeight), '\0');
    GetBitmapBits(bitmap, LONG(bits.size()), bits.data());
    return bits;
}

std::string IconBits(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return {};
    std::string bits = BitmapBits(info.hbmColor) + "|" + BitmapBits(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bits;
}
} // namespace

bool SameIconImage(HICON a, HICON b) {
    const std::string bits = IconBits(a);
    return bits.size() > 1 && bits == IconBits(b);
}

void Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void ClickItem(HWND dialog, int id) {
    Click(Item(dialog, id));
}

void Close(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TypeText(HWND dialog, int id, const std::string& text) {
    HWND control = Item(dialog, id);
    if (ClassName(control) == "ComboBox") {
        // Typing over an editable combo box leaves no entry selected (the box is closed)
        // and makes it report an edit change.
        SendMessageA(control, CB_SETCURSEL, WPARAM(-1), 0);
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(control));
        return;
    }
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(control));
}

void SelectEntry(HWND dialog, int id, int index) {
    HWND control = Item(dialog, id);
    SendMessageA(control, CB_SETCURSEL, WPARAM(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
}

bool ChooseMenuEntry(DWORD processId, int downs, DWORD timeoutMs) {
    HWND menu = WaitForTopWindow(processId, "#32768", timeoutMs);
    if (!menu) return false;
    // The menu's loop takes the keys of its thread's queue, whichever window they name.
    const auto press = [menu](WPARAM key) {
        PostMessageA(menu, WM_KEYDOWN, key, 1);
        PostMessageA(menu, WM_KEYUP, key, 0xC0000001);
    };
    for (int down = 0; down < downs; ++down)
        press(VK_DOWN);
    press(VK_RETURN);
    return true;
}

} // namespace uidriver
