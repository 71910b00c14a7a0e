// zprobe: the program that the end-to-end tests start. Every start appends one line to
// the file named by ZPROBE_LOG:
//   pid=<n> flags=<hex> show=<n> prio=<hex> start=<ms> ready=<ms> image=<path> arg0=<text>
//   args=<argument>|<argument>... found=<0 or 1 for each> cmd=<command line>
// on one line, where image is the program file that runs, arg0 the first argument as
// the C runtime splits the command line, args the arguments after it as the system
// splits the wide command line, found whether each names an existing file or folder, and
// texts are written in UTF-8, from the wide forms where there are such, with bytes below 33,
// "%" and "|" as %XX (the blank stays a blank in the command line only). Times are
// milliseconds of the system clock. Behaviour from the environment:
//   ZPROBE_PRIORITY_DELAY_MS  wait this long before reading the priority class
//   ZPROBE_WINDOW=1           show a window (with the start's show command) and pump
//                             messages, so that the process becomes input-idle
//   ZPROBE_IDLE_DELAY_MS      wait this long before the window and the message loop
//   ZPROBE_STAY_MS            stay alive this long after getting ready
//   ZPROBE_BUSY_MS            then keep one processor busy this long
// Behaviour from the command line, after the log line is written:
//   /child:<ms>     start a copy of itself that stays that long (and logs its own line)
//   /out            write "out1", "err1", "out2" to standard output, error, output, then
//                   "in=<bytes>" with what one read of standard input gave ("in=none" when
//                   it cannot be read)
//   /gap:<ms>       with /out, wait that long before "out2"
//   /stay:<ms>      stay alive that long, instead of ZPROBE_STAY_MS
//   /failtimes:<n>  end with exit code 1 while the log holds at most n starts of this
//                   very command line
//   /exit:<n>       end with exit code n
// Built as zprobec it is a console program.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
DWORD EnvNumber(const char* name, DWORD fallback) {
    char value[32];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? DWORD(std::strtoul(value, nullptr, 10)) : fallback;
}

unsigned long long NowMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ((unsigned long long)ft.dwHighDateTime << 32 | ft.dwLowDateTime) / 10000ULL;
}

std::string Escape(const char* text, bool keepBlanks = true) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 33 && !(keepBlanks && *p == ' ')) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", *p);
            out += hex;
        } else if (*p == '%') {
            out += "%25";
        } else if (*p == '|') {
            out += "%7C";
        } else {
            out += char(*p);
        }
    }
    return out;
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size > 0 ? size : 1), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

// The arguments after the first, and whether each names something that exists.
void SplitWideArguments(std::string& args, std::string& found) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i) {
        if (i > 1) args += '|';
        args += Escape(Utf8(argv[i]).c_str(), false);
        found += GetFileAttributesW(argv[i]) != INVALID_FILE_ATTRIBUTES ? '1' : '0';
    }
    LocalFree(argv);
}

void AppendToLog(const std::string& line) {
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ZPROBE_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    // Exclusive opens serialize concurrent probes; retry while another one writes.
    for (int attempt = 0; attempt < 2000; ++attempt) {
        HANDLE file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(5);
    }
}

void PumpMessagesFor(DWORD milliseconds) {
    const ULONGLONG until = GetTickCount64() + milliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= until) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(until - now), QS_ALLINPUT);
    }
}

const char* Option(const char* name) {
    const char* at = std::strstr(GetCommandLineA(), name);
    return at ? at + std::strlen(name) : nullptr;
}

// Starts a copy of this program that outlives this one by staying the time given.
void StartChild(const char* stay) {
    char image[MAX_PATH];
    GetModuleFileNameA(nullptr, image, MAX_PATH);
    std::string command =
        std::string("\"") + image + "\" /grandchild /stay:" + std::to_string(std::atoi(stay));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

void WriteTo(DWORD stream, const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), text, DWORD(std::strlen(text)), &written, nullptr);
}

void WriteStreams() {
    const char* gap = Option("/gap:");
    WriteTo(STD_OUTPUT_HANDLE, "out1\r\n");
    WriteTo(STD_ERROR_HANDLE, "err1\r\n");
    if (gap) Sleep(DWORD(std::atoi(gap)));
    WriteTo(STD_OUTPUT_HANDLE, "out2\r\n");
    char buffer[16];
    DWORD read = 0;
    const bool readable =
        ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr);
    WriteTo(STD_OUTPUT_HANDLE,
            readable ? ("in=" + std::to_string(read) + "\r\n").c_str() : "in=none\r\n");
}

// How many starts of the command line the log holds.
int StartsOfThisCommand(const std::string& commandField) {
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ZPROBE_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path) return 0;
    std::string log;
    if (FILE* file = std::fopen(path, "rb")) {
        char chunk[4096];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            log.append(chunk, got);
        std::fclose(file);
    }
    int count = 0;
    for (size_t at = log.find(commandField); at != std::string::npos;
         at = log.find(commandField, at + 1))
        ++count;
    return count;
}

HWND ShowProbeWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "ZProbeWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND window = CreateWindowA("ZProbeWindow", "zprobe", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    return window;
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    const unsigned long long started = NowMs();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);

    Sleep(EnvNumber("ZPROBE_IDLE_DELAY_MS", 0));
    const bool window = EnvNumber("ZPROBE_WINDOW", 0) != 0;
    HWND probeWindow = window ? ShowProbeWindow(instance, showCommand) : nullptr;
    // Taken before the first message check, which is what makes the process input-idle.
    const unsigned long long ready = NowMs();
    if (window) PumpMessagesFor(0);

    const DWORD priorityDelay = EnvNumber("ZPROBE_PRIORITY_DELAY_MS", 0);
    if (priorityDelay) {
        if (window)
            PumpMessagesFor(priorityDelay);
        else
            Sleep(priorityDelay);
    }
    char line[512];
    std::snprintf(line, sizeof line,
                  "pid=%lu flags=%lx show=%u prio=%lx start=%llu ready=%llu image=",
                  GetCurrentProcessId(), startup.dwFlags, unsigned(startup.wShowWindow),
                  GetPriorityClass(GetCurrentProcess()), started, ready);
    wchar_t image[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, image, MAX_PATH * 2);
    const char* arg0 = __argc > 0 ? __argv[0] : "";
    std::string args, found;
    SplitWideArguments(args, found);
    const std::string commandField = " cmd=" + Escape(Utf8(GetCommandLineW()).c_str()) + "\r\n";
    // /env:NAME: the value of that variable in the probe's environment, "-" where it has none.
    std::string env;
    if (const char* name = Option("/env:")) {
        const std::string variable(name, std::strcspn(name, " "));
        const char* value = std::getenv(variable.c_str());
        env = " env=" + (value ? Escape(value) : std::string("-"));
    }
    AppendToLog(line + Escape(Utf8(image).c_str(), false) + " arg0=" + Escape(arg0, false) +
                " args=" + args + " found=" + found + env + commandField);
    if (const char* stay = Option("/child:")) StartChild(stay);
    if (Option("/out")) WriteStreams();

    const char* stayOption = Option("/stay:");
    const DWORD stay = stayOption ? DWORD(std::atoi(stayOption)) : EnvNumber("ZPROBE_STAY_MS", 0);
    if (window)
        PumpMessagesFor(stay);
    else
        Sleep(stay);
    if (probeWindow) DestroyWindow(probeWindow);
    const unsigned long long busyUntil = NowMs() + EnvNumber("ZPROBE_BUSY_MS", 0);
    while (NowMs() < busyUntil) {
        // asking the clock keeps the processor busy
    }
    if (const char* times = Option("/failtimes:"))
        if (StartsOfThisCommand(commandField) <= std::atoi(times)) return 1;
    const char* exitCode = Option("/exit:");
    return exitCode ? std::atoi(exitCode) : 0;
}

#ifdef ZPROBE_CONSOLE
int main() {
    return WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
}
#endif
