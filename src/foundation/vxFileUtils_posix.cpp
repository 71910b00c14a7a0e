// The same services from the C library, for the native build of the portable core.
#include "vxFileUtils.h"

const char PathDelimiter = '/';

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ExpandEnvironment(const std::string& text) {
    std::string result;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('%', pos);
        const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            result.append(text, pos, std::string::npos);
            break;
        }
        result.append(text, pos, open - pos);
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            result += value;
            pos = close + 1;
        } else {
            // Not a reference: the first sign stays, the second may open the next one.
            result += '%';
            result += name;
            pos = close;
        }
    }
    return result;
}

bool PathExists(const std::string& path) {
    if (path.empty()) return false;
    if (path.find_first_of("*?") == std::string::npos) {
        struct stat info;
        return stat(path.c_str(), &info) == 0;
    }
    glob_t found{};
    const bool any =
        glob(path.c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    return any;
}

std::vector<std::string> MatchingNames(const std::string& pattern) {
    std::vector<std::string> names;
    glob_t found{};
    // Names that begin with a dot are this system's hidden ones: glob leaves them out.
    if (glob(pattern.c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i)
            names.push_back(PathFileName(found.gl_pathv[i]));
    globfree(&found);
    return names;
}

namespace {
void AddFolderEntries(const std::string& folder, const std::string& prefix, bool subfolders,
                      std::vector<TvxFolderEntry>& entries) {
    std::error_code error;
    for (const auto& found : std::filesystem::directory_iterator(folder, error)) {
        TvxFolderEntry entry;
        const std::string name = found.path().filename().string();
        entry.path = folder + "/" + name;
        entry.name = prefix + name;
        entry.folder = found.is_directory(error);
        entry.hidden = name[0] == '.';
        if (!entry.folder) {
            entry.size = found.file_size(error);
            entry.writeTime = uint64_t(found.last_write_time(error).time_since_epoch().count());
        }
        if (subfolders && entry.folder && !entry.hidden && !found.is_symlink(error))
            AddFolderEntries(entry.path, entry.name + "/", true, entries);
        entries.push_back(std::move(entry));
    }
}
} // namespace

std::optional<std::vector<TvxFolderEntry>> ListFolder(const std::string& folder, bool subfolders) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
    std::vector<TvxFolderEntry> entries;
    AddFolderEntries(folder, "", subfolders, entries);
    return entries;
}

// This system has no sharing modes: a file that opens is taken as written.
bool NobodyWrites(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY);
    if (file < 0) return false;
    close(file);
    return true;
}

uint32_t MoveFileTo(const std::string& from, const std::string& to) {
    struct stat info;
    if (lstat(to.c_str(), &info) == 0) return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : uint32_t(errno);
}

bool FindOnSearchPath(const std::string& name) {
    if (name.empty()) return false;
    struct stat info;
    if (name.find('/') != std::string::npos) return stat(name.c_str(), &info) == 0;
    if (stat(name.c_str(), &info) == 0) return true;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && stat(candidate.c_str(), &info) == 0) return true;
        start = end + 1;
    }
    return false;
}

void CreateFolderPath(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0777);
}

void MakeFolder(const std::string& folder) {
    CreateFolderPath(folder + "/");
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) throw TvxInOutError{errno ? errno : EIO, folder};
    if (!S_ISDIR(info.st_mode)) throw TvxInOutError{ENOTDIR, folder};
}

std::string FileVersionText(const std::string&) {
    return {};
} // no version resources here

namespace {
[[noreturn]] void Fail(const std::string& path) {
    throw TvxInOutError{errno ? errno : EIO, path};
}
} // namespace

TvxFileReader::TvxFileReader(const std::string& path) : path_(path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) Fail(path);
    // A device or a pipe could keep a read waiting for ever: only regular files are read.
    struct stat info;
    const bool known = fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        const int error = !known ? errno : S_ISDIR(info.st_mode) ? EISDIR : ENODEV;
        close(fd);
        throw TvxInOutError{error, path};
    }
    handle_ = fd;
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TvxFileReader::~TvxFileReader() {
    if (handle_ != ClosedFile) close(int(handle_));
}

size_t TvxFileReader::Read(char* buffer, size_t size) {
    for (;;) {
        const ssize_t got = read(int(handle_), buffer, size);
        if (got >= 0) return size_t(got);
        if (errno != EINTR) Fail(path_);
    }
}

TvxFileReader TvxFileReader::StandardInput() {
    if (isatty(STDIN_FILENO)) throw TvxInOutError{ENOTTY, "-"};
    const int fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) Fail("-");
    return TvxFileReader(intptr_t(fd), "-");
}

TvxFileWriter::TvxFileWriter(const std::string& path, TMode mode) : path_(path) {
    const int fd = open(
        path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) Fail(path);
    handle_ = fd;
}

TvxFileWriter::~TvxFileWriter() {
    if (handle_ != ClosedFile) close(int(handle_));
}

void TvxFileWriter::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(int(handle_), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail(path_);
        bytes.remove_prefix(size_t(written));
    }
}

void TvxFileWriter::Close() {
    const int fd = int(std::exchange(handle_, ClosedFile));
    const bool synced = fsync(fd) == 0;
    if (close(fd) != 0 || !synced) Fail(path_);
}

std::string TemporaryPath(const std::string& path) {
    return path + "." + std::to_string(getpid()) + ".new~";
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string own = TemporaryPath(path);
    glob_t found{};
    if (glob((path + ".*.new~").c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found) == 0) {
        const time_t now = time(nullptr);
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            struct stat info;
            if (own != found.gl_pathv[i] && stat(found.gl_pathv[i], &info) == 0 &&
                now - info.st_mtime > 60)
                unlink(found.gl_pathv[i]);
        }
    }
    globfree(&found);
}

void ReplaceFileWith(const std::string& target, const std::string& source) {
    if (std::rename(source.c_str(), target.c_str()) != 0) Fail(target);
}

void RemoveFile(const std::string& path) {
    unlink(path.c_str());
}
