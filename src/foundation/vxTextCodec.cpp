#include "vxTextCodec.h"

namespace {
constexpr char16_t Replacement = 0xFFFD;

// The continuation bytes that a UTF-8 lead byte needs, and the range of the first of
// them, which rules out overlong forms, surrogates and values beyond U+10FFFF; 0 for a
// byte that starts no sequence.
int Utf8Continuations(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
        return 3;
    }
    return 0;
}

} // namespace

char32_t NextUtf8(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos++);
    if (lead < 0x80) return lead;
    unsigned char low = 0, high = 0;
    const int more = Utf8Continuations(lead, low, high);
    if (more == 0) return Replacement;
    char32_t code = lead & (0x7F >> (more + 1));
    size_t at = pos;
    for (int i = 0; i < more; ++i, ++at) {
        if (at >= text.size() || byte(at) < low || byte(at) > high) return Replacement;
        code = code << 6 | (byte(at) & 0x3F);
        low = 0x80, high = 0xBF;
    }
    pos = at;
    return code;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

bool IsUtf16(uint32_t codePage) {
    return codePage == codepage::Utf16LE || codePage == codepage::Utf16BE;
}

namespace {
void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += char16_t(code);
    } else {
        code -= 0x10000;
        out += char16_t(0xD800 + (code >> 10));
        out += char16_t(0xDC00 + (code & 0x3FF));
    }
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();)
        AppendUtf16(out, NextUtf8(text, pos));
    return out;
}

// A lone surrogate has no UTF-8 form and becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            code = Replacement;
        AppendUtf8(out, code);
    }
    return out;
}

std::u16string Utf16BytesToUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out(bytes.size() / 2, u'\0');
    const int high = bigEndian ? 0 : 1;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char16_t(static_cast<unsigned char>(bytes[2 * i + size_t(high)]) << 8 |
                          static_cast<unsigned char>(bytes[2 * i + size_t(1 - high)]));
    // A last odd byte forms no character.
    if (bytes.size() % 2) out += Replacement;
    return out;
}

bool IsUnicode(uint32_t codePage) {
    return codePage == codepage::Utf8 || IsUtf16(codePage);
}
} // namespace
// The system part converts the legacy pages.
std::u16string LegacyToUtf16(std::string_view text, uint32_t codePage);
std::string Utf16ToLegacy(std::u16string_view text, uint32_t codePage, bool* lost);
bool IsLegacyCodePage(uint32_t codePage);

bool IsConvertibleCodePage(uint32_t codePage) {
    return IsUnicode(codePage) || IsLegacyCodePage(codePage);
}

std::u16string ToUtf16(std::string_view text, uint32_t codePage) {
    if (codePage == codepage::Utf8) return Utf8ToUtf16(text);
    if (IsUtf16(codePage)) return Utf16BytesToUtf16(text, codePage == codepage::Utf16BE);
    return LegacyToUtf16(text, codePage);
}

std::string FromUtf16(std::u16string_view text, uint32_t codePage, bool* lost) {
    if (lost) *lost = false;
    if (codePage == codepage::Utf8) return Utf16ToUtf8(text);
    if (IsUtf16(codePage)) {
        std::string out(text.size() * 2, '\0');
        const int high = codePage == codepage::Utf16BE ? 0 : 1;
        for (size_t i = 0; i < text.size(); ++i) {
            out[2 * i + size_t(high)] = char(text[i] >> 8);
            out[2 * i + size_t(1 - high)] = char(text[i] & 0xFF);
        }
        return out;
    }
    return Utf16ToLegacy(text, codePage, lost);
}

std::u16string ProcessToUtf16(std::string_view text) {
    return ToUtf16(text, ProcessCodePage());
}
std::string ProcessFromUtf16(std::u16string_view text, bool* lost) {
    return FromUtf16(text, ProcessCodePage(), lost);
}

namespace {
// UTF-16 units of the UTF-8 character that starts with this byte; 0 for a continuation.
size_t UnitsOfLead(unsigned char byte) {
    return (byte & 0xC0) == 0x80 ? 0 : byte >= 0xF0 ? 2 : 1;
}
} // namespace

size_t Utf16Length(std::string_view text) {
    if (ProcessCodePage() != codepage::Utf8) return ProcessToUtf16(text).size();
    size_t units = 0;
    for (const char c : text)
        units += UnitsOfLead(static_cast<unsigned char>(c));
    return units;
}

bool FitsUtf16Units(std::string_view text, size_t units) {
    // Every page takes at least a byte a unit, and at most three.
    if (text.size() <= units) return true;
    if (text.size() > 3 * units) return false;
    return Utf16Length(text) <= units;
}

std::string FirstUtf16Units(std::string_view text, size_t units) {
    if (ProcessCodePage() != codepage::Utf8) {
        std::u16string wide = ProcessToUtf16(text);
        if (wide.size() <= units) return std::string(text);
        // Half a surrogate pair is no character.
        if (units > 0 && wide[units - 1] >= 0xD800 && wide[units - 1] <= 0xDBFF) --units;
        return ProcessFromUtf16(wide.substr(0, units));
    }
    size_t counted = 0, end = 0;
    for (; end < text.size(); ++end) {
        const size_t more = UnitsOfLead(static_cast<unsigned char>(text[end]));
        if (counted + more > units) break;
        counted += more;
    }
    return std::string(text.substr(0, end));
}

std::string ShownText(std::string_view text, size_t units) {
    if (units == 0 || FitsUtf16Units(text, units)) return std::string(text);
    return FirstUtf16Units(text, units - 1) + "\xE2\x80\xA6"; // U+2026
}

namespace {
bool SameAsciiText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
        if (x != b[i]) return false;
    }
    return true;
}
} // namespace

bool ReadEncodingName(std::string_view name, uint32_t& codePage) {
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    const struct {
        const char* name;
        uint32_t codePage;
    } named[] = {{"", 0},
                 {"OEM", LegacyOemCodePage()},
                 {"ANSI", LegacyAnsiCodePage()},
                 {"UTF-8", codepage::Utf8},
                 {"UTF8", codepage::Utf8},
                 {"UTF-16", codepage::Utf16LE},
                 {"UTF16", codepage::Utf16LE},
                 {"UTF-16LE", codepage::Utf16LE},
                 {"UTF-16BE", codepage::Utf16BE}};
    for (const auto& entry : named)
        if (SameAsciiText(name, entry.name)) {
            codePage = entry.codePage;
            return true;
        }
    if (name.size() > 5) return false;
    uint32_t number = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + uint32_t(c - '0');
    }
    if (!IsConvertibleCodePage(number)) return false;
    codePage = number;
    return true;
}

void TvxUtf8Validator::Feed(std::string_view piece) {
    for (size_t i = 0; i < piece.size() && valid_; ++i) {
        const auto byte = static_cast<unsigned char>(piece[i]);
        if (pending_ > 0) {
            if (byte < low_ || byte > high_) valid_ = false;
            --pending_;
            low_ = 0x80, high_ = 0xBF;
            continue;
        }
        if (byte < 0x80) {
            // The common case: skip a run of plain ASCII at once.
            while (i + 1 < piece.size() && static_cast<unsigned char>(piece[i + 1]) < 0x80)
                ++i;
            continue;
        }
        pending_ = Utf8Continuations(byte, low_, high_);
        if (pending_ == 0) valid_ = false;
    }
}

bool IsValidUtf8(std::string_view text) {
    TvxUtf8Validator validator;
    validator.Feed(text);
    return validator.Valid();
}

TvxTextFormat DetectTextFormat(std::string_view head, bool wholeFile) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") return {codepage::Utf8, 3};
    if (head.substr(0, 2) == "\xFF\xFE") return {codepage::Utf16LE, 2};
    if (head.substr(0, 2) == "\xFE\xFF") return {codepage::Utf16BE, 2};
    // Checked before UTF-8 validity: zero bytes are valid UTF-8, but no list means them.
    if (head.size() >= 2 && !(wholeFile && head.size() % 2)) {
        size_t zeros = 0;
        for (size_t i = 1; i < head.size(); i += 2)
            zeros += head[i] == '\0';
        if (zeros * 2 > head.size() / 2) return {codepage::Utf16LE, 0};
    }
    return {};
}
