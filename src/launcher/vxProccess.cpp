#include "vxProccess.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

template <typename TFunction>
TFunction Procedure(HMODULE module, const char* name) {
    // Through a plain function pointer type: the one way to convert FARPROC without a warning.
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The snapshot functions are looked up by name, as older systems lack them.
struct TToolhelp {
    CreateSnapshotFn createSnapshot = nullptr;
    ProcessWalkFn processFirst = nullptr;
    ProcessWalkFn processNext = nullptr;
    ModuleWalkFn moduleFirst = nullptr;
    ModuleWalkFn moduleNext = nullptr;

    TToolhelp() {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (!kernel) return;
        createSnapshot = Procedure<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
        processFirst = Procedure<ProcessWalkFn>(kernel, "Process32First");
        processNext = Procedure<ProcessWalkFn>(kernel, "Process32Next");
        moduleFirst = Procedure<ModuleWalkFn>(kernel, "Module32First");
        moduleNext = Procedure<ModuleWalkFn>(kernel, "Module32Next");
    }
    bool Complete() const { return createSnapshot && processFirst && processNext && moduleFirst && moduleNext; }
};

const TToolhelp& Toolhelp() {
    static const TToolhelp toolhelp;
    return toolhelp;
}

class TSnapshot {
public:
    explicit TSnapshot(HANDLE handle) : handle_(handle) {}
    ~TSnapshot() {
        if (Valid()) CloseHandle(handle_);
    }
    TSnapshot(const TSnapshot&) = delete;
    TSnapshot& operator=(const TSnapshot&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

bool HasModulePath(const TToolhelp& th, DWORD processId, const std::string& name) {
    TSnapshot modules(th.createSnapshot(TH32CS_SNAPMODULE, processId));
    if (!modules.Valid()) return false;
    MODULEENTRY32 module{};
    module.dwSize = sizeof(module);
    for (BOOL more = th.moduleFirst(modules.Get(), &module); more; more = th.moduleNext(modules.Get(), &module))
        if (lstrcmpiA(name.c_str(), module.szExePath) == 0) return true;
    return false;
}
} // namespace

uint32_t IsProgramRunning(const std::string& name) {
    const TToolhelp& th = Toolhelp();
    if (!th.Complete()) return 0;
    TSnapshot processes(th.createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes.Valid()) return 0;
    PROCESSENTRY32 process{};
    process.dwSize = sizeof(process);
    for (BOOL more = th.processFirst(processes.Get(), &process); more;
         more = th.processNext(processes.Get(), &process)) {
        if (lstrcmpiA(name.c_str(), process.szExeFile) == 0 || HasModulePath(th, process.th32ProcessID, name))
            return process.th32ProcessID;
    }
    return 0;
}
