#include "vxProccess.h"

#include "../foundation/vxHandles.h"
#include "../foundation/vxWinUtils.h"

#include <windows.h>

#include <tlhelp32.h>

#include <vector>

namespace {
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

template <typename TFunction> TFunction Procedure(HMODULE module, const char* name) {
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
    bool Complete() const {
        return createSnapshot && processFirst && processNext && moduleFirst && moduleNext;
    }
};

const TToolhelp& Toolhelp() {
    static const TToolhelp toolhelp;
    return toolhelp;
}

class TSnapshotProcess : public TRunningProcess {
  public:
    TSnapshotProcess(const TToolhelp& th, const PROCESSENTRY32& entry) : th_(th), entry_(entry) {}

    std::string ExeFile() override { return entry_.szExeFile; }

    bool ModulePaths(std::vector<std::string>& paths) override {
        const TvxHandle modules(th_.createSnapshot(TH32CS_SNAPMODULE, entry_.th32ProcessID));
        if (!modules) return false;
        MODULEENTRY32 module{};
        module.dwSize = sizeof(module);
        for (BOOL more = th_.moduleFirst(modules.Get(), &module); more;
             more = th_.moduleNext(modules.Get(), &module))
            paths.emplace_back(module.szExePath);
        return true;
    }

    // Works across 32 and 64 bits, where module snapshots do not.
    bool ImagePath(std::string& path) override {
        const TvxHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry_.th32ProcessID));
        if (!process) return false;
        path = GrownSystemText([&](wchar_t* buffer, DWORD size) -> DWORD {
            DWORD written = size;
            if (QueryFullProcessImageNameW(process.Get(), 0, buffer, &written)) return written;
            return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
        });
        return !path.empty();
    }

  private:
    const TToolhelp& th_;
    const PROCESSENTRY32& entry_;
};
} // namespace

uint32_t IsProgramRunning(const std::string& name) {
    const TToolhelp& th = Toolhelp();
    if (!th.Complete()) return 0;
    const TvxHandle processes(th.createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = th.processFirst(processes.Get(), &entry); more;
         more = th.processNext(processes.Get(), &entry)) {
        TSnapshotProcess process(th, entry);
        if (IsProgram(name, process)) return entry.th32ProcessID;
    }
    return 0;
}
