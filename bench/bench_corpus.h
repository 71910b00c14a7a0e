#pragma once
// The generated list-like corpus of the benchmarks: 1,000,000 lines of paths and file
// names, about 50 MB with CR LF line ends; with unicodeNames, one line in four lies in a
// folder whose name is French, Russian or Japanese, or holds a character beyond the
// Basic Multilingual Plane, in UTF-8.

#include <random>
#include <string>

inline std::string GenerateListCorpus(int lines = 1000000, bool unicodeNames = false) {
    std::mt19937 random(12345);
    const char* folders[] = {
        "D:\\Photos\\2024\\Holidays\\Summer\\", "C:\\Users\\anna\\Documents\\Reports\\",
        "E:\\Archive\\Scans\\Letters\\Family\\", "\\\\server\\share\\music\\albums\\"};
    const char* unicodeFolders[] = {
        "D:\\Photos\\\xC3\xA9t\xC3\xA9 \xC3\xA0 No\xC3\xABl\\",
        "C:\\Users\\\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\",
        "E:\\\xE6\x9D\xB1\xE4\xBA\xAC\\\xE5\x86\x99\xE7\x9C\x9F\\",
        "\\\\server\\\xF0\x9F\x8E\xB5 music\\"};
    const char* extensions[] = {".jpg", ".png", ".txt", ".mp3", ".pdf"};
    std::string out;
    out.reserve(size_t(lines) * 52);
    for (int i = 0; i < lines; ++i) {
        const unsigned folder = random() % 4;
        out += unicodeNames && i % 4 == 0 ? unicodeFolders[folder] : folders[folder];
        switch (random() % 4) {
        case 0:
            out += "IMG_" + std::to_string(1000 + random() % 9000);
            break;
        case 1:
            out += std::to_string(2000 + random() % 25) + "-0" + std::to_string(1 + random() % 9) +
                   "-" + std::to_string(10 + random() % 18) + " scan";
            break;
        default:
            out += "file_name_" + std::to_string(random() % 100000) +
                   (random() % 7 == 0 ? " copy" : "");
        }
        out += extensions[random() % 5];
        out += "\r\n";
    }
    return out;
}
