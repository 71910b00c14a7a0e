#pragma once
// Helpers of the Windows suites: temporary folders, files, registered extensions,
// starting zemrun.exe and reading zprobe's log.

#include "launcher/zemrunSystem_win32.h"
#include "launcher/zemrunU.h"
#include "launcher/zemrunWindowFace_win32.h"

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the user's temporary folder, removed with everything in it.
class TTempFolder {
  public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

// The folder of the test program, where zemrun.exe and zprobe.exe are built. The probe is
// the one ZEMRUN_TEST_PROBE names, when it is set.
std::string BuildFolder();
std::string ZemrunPath();
std::string ProbePath();

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// Sets an environment variable for this process and the ones it starts, restoring the
// earlier value at the end of the scope.
class TScopedEnv {
  public:
    TScopedEnv(const std::string& name, const std::string& value);
    ~TScopedEnv();
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

  private:
    std::string name_;
    std::string old_;
    bool had_;
};

// A file type registered under HKEY_CLASSES_ROOT for the life of the object: the template
// is the command of the verb, which the shell key names as its default or not (as most
// types on Windows 10/11 are registered). Another verb than "open" is followed by a second
// verb, "print", so that it is the first both by creation and by name when it sorts first.
// onExtensionKey puts the verbs under the extension's own key, which names no file type:
// only the shell's association query reads that.
class TRegisteredExtension {
  public:
    TRegisteredExtension(const std::string& extension, const std::string& commandTemplate,
                         const std::string& verb = "open", bool namedAsDefault = true,
                         bool onExtensionKey = false);
    ~TRegisteredExtension();
    TRegisteredExtension(const TRegisteredExtension&) = delete;
    TRegisteredExtension& operator=(const TRegisteredExtension&) = delete;

  private:
    std::string extension_;
    std::string fileType_;
};

// Moves the settings files of the prefix's user (options.ini, projects.ini) and the
// program folder's options.ini aside, and puts them back at the end of the scope.
class TSettingsBackup {
  public:
    TSettingsBackup();
    ~TSettingsBackup();
    TSettingsBackup(const TSettingsBackup&) = delete;
    TSettingsBackup& operator=(const TSettingsBackup&) = delete;
    static std::string UserFile(const std::string& name);
    static std::string ProgramOptions();

  private:
    std::vector<std::string> files_;
};

struct TProbeStart {
    DWORD pid = 0;
    DWORD flags = 0;
    unsigned show = 0;
    DWORD priority = 0;
    unsigned long long start = 0;
    unsigned long long ready = 0;
    std::string image;             // the program file that ran
    std::string arg0;              // the first argument as the C runtime reads it
    std::vector<std::string> args; // the later ones as the system splits the wide command line
    std::string found;             // '1' for each of them that names an existing file
    std::string env;               // with /env:NAME, that variable's value; "-" for none
    std::string commandLine;       // in UTF-8, from the wide command line
};
std::vector<TProbeStart> ReadProbeLog(const std::string& path);
std::vector<std::string> ProbeCommands(const std::string& logPath);

// The whole lines of a job log after its header, split into their six columns.
std::vector<std::vector<std::string>> JobLogLines(const std::string& path);
// A job log's start time (local, 2026-12-07T10:00:00.000) in milliseconds: when zemrun
// started the program, which a loaded machine does not move as it moves the time at which
// the started program first reads the clock.
unsigned long long JobLogMilliseconds(const std::string& start);

struct TZemrunRun {
    DWORD exitCode = 0;
    bool finished = false;
};
// Starts zemrun.exe with the arguments, from the given current folder, and waits for it.
TZemrunRun RunZemrun(const std::string& arguments, DWORD timeoutMs = 180000,
                     const std::string& folder = "");
// The same for any command line, such as one of cmd /c. Both start it without standard
// handles, as Explorer does.
TZemrunRun RunCommandLine(std::string command, DWORD timeoutMs = 180000,
                          const std::string& folder = "");

// A started zemrun.exe that the test drives while it runs; killed if still running.
class TZemrunProcess {
  public:
    explicit TZemrunProcess(const std::string& arguments);
    // Started by its bare file name from the folder, as from a command prompt there.
    TZemrunProcess(const std::string& arguments, const std::string& folder);
    // A program of the build (zemrun.com, say) with the process creation flags given.
    TZemrunProcess(const std::string& program, const std::string& arguments, DWORD creationFlags);
    ~TZemrunProcess();
    TZemrunProcess(const TZemrunProcess&) = delete;
    TZemrunProcess& operator=(const TZemrunProcess&) = delete;
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // Waits for the end; false on timeout.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);

  private:
    PROCESS_INFORMATION info_{};
};

// The window face and the system of zemrun.exe as its entry makes them, for a run made in
// the test's own process; the system may be one that counts what the run asks of it.
template <typename TSystem = TWin32System> struct TWindowRun {
    TPhaseTimes phases;
    TWindowFace face{phases};
    TSystem system{face.Handles(), phases, false};
    uint32_t Run(TRunRequest& request) { return RunList(system, face, request); }
};
