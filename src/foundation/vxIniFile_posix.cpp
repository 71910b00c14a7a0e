#include "vxIniFile.h"

std::string ProfileFilePath(const std::string& file) {
    return file;
}
