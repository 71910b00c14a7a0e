#include "DlgLocaleU.h"

std::string LangString(const std::string& /*languageFile*/, int32_t id) { return BuiltinString(id); }
