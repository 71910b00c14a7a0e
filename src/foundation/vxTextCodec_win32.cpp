// The code pages as the system knows them.
#include "vxTextCodec.h"

#include <windows.h>

namespace {
uint32_t SystemLocaleCodePage(LCTYPE type) {
    DWORD codePage = 0;
    if (!GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, type | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)))
        return 0;
    return codePage;
}

// A locale without a legacy page (those written only in Unicode) reads its files as UTF-8.
uint32_t OrUtf8(uint32_t codePage) {
    return codePage ? codePage : codepage::Utf8;
}
} // namespace

uint32_t ProcessCodePage() {
    return GetACP();
}
// The manifest's setting changes GetACP and GetOEMCP, not the system locale's pages.
uint32_t LegacyAnsiCodePage() {
    return OrUtf8(SystemLocaleCodePage(LOCALE_IDEFAULTANSICODEPAGE));
}
uint32_t LegacyOemCodePage() {
    return OrUtf8(SystemLocaleCodePage(LOCALE_IDEFAULTCODEPAGE));
}
uint32_t ConsoleCodePage() {
    return GetConsoleOutputCP();
}

bool IsLegacyCodePage(uint32_t codePage) {
    return codePage != 0 && IsValidCodePage(codePage);
}

std::u16string LegacyToUtf16(std::string_view text, uint32_t codePage) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::u16string out(size_t(size > 0 ? size : 0), u'\0');
    if (size > 0)
        MultiByteToWideChar(codePage, 0, text.data(), int(text.size()),
                            reinterpret_cast<LPWSTR>(out.data()), size);
    return out;
}

std::string Utf16ToLegacy(std::u16string_view text, uint32_t codePage, bool* lost) {
    if (text.empty()) return {};
    const auto wide = reinterpret_cast<LPCWSTR>(text.data());
    BOOL usedDefault = FALSE;
    // Best-fit mappings would turn a name into another, existing one ("Ö" into "O").
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL* used = &usedDefault;
    int size =
        WideCharToMultiByte(codePage, flags, wide, int(text.size()), nullptr, 0, nullptr, used);
    if (size <= 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Some pages (the ISO-2022 ones among them) take neither.
        flags = 0;
        used = nullptr;
        size = WideCharToMultiByte(codePage, flags, wide, int(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    }
    std::string out(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, flags, wide, int(text.size()), out.data(), size, nullptr,
                            used);
    if (lost) *lost = usedDefault != FALSE;
    return out;
}
