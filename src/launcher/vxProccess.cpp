#include "vxProccess.h"

#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"

bool IsProgram(const std::string& name, TRunningProcess& process) {
    const std::string exeFile = process.ExeFile();
    if (SameTextAnsi(name, exeFile)) return true;
    // Only a path that ends in the process's own file name can be its image.
    const std::string fileName = PathFileName(name);
    if (fileName.empty() || !SameTextAnsi(fileName, exeFile)) return false;
    std::vector<std::string> modules;
    if (process.ModulePaths(modules)) {
        for (const std::string& module : modules)
            if (SameTextAnsi(name, module)) return true;
        return false;
    }
    std::string image;
    return process.ImagePath(image) && SameTextAnsi(name, image);
}
