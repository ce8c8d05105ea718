// Drive-path mapping and the file operations, over the C library's streams.
#include "platform/files.hpp"

#include "group_resets.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string g_drive_root;
std::vector<std::unique_ptr<std::FILE, FileCloser>> g_files; // index = handle
FileFault g_fault = FileFault::none;
long g_space_left = 0; // bytes a full disk still takes

bool has_drive_letter(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

} // namespace

std::string platform_user_data_folder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); local != nullptr && *local != '\0')
        return std::string(local) + "\\Trelwick";
    return {};
#else
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0')
        return std::string(data) + "/trelwick";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.local/share/trelwick";
    return {};
#endif
}

std::string platform_default_drive_root() {
#ifdef _WIN32
    return {}; // the drives themselves: the program on the station's own PC
#else
    const std::string data = platform_user_data_folder();
    return !data.empty() ? data + "/drives" : "/tmp/trelwick/drives";
#endif
}

void platform_set_drive_root(std::string root) {
    g_drive_root = std::move(root);
}

const std::string& platform_drive_root() {
    if (g_drive_root.empty())
        g_drive_root = platform_default_drive_root();
    return g_drive_root;
}

std::string platform_map_path(std::string_view program_path) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    if (!has_drive_letter(program_path))
        return std::string(program_path);
    std::string mapped = platform_drive_root();
    if (mapped.empty())
        return std::string(program_path); // no root: the drive itself (Windows only)
    if (mapped.back() != '/' && mapped.back() != kSeparator)
        mapped += kSeparator;
    mapped += static_cast<char>(std::tolower(static_cast<unsigned char>(program_path[0])));
    std::string_view rest = program_path.substr(2);
    if (rest.empty() || (rest.front() != '\\' && rest.front() != '/'))
        mapped += kSeparator;
    for (char c : rest)
        mapped += (c == '\\' || c == '/') ? kSeparator : c;
    return mapped;
}

int MakePathname(std::string_view directory, std::string_view file_name, std::string* path) {
    std::string joined(directory);
    if (!joined.empty() && joined.back() != '\\' && joined.back() != '/')
        joined += '\\';
    joined += file_name;
    if (joined.size() >= MAX_PATHNAME_LEN)
        return -1;
    *path = std::move(joined);
    return 0;
}

int GetFileInfo(std::string_view path, long* size) {
    struct stat info {};
    const std::string mapped = platform_map_path(path);
    if (::stat(mapped.c_str(), &info) != 0) {
        if (size != nullptr)
            *size = 0;
        return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
    }
    if (size != nullptr)
        *size = static_cast<long>(info.st_size);
    return 1;
}

int OpenFile(std::string_view path, int mode, int action, int file_type) {
    // Always binary: the bytes written are the bytes on disk, on every system (no CR LF on
    // Windows, which would change the run log's framing).
    (void)file_type;
    std::string how;
    if (mode == VAL_READ_ONLY)
        how = "r";
    else if (action == VAL_APPEND)
        how = mode == VAL_WRITE_ONLY ? "a" : "a+";
    else if (action == VAL_TRUNCATE)
        how = mode == VAL_WRITE_ONLY ? "w" : "w+";
    else
        how = "r+";
    how += 'b';
    if (g_fault == FileFault::read_only && mode != VAL_READ_ONLY) {
        errno = EROFS;
        return -1;
    }
    const std::string mapped = platform_map_path(path);
    std::FILE* file = std::fopen(mapped.c_str(), how.c_str());
    if (file == nullptr && action == VAL_OPEN_AS_IS && mode != VAL_READ_ONLY)
        file = std::fopen(mapped.c_str(), "w+b");
    if (file == nullptr)
        return -1;
    for (std::size_t i = 0; i < g_files.size(); ++i) {
        if (!g_files[i]) {
            g_files[i].reset(file);
            return static_cast<int>(i);
        }
    }
    g_files.emplace_back(file);
    return static_cast<int>(g_files.size() - 1);
}

namespace {
std::FILE* stream(int handle) {
    if (handle < 0 || static_cast<std::size_t>(handle) >= g_files.size())
        return nullptr;
    return g_files[static_cast<std::size_t>(handle)].get();
}
} // namespace

int CloseFile(int handle) {
    std::FILE* file = stream(handle);
    if (file == nullptr)
        return -1;
    const int status = std::fclose(g_files[static_cast<std::size_t>(handle)].release());
    return status == 0 ? 0 : -1;
}

namespace {

// Writes as the disk takes it: all of `bytes`, or on a full disk what fits and ENOSPC.
// The bytes go out in one write call straight to the descriptor, not through the stream's
// buffer, which would split anything longer than the buffer into several: a program
// killed between them would leave half a run-log entry on disk. The stream is flushed
// first (by the caller) so nothing it still holds lands after these bytes.
bool write_through(std::FILE* file, std::string_view bytes) {
    std::size_t fits = bytes.size();
    if (g_fault == FileFault::disk_full)
        fits = std::min(fits, static_cast<std::size_t>(std::max(g_space_left, 0L)));
    const int fd = ::fileno(file);
    std::size_t written = 0;
    bool failed = false;
    while (written < fits) {
        const ssize_t n = ::write(fd, bytes.data() + written, fits - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed = true;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (g_fault == FileFault::disk_full)
        g_space_left -= static_cast<long>(written);
    if (written != bytes.size() && !failed)
        errno = ENOSPC;
    return written == bytes.size();
}

} // namespace

long WriteFile(int handle, std::string_view bytes) {
    std::FILE* file = stream(handle);
    if (file == nullptr)
        return -1;
    struct stat before {};
    const bool sized = std::fflush(file) == 0 && ::fstat(::fileno(file), &before) == 0;
    if (write_through(file, bytes))
        return static_cast<long>(bytes.size());
    // Take back the part that did reach the file: a half entry would read as a whole one
    // cut short, and the next entry would be glued onto it.
    const int saved = errno;
    struct stat after {};
    if (sized && ::fstat(::fileno(file), &after) == 0 && after.st_size > before.st_size) {
        std::clearerr(file);
        if (::ftruncate(::fileno(file), before.st_size) == 0) {
            std::fseek(file, static_cast<long>(before.st_size), SEEK_SET);
            if (g_fault == FileFault::disk_full)
                g_space_left += static_cast<long>(after.st_size - before.st_size);
        }
    }
    errno = saved;
    return -1;
}

long ReadFile(int handle, char* buffer, std::size_t count) {
    std::FILE* file = stream(handle);
    if (file == nullptr)
        return -1;
    const std::size_t got = std::fread(buffer, 1, count, file);
    if (got < count && std::ferror(file))
        return -1;
    return static_cast<long>(got);
}

void platform_files_reset() {
    g_files.clear();
    g_drive_root.clear();
    g_fault = FileFault::none;
    g_space_left = 0;
}

void platform_files_inject_fault(FileFault fault, long space_left) {
    g_fault = fault;
    g_space_left = space_left;
}
