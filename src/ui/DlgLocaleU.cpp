#include "DlgLocaleU.h"

#include "../foundation/vxIniFile.h"
#include "../foundation/vxStrUtils.h"
#include "../foundation/vxTextCodec.h"

std::string LangString(const std::string& languageFile, int32_t id) {
    std::string text = ReadProfileString(languageFile, "0", IntToText(id), std::string());
    if (text.empty()) text = FirstUtf16Units(BuiltinString(id), 4095);
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 2)) {
        text[at] = '\r';
        text[at + 1] = '\n';
    }
    return text;
}

std::string TranslateTokens(const std::string& text, const std::string& languageFile,
                            int32_t& mark) {
    std::string out;
    std::string_view rest = text;
    mark = 0;
    for (;;) {
        const size_t first = rest.find('%');
        const size_t second = first == std::string_view::npos ? first : rest.find('%', first + 1);
        if (second == std::string_view::npos) {
            out += rest;
            return out;
        }
        if (second == first + 1) {
            out += rest.substr(0, first + 1); // "%%" gives one "%"
        } else {
            mark = ReadInteger(rest.substr(first + 1, second - first - 1));
            if (mark != 0)
                out += std::string(rest.substr(0, first)) + LangString(languageFile, mark);
            else
                out += rest.substr(0, second + 1);
        }
        rest.remove_prefix(second + 1);
    }
}

std::string FillIn(std::string text, std::initializer_list<std::string> values) {
    int32_t number = 1;
    for (const std::string& value : values) {
        std::string mark(1, '%');
        mark += std::to_string(number++);
        for (size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}
