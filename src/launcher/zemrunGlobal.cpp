#include "zemrunGlobal.h"

TOptions RunSettings;
bool Interactive = false;
bool Preview = false;
std::string PreviewFile;
bool ItemArguments = false;

void InitializeGlobals() {
    SetDefaultOptions(RunSettings);
    Interactive = false;
    Preview = false;
    PreviewFile.clear();
    ItemArguments = false;
}
