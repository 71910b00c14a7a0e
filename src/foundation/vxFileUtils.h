#pragma once
// Paths, environment references, the file search, folders, version texts and the
// plain file reader and writer under every text file the program reads or writes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A text file that exists but cannot be opened, read, created or written. It unwinds
// to the program entry, which finalizes every module and exits with `code`.
struct TvxInOutError {
    int code;
    std::string path; // the file or folder; "-" for standard input
};

// The separator that joins folder and file names on this system.
extern const char PathDelimiter;

std::string PathFileName(std::string_view path);
std::string PathFolder(std::string_view path);
std::string PathExtension(std::string_view path);

std::string ExpandEnvironment(const std::string& text);
bool PathExists(const std::string& path);
bool FindOnSearchPath(const std::string& name);
// The names that the last component of pattern matches with * and ? in its folder, each
// after the folder as written, in Explorer's order; "." and "..", hidden and system
// entries are left out, as "dir" leaves them. A pattern without wildcards in its last
// component, or one that matches nothing, is its own only result.
std::vector<std::string> ExpandWildcards(const std::string& pattern);
// The matching names of a pattern's folder, without the folder, in any order.
std::vector<std::string> MatchingNames(const std::string& pattern);

// An entry of a folder, as a look at it finds it.
struct TvxFolderEntry {
    std::string path; // the folder, then the name
    std::string name; // below the folder, with the folders between where it is deeper
    uint64_t size = 0;
    uint64_t writeTime = 0; // in the file system's units
    bool folder = false;
    bool hidden = false; // hidden or system
};
// The entries of a folder, and with subfolders those of every folder below it that is not
// hidden, in any order; none where the folder is not there or is not a folder.
std::optional<std::vector<TvxFolderEntry>> ListFolder(const std::string& folder, bool subfolders);
// Whether the file opens for reading while others are denied writing: nobody writes it.
bool NobodyWrites(const std::string& path);
// Moves a file to a name that is not taken; the system's error number, 0 when it moved.
uint32_t MoveFileTo(const std::string& from, const std::string& to);

// Creates the folders that lead to the file path.
void CreateFolderPath(const std::string& path);
// Creates the folder with the folders that lead to it; throws TvxInOutError when it is
// not a folder then (a file or a device of that name, a folder that cannot be made).
void MakeFolder(const std::string& folder);
std::string FileVersionText(const std::string& path);

// A file name for the text: the characters that no file name may hold (\ / : * ? " < > |
// and controls) become "_", and so do blanks and dots at the end; a reserved device name
// (CON, NUL, COM1, ...), also before an extension, gets a "_" after it.
std::string SafeFileName(std::string_view text);

// Whether path names a file on a disk: not a folder, not a device such as AUX or COM1.
bool IsRegularFile(const std::string& path);

// The handle of a file that is not open, on every system (INVALID_HANDLE_VALUE, or no
// file descriptor).
constexpr intptr_t ClosedFile = -1;

// Sequential reader of a whole file; failures throw TvxInOutError, and so does a path
// that names a device or a folder.
class TvxFileReader {
  public:
    explicit TvxFileReader(const std::string& path);
    ~TvxFileReader();
    TvxFileReader(const TvxFileReader&) = delete;
    TvxFileReader& operator=(const TvxFileReader&) = delete;
    // The moved-from object is closed; an assigned-to one closes its file with the other.
    TvxFileReader(TvxFileReader&& other) noexcept
        : handle_(std::exchange(other.handle_, ClosedFile)), path_(std::move(other.path_)) {}
    TvxFileReader& operator=(TvxFileReader&& other) noexcept {
        std::swap(handle_, other.handle_);
        std::swap(path_, other.path_);
        return *this;
    }

    // Fills up to `size` bytes; 0 at the end of the file.
    size_t Read(char* buffer, size_t size);

    // The reader of the process's standard input, a pipe, a file or a device, to its end.
    // Throws TvxInOutError where there is nothing to read: no standard input, or a console,
    // where a read would wait for typing that nobody asked for.
    static TvxFileReader StandardInput();

  private:
    TvxFileReader(intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    intptr_t handle_ = ClosedFile;
    std::string path_; // for the failures
};

// The whole of the process's standard input; throws TvxInOutError where there is none
// (TvxFileReader::StandardInput).
std::string ReadStandardInput();

// Creates or truncates a file and writes it, or appends to a file, which is created when
// missing; failures throw TvxInOutError. Appends may come from several processes at once:
// every Write lands whole at the file's end.
class TvxFileWriter {
  public:
    enum TMode { Create, Append };
    explicit TvxFileWriter(const std::string& path, TMode mode = Create);
    ~TvxFileWriter();
    TvxFileWriter(const TvxFileWriter&) = delete;
    TvxFileWriter& operator=(const TvxFileWriter&) = delete;
    // The moved-from object is closed; an assigned-to one closes its file with the other.
    TvxFileWriter(TvxFileWriter&& other) noexcept
        : handle_(std::exchange(other.handle_, ClosedFile)), path_(std::move(other.path_)) {}
    TvxFileWriter& operator=(TvxFileWriter&& other) noexcept {
        std::swap(handle_, other.handle_);
        std::swap(path_, other.path_);
        return *this;
    }

    void Write(std::string_view bytes);
    // Flushes and closes; a failure here throws as well.
    void Close();

  private:
    intptr_t handle_ = ClosedFile;
    std::string path_; // for the failures
};

// The temporary file that this process writes before it replaces path: unique per
// process, so that two instances saving the same file never share one.
std::string TemporaryPath(const std::string& path);
// Removes the temporary files of path that saves killed on the way left behind: those of
// other processes that nobody has written to for a minute.
void RemoveStaleTemporaries(const std::string& path);
// Replaces `target` by `source` (both in one folder). While another process holds the
// target open the replace is tried again for a short while; a final refusal throws
// TvxInOutError with the system's error number.
void ReplaceFileWith(const std::string& target, const std::string& source);
void RemoveFile(const std::string& path);
