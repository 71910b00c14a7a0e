#pragma once
// The shell's special folders.

#include <string>

constexpr int CSIDL_LOCAL_APPDATA_ID = 28;
constexpr int CSIDL_COMMON_APPDATA_ID = 35;
constexpr int CSIDL_SENDTO_ID = 9;
constexpr int CSIDL_STARTUP_ID = 7;
constexpr int CSIDL_FLAG_CREATE_BIT = 0x8000;

// The file-system path of a special folder without a trailing separator; empty when the
// folder has none. `owner` is the window the shell may use for messages, or null.
std::string SpecialFolderPath(int folderId, void* owner = nullptr);

// Initializes COM on the calling (main) thread, apartment-threaded without OLE1 DDE, as
// the shell's verbs handled through COM need it.
void InitializeShellUtils();
// Releases the shell's allocator interface kept since the first call, and COM.
void FinalizeShellUtils();
