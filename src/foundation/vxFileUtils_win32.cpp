// File, environment and version services of Windows.
#include "vxFileUtils.h"

#include "vxHandles.h"
#include "vxTextCodec.h"

const char PathDelimiter = '\\';

#include <windows.h>

#include <memory>
#include <vector>

std::string ExpandEnvironment(const std::string& text) {
    if (text.empty()) return {};
    // The service is limited to 32K characters and cuts longer texts; those stay as
    // they are, so that nothing downstream works on a silently shortened text. The wide
    // function counts characters as the limit does.
    if (!FitsUtf16Units(text, 32767)) return text;
    const std::u16string wide = ProcessToUtf16(text);
    const auto source = reinterpret_cast<LPCWSTR>(wide.c_str());
    std::u16string buffer(wide.size() + 1, u'\0');
    DWORD needed = ExpandEnvironmentStringsW(source, reinterpret_cast<LPWSTR>(buffer.data()),
                                             DWORD(buffer.size()));
    if (needed > buffer.size()) {
        buffer.assign(needed, u'\0');
        needed = ExpandEnvironmentStringsW(source, reinterpret_cast<LPWSTR>(buffer.data()),
                                           DWORD(buffer.size()));
    }
    if (needed == 0 || needed > buffer.size()) return text;
    buffer.resize(needed - 1);
    return ProcessFromUtf16(buffer);
}

bool PathExists(const std::string& path) {
    WIN32_FIND_DATAA data;
    const TvxFindHandle search(FindFirstFileA(path.c_str(), &data));
    if (!search) return false;
    return true;
}

bool FindOnSearchPath(const std::string& name) {
    if (name.empty()) return false;
    // A found path longer than the buffer gives the length it needs: found all the same.
    char found[MAX_PATH];
    char* filePart = nullptr;
    return SearchPathA(nullptr, name.c_str(), nullptr, MAX_PATH, found, &filePart) != 0;
}

std::vector<std::string> MatchingNames(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    const TvxFindHandle search(FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &entry,
                                                FindExSearchNameMatch, nullptr, 0));
    if (!search) return names;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == ".." ||
            (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            continue;
        names.push_back(name);
    } while (FindNextFileA(search.Get(), &entry));
    return names;
}

namespace {
void AddFolderEntries(const std::string& folder, const std::string& prefix, bool subfolders,
                      std::vector<TvxFolderEntry>& entries) {
    WIN32_FIND_DATAA found;
    const TvxFindHandle search(FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &found,
                                                FindExSearchNameMatch, nullptr, 0));
    if (!search) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        TvxFolderEntry entry;
        entry.path = folder + "\\" + name;
        entry.name = prefix + name;
        entry.size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.writeTime = (uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) |
                          found.ftLastWriteTime.dwLowDateTime;
        entry.folder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        entry.hidden = found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        // A link to a folder may lead back up: only real folders are gone into.
        if (subfolders && entry.folder && !entry.hidden &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            AddFolderEntries(entry.path, entry.name + "\\", true, entries);
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search.Get(), &found));
}
} // namespace

std::optional<std::vector<TvxFolderEntry>> ListFolder(const std::string& folder, bool subfolders) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    std::vector<TvxFolderEntry> entries;
    AddFolderEntries(folder, "", subfolders, entries);
    return entries;
}

bool NobodyWrites(const std::string& path) {
    const TvxHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return bool(file);
}

uint32_t MoveFileTo(const std::string& from, const std::string& to) {
    // Across drives too; never over a file of that name.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) ? 0 : GetLastError();
}

void CreateFolderPath(const std::string& path) {
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == '/')
            CreateDirectoryA(path.substr(0, i).c_str(),
                             nullptr); // existing folders and drives fail harmlessly
}

void MakeFolder(const std::string& folder) {
    CreateFolderPath(folder + "\\");
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw TvxInOutError{
            int(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY), folder};
}

std::string FileVersionText(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<char> block(size, '\0');
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return {};
    for (const char* query : {"\\\\StringFileInfo\\\\040904E4\\\\FileVersion",
                              "\\\\StringFileInfo\\\\041904E3\\\\FileVersion"}) {
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(block.data(), query, &value, &length) && value) {
            std::string text(static_cast<const char*>(value), length);
            // Some resources count the terminating zero in the length.
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            return text;
        }
    }
    return {};
}

namespace {
HANDLE AsHandle(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}
[[noreturn]] void Fail(const std::string& path) {
    throw TvxInOutError{int(GetLastError() ? GetLastError() : ERROR_GEN_FAILURE), path};
}
} // namespace

TvxFileReader::TvxFileReader(const std::string& path) : path_(path) {
    // Full sharing: another instance may be reading, writing or replacing the file.
    TvxHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) Fail(path);
    // A device (AUX, COM1, a pipe) could keep a read waiting for ever: only files on a disk
    // are read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) throw TvxInOutError{ERROR_NOT_SUPPORTED, path};
    handle_ = reinterpret_cast<intptr_t>(file.Release());
}

bool IsRegularFile(const std::string& path) {
    const TvxHandle file(CreateFileA(path.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    return file && GetFileType(file.Get()) == FILE_TYPE_DISK;
}

TvxFileReader::~TvxFileReader() {
    if (handle_ != ClosedFile) CloseHandle(AsHandle(handle_));
}

size_t TvxFileReader::Read(char* buffer, size_t size) {
    DWORD got = 0;
    // A pipe ends when its writer closes it.
    if (!ReadFile(AsHandle(handle_), buffer, DWORD(size), &got, nullptr) &&
        GetLastError() != ERROR_BROKEN_PIPE)
        Fail(path_);
    return got;
}

TvxFileReader TvxFileReader::StandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!input || input == INVALID_HANDLE_VALUE || GetConsoleMode(input, &mode))
        throw TvxInOutError{ERROR_INVALID_HANDLE, "-"};
    // A copy of its own, so that closing the reader leaves the process's handle as it is.
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), input, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        Fail("-");
    return TvxFileReader(reinterpret_cast<intptr_t>(copy), "-");
}

TvxFileWriter::TvxFileWriter(const std::string& path, TMode mode) : path_(path) {
    // Appending asks for append access only, which the system makes atomic per write,
    // and shares the file with readers and other writers.
    HANDLE file = mode == Append
                      ? CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                      : CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail(path);
    handle_ = reinterpret_cast<intptr_t>(file);
}

TvxFileWriter::~TvxFileWriter() {
    if (handle_ != ClosedFile) CloseHandle(AsHandle(handle_));
}

void TvxFileWriter::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(bytes.size() > 0x10000000 ? 0x10000000 : bytes.size());
        if (!WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0)
            Fail(path_);
        bytes.remove_prefix(written);
    }
}

void TvxFileWriter::Close() {
    HANDLE file = AsHandle(std::exchange(handle_, ClosedFile));
    const bool flushed = FlushFileBuffers(file) != 0;
    const DWORD error = GetLastError();
    if (!CloseHandle(file) || !flushed)
        throw TvxInOutError{int(error ? error : ERROR_GEN_FAILURE), path_};
}

std::string TemporaryPath(const std::string& path) {
    return path + "." + std::to_string(GetCurrentProcessId()) + ".new~";
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string folder = PathFolder(path);
    const std::string own = PathFileName(TemporaryPath(path));
    WIN32_FIND_DATAA data;
    const TvxFindHandle search(FindFirstFileA((path + ".*.new~").c_str(), &data));
    if (!search) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    };
    constexpr uint64_t Minute = 60ull * 10000000ull; // in 100 ns
    do {
        if (own != data.cFileName && ticks(now) - ticks(data.ftLastWriteTime) > Minute)
            DeleteFileA((folder + data.cFileName).c_str());
    } while (FindNextFileA(search.Get(), &data));
}

void ReplaceFileWith(const std::string& target, const std::string& source) {
    // A reader of another instance may hold the target for a moment.
    constexpr int Attempts = 100;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (MoveFileExA(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
            error != ERROR_LOCK_VIOLATION)
            break;
        Sleep(20);
    }
    throw TvxInOutError{int(error ? error : ERROR_GEN_FAILURE), target};
}

void RemoveFile(const std::string& path) {
    DeleteFileA(path.c_str());
}
