#pragma once
// The generated list-like corpus of the benchmarks: 1,000,000 lines of paths and file
// names, about 50 MB with CR LF line ends.

#include <random>
#include <string>

inline std::string GenerateListCorpus(int lines = 1000000) {
    std::mt19937 random(12345);
    const char* folders[] = {"D:\\Photos\\2024\\Holidays\\Summer\\", "C:\\Users\\anna\\Documents\\Reports\\",
                             "E:\\Archive\\Scans\\Letters\\Family\\", "\\\\server\\share\\music\\albums\\"};
    const char* extensions[] = {".jpg", ".png", ".txt", ".mp3", ".pdf"};
    std::string out;
    out.reserve(size_t(lines) * 52);
    for (int i = 0; i < lines; ++i) {
        out += folders[random() % 4];
        switch (random() % 4) {
        case 0: out += "IMG_" + std::to_string(1000 + random() % 9000); break;
        case 1:
            out += std::to_string(2000 + random() % 25) + "-0" + std::to_string(1 + random() % 9) + "-" +
                   std::to_string(10 + random() % 18) + " scan";
            break;
        default: out += "file_name_" + std::to_string(random() % 100000) + (random() % 7 == 0 ? " copy" : "");
        }
        out += extensions[random() % 5];
        out += "\r\n";
    }
    return out;
}
