// Special folders come from environment variables, so tests can point them at
// temporary folders: ZEMRUN_FOLDER_28 is the per-user folder, ZEMRUN_FOLDER_35 the
// common one.
#include "vxShellUtils.h"

#include "vxFileUtils.h"

#include <cstdlib>

std::string SpecialFolderPath(int folderId, void*) {
    const std::string name = "ZEMRUN_FOLDER_" + std::to_string(folderId & ~CSIDL_FLAG_CREATE_BIT);
    const char* value = std::getenv(name.c_str());
    if (!value || !*value) return {};
    std::string path = value;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    if (folderId & CSIDL_FLAG_CREATE_BIT) CreateFolderPath(path + "/");
    return path;
}

void InitializeShellUtils() {}
void FinalizeShellUtils() {}
