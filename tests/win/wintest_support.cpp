#include "wintest_support.h"

#include "foundation/vxShellUtils.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &data));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Field(const std::string& line, const std::string& name) {
    const size_t at = line.find(name + "=");
    if (at == std::string::npos) return {};
    const size_t start = at + name.size() + 1;
    return line.substr(start, line.find(' ', start) - start);
}
} // namespace

std::string TSettingsBackup::UserFile(const std::string& name) {
    return SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + "\\Orvane\\Zemrun\\" + name;
}

std::string TSettingsBackup::ProgramOptions() {
    return BuildFolder() + "\\options.ini";
}

TSettingsBackup::TSettingsBackup()
    : files_{UserFile("options.ini"), UserFile("projects.ini"), ProgramOptions()} {
    for (const std::string& file : files_) {
        RemoveTree(file + ".testsaved"); // left by an interrupted run
        MoveFileA(file.c_str(), (file + ".testsaved").c_str());
    }
}

TSettingsBackup::~TSettingsBackup() {
    for (const std::string& file : files_) {
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
        RemoveTree(file); // a test may have put a folder there
        MoveFileA((file + ".testsaved").c_str(), file.c_str());
    }
}

TTempFolder::TTempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    char name[64];
    std::snprintf(name, sizeof name, "zemrun_test_%lu_%ld", GetCurrentProcessId(),
                  InterlockedIncrement(&counter));
    path_ = std::string(base) + name;
    CreateDirectoryA(path_.c_str(), nullptr);
}

TTempFolder::~TTempFolder() {
    RemoveTree(path_);
}

std::string BuildFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    return full.substr(0, full.find_last_of('\\'));
}

std::string ZemrunPath() {
    return BuildFolder() + "\\zemrun.exe";
}
std::string ProbePath() {
    // The 32-bit lane runs its end-to-end suite once more with the 64-bit probe: most
    // programs a 32-bit zemrun.exe starts on a 64-bit Windows are 64-bit programs.
    char other[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ZEMRUN_TEST_PROBE", other, sizeof other);
    if (n > 0 && n < sizeof other) return std::string(other, n);
    return BuildFolder() + "\\zprobe.exe";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TScopedEnv::TScopedEnv(const std::string& name, const std::string& value) : name_(name) {
    char buffer[32768];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
    had_ = n > 0 && n < sizeof buffer;
    if (had_) old_.assign(buffer, n);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

TScopedEnv::~TScopedEnv() {
    SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr);
}

namespace {
void SetDefaultValue(const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD(value.size() + 1));
        RegCloseKey(key);
    }
}
} // namespace

TRegisteredExtension::TRegisteredExtension(const std::string& extension,
                                           const std::string& commandTemplate,
                                           const std::string& verb, bool namedAsDefault,
                                           bool onExtensionKey)
    : extension_(extension),
      fileType_(onExtensionKey ? extension : "ZemrunTest" + extension.substr(1) + "File") {
    if (!onExtensionKey) SetDefaultValue(extension_, fileType_);
    if (namedAsDefault) SetDefaultValue(fileType_ + "\\shell", verb);
    SetDefaultValue(fileType_ + "\\shell\\" + verb + "\\command", commandTemplate);
    if (verb != "open") SetDefaultValue(fileType_ + "\\shell\\print\\command", "print-command %1");
}

TRegisteredExtension::~TRegisteredExtension() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, fileType_.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, extension_.c_str());
}

std::vector<TProbeStart> ReadProbeLog(const std::string& path) {
    std::vector<TProbeStart> starts;
    std::istringstream lines(ReadBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t cmd = line.find(" cmd=");
        if (cmd == std::string::npos) continue;
        TProbeStart s;
        s.pid = DWORD(std::strtoul(Field(line, "pid").c_str(), nullptr, 10));
        s.flags = DWORD(std::strtoul(Field(line, "flags").c_str(), nullptr, 16));
        s.show = unsigned(std::strtoul(Field(line, "show").c_str(), nullptr, 10));
        s.priority = DWORD(std::strtoul(Field(line, "prio").c_str(), nullptr, 16));
        s.start = std::strtoull(Field(line, "start").c_str(), nullptr, 10);
        s.ready = std::strtoull(Field(line, "ready").c_str(), nullptr, 10);
        s.image = Unescape(Field(line, "image"));
        s.arg0 = Unescape(Field(line, "arg0"));
        std::istringstream args(Field(line, "args"));
        for (std::string arg; std::getline(args, arg, '|');)
            s.args.push_back(Unescape(arg));
        s.found = Field(line, "found");
        s.env = Unescape(Field(line, "env"));
        s.commandLine = Unescape(line.substr(cmd + 5));
        starts.push_back(s);
    }
    return starts;
}

std::vector<std::string> ProbeCommands(const std::string& logPath) {
    std::vector<std::string> commands;
    for (const TProbeStart& s : ReadProbeLog(logPath))
        commands.push_back(s.commandLine);
    return commands;
}

// The whole lines of a job log after its header, split into their six columns.
std::vector<std::vector<std::string>> JobLogLines(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    const std::string bytes = ReadBytes(path);
    size_t pos = bytes.find("\r\n");
    if (pos == std::string::npos) return lines;
    for (pos += 2; pos < bytes.size();) {
        const size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) break;
        const std::string line = bytes.substr(pos, end - pos);
        std::vector<std::string> columns;
        size_t from = 0;
        for (size_t tab; columns.size() < 5 && (tab = line.find('\t', from)) != std::string::npos;
             from = tab + 1)
            columns.push_back(line.substr(from, tab - from));
        columns.push_back(line.substr(from));
        lines.push_back(columns);
        pos = end + 2;
    }
    return lines;
}

unsigned long long JobLogMilliseconds(const std::string& start) {
    SYSTEMTIME time{};
    unsigned year, month, day, hour, minute, second, milliseconds;
    if (std::sscanf(start.c_str(), "%u-%u-%uT%u:%u:%u.%u", &year, &month, &day, &hour, &minute,
                    &second, &milliseconds) != 7)
        return 0;
    time = {WORD(year),   WORD(month),       0, WORD(day), WORD(hour), WORD(minute),
            WORD(second), WORD(milliseconds)};
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (ULONGLONG(file.dwHighDateTime) << 32 | file.dwLowDateTime) / 10000;
}

namespace {
// The quoted program path, then the arguments.
std::string CommandLine(const std::string& program, const std::string& arguments) {
    std::string command = "\"" + program + "\"";
    if (!arguments.empty()) command += " " + arguments;
    return command;
}
} // namespace

TZemrunRun RunZemrun(const std::string& arguments, DWORD timeoutMs, const std::string& folder) {
    return RunCommandLine(CommandLine(ZemrunPath(), arguments), timeoutMs, folder);
}

TZemrunRun RunCommandLine(std::string command, DWORD timeoutMs, const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // As Explorer and the Task Scheduler start programs: without standard handles.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION info{};
    TZemrunRun run;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return run;
    CloseHandle(info.hThread);
    run.finished = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished) TerminateProcess(info.hProcess, 99);
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hProcess);
    return run;
}

TZemrunProcess::TZemrunProcess(const std::string& arguments)
    : TZemrunProcess(ZemrunPath(), arguments, 0) {}

TZemrunProcess::TZemrunProcess(const std::string& program, const std::string& arguments,
                               DWORD creationFlags) {
    std::string command = CommandLine(program, arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, creationFlags, nullptr,
                       nullptr, &startup, &info_))
        CloseHandle(info_.hThread);
}

TZemrunProcess::TZemrunProcess(const std::string& arguments, const std::string& folder) {
    std::string command = "zemrun.exe";
    if (!arguments.empty()) command += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (CreateProcessA(ZemrunPath().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &info_))
        CloseHandle(info_.hThread);
}

TZemrunProcess::~TZemrunProcess() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
}

bool TZemrunProcess::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode) GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}
