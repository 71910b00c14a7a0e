#include "vxChildProcess_win32.h"

#include "../foundation/vxTextCodec.h"

#include <map>
#include <memory>
#include <vector>

namespace {
constexpr DWORD EndWaitMilliseconds = 5000;

// A job that ends every process in it when its last handle closes: should this process
// itself be ended, nothing it contained keeps running.
TvxHandle MakeKillOnCloseJob() {
    TvxHandle job(CreateJobObjectA(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits)))
        job.Reset();
    return job;
}

// An inheritable handle for the child, whose copy in this process is closed right after
// the start, so that no later child can inherit it.
HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    // Others may read the output while it is written, and delete or rename it.
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The standard handles of a child, inheritable copies that close after its start.
struct TStreams {
    TvxHandle input;
    TvxHandle output;
    TvxHandle error;
};

// An inheritable copy of a handle of this process; none for none.
TvxHandle InheritableCopy(HANDLE own) {
    HANDLE copy = nullptr;
    if (!own || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return TvxHandle();
    return TvxHandle(copy);
}

// Output and error go to the file, or error to a file of its own; input comes from the
// null device.
bool OpenStreams(const std::string& outputPath, const std::string& errorPath, TStreams& streams) {
    streams.output.Reset(OpenInheritable(outputPath, GENERIC_WRITE, CREATE_ALWAYS));
    if (!streams.output) return false;
    if (errorPath.empty())
        streams.error = InheritableCopy(streams.output.Get());
    else
        streams.error.Reset(OpenInheritable(errorPath, GENERIC_WRITE, CREATE_ALWAYS));
    if (!streams.error) return false;
    streams.input.Reset(OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING));
    return bool(streams.input);
}

// Copies of this process's standard handles, where it has them.
void ShareStandardHandles(TStreams& streams) {
    streams.input = InheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
    streams.output = InheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
    streams.error = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
}

// Windows 7's console handles are no kernel objects: their two low bits are set, which a
// kernel handle's never are. A handle list may not name them (the start would fail); the
// child reaches them through the console it shares all the same.
bool IsConsolePseudoHandle(HANDLE handle) {
    return (reinterpret_cast<uintptr_t>(handle) & 3) == 3;
}

// The attribute list that names the only handles a child inherits.
class THandleList {
  public:
    explicit THandleList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                      handles_.size() * sizeof(HANDLE), nullptr, nullptr))
            list_ = list;
        else
            DeleteProcThreadAttributeList(list);
    }
    ~THandleList() {
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    THandleList(const THandleList&) = delete;
    THandleList& operator=(const THandleList&) = delete;
    // Null where the system cannot make the list: the handles are then the only
    // inheritable ones all the same, as no other child's outlive their start.
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Puts the suspended child into a job of its own and lets it run.
void ContainAndResume(const PROCESS_INFORMATION& info, TvxChild& child) {
    child.job = MakeKillOnCloseJob();
    // Windows before 8 cannot nest jobs: a child of a process in a job then runs without
    // one, and ending it ends the process alone.
    if (child.job && !AssignProcessToJobObject(child.job.Get(), info.hProcess))
        ReleaseJob(child.job);
    ResumeThread(info.hThread);
}
} // namespace

namespace {
// The name of an entry: up to the first = after its first character (Windows keeps the
// current folders of drives as "=C:=C:\\dir").
std::u16string EntryName(const std::u16string& entry) {
    return entry.substr(0, entry.find(u'=', 1));
}

std::u16string Folded(std::u16string name) {
    CharUpperBuffW(reinterpret_cast<wchar_t*>(name.data()), DWORD(name.size()));
    return name;
}

std::optional<std::u16string> Variable(const std::u16string& name) {
    const auto wide = reinterpret_cast<LPCWSTR>(name.c_str());
    const DWORD size = GetEnvironmentVariableW(wide, nullptr, 0);
    if (size == 0) return std::nullopt;
    std::u16string value(size, u'\0');
    const DWORD length =
        GetEnvironmentVariableW(wide, reinterpret_cast<LPWSTR>(value.data()), size);
    value.resize(length);
    return value;
}

void SetVariable(const std::u16string& name, const std::optional<std::u16string>& value) {
    SetEnvironmentVariableW(reinterpret_cast<LPCWSTR>(name.c_str()),
                            value ? reinterpret_cast<LPCWSTR>(value->c_str()) : nullptr);
}
} // namespace

std::u16string EnvironmentBlock(const std::vector<std::string>& entries) {
    std::map<std::u16string, std::u16string> block; // by the name without case
    if (LPWCH strings = GetEnvironmentStringsW()) {
        for (auto* entry = reinterpret_cast<const char16_t*>(strings); *entry;) {
            const std::u16string text(entry);
            block[Folded(EntryName(text))] = text;
            entry += text.size() + 1;
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const std::string& entry : entries) {
        const std::u16string text = ProcessToUtf16(entry);
        const std::u16string name = EntryName(text);
        if (text.size() == name.size() + 1)
            block.erase(Folded(name));
        else
            block[Folded(name)] = text;
    }
    std::u16string joined;
    for (const auto& [name, text] : block)
        joined += text + u'\0';
    joined += u'\0';
    return joined;
}

TvxScopedEnvironment::TvxScopedEnvironment(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const std::u16string text = ProcessToUtf16(entry);
        const std::u16string name = EntryName(text);
        was_.push_back({name, Variable(name)});
        const std::u16string value = text.substr(name.size() + 1);
        SetVariable(name, value.empty() ? std::nullopt : std::optional(value));
    }
}

TvxScopedEnvironment::~TvxScopedEnvironment() {
    for (auto was = was_.rbegin(); was != was_.rend(); ++was)
        SetVariable(was->name, was->value);
}

DWORD CreateChild(std::string commandLine, TvxChildStart start, TvxChild& child) {
    STARTUPINFOEXA startup{};
    startup.StartupInfo = start.startup;
    startup.StartupInfo.cb = sizeof(STARTUPINFOA);
    DWORD flags = start.flags | (start.contained ? CREATE_SUSPENDED : 0);
    TStreams streams;
    std::unique_ptr<THandleList> inherited;
    const bool inherits = !start.output.empty() || start.standardHandles;
    if (!start.output.empty() && !OpenStreams(start.output, start.errorOutput, streams))
        return GetLastError();
    if (start.output.empty() && start.standardHandles) ShareStandardHandles(streams);
    if (inherits) {
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = streams.input.Get();
        startup.StartupInfo.hStdOutput = streams.output.Get();
        startup.StartupInfo.hStdError = streams.error.Get();
        std::vector<HANDLE> handles;
        for (const TvxHandle* handle : {&streams.input, &streams.output, &streams.error})
            if (*handle && !IsConsolePseudoHandle(handle->Get())) handles.push_back(handle->Get());
        inherited = std::make_unique<THandleList>(std::move(handles));
        if (inherited->Get()) {
            startup.StartupInfo.cb = sizeof(startup);
            startup.lpAttributeList = inherited->Get();
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    std::u16string environment;
    if (!start.environment.empty()) {
        environment = EnvironmentBlock(start.environment);
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    commandLine.push_back('\0');
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, inherits, flags,
                        environment.empty() ? nullptr : environment.data(), nullptr,
                        &startup.StartupInfo, &info))
        return GetLastError();
    const TvxHandle thread(info.hThread); // the loop needs the process only
    child.process.Reset(info.hProcess);
    if (start.contained) ContainAndResume(info, child);
    return ERROR_SUCCESS;
}

void EndChild(HANDLE process, HANDLE job, UINT exitCode) {
    if (!job || !TerminateJobObject(job, exitCode)) TerminateProcess(process, exitCode);
    WaitForSingleObject(process, EndWaitMilliseconds);
}

void ReleaseJob(TvxHandle& job) {
    if (!job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    job.Reset();
}
