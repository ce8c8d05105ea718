// Files: the program's fixed drive paths mapped onto a drive root, and the few file
// operations the program needs.
//
// "C:\CVI\Trelwick\Log" names a folder on drive C. Under a drive root it is
// "<root>/c/CVI/Trelwick/Log" (drive letter lowered, the rest kept, separators made the
// system's own). On Windows the drive root is empty unless one has been set, and the path
// is then the drive itself; a test or the simulated stage sets a root of its own, so
// neither ever writes into an operator's log or exchange folders. Elsewhere the default
// root is a folder under the user's data folder. Paths without a drive letter are used as
// given.
//
// Line ends: every file is read and written in binary mode on every system, whatever
// file type the caller names, so the bytes on disk are exactly the bytes written (a line
// end is the one line feed the program writes, never turned into CR LF).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

constexpr std::size_t MAX_PATHNAME_LEN = 260; // a joined path is shorter than this

void platform_set_drive_root(std::string root);
// The root set, else the default: empty on Windows (the drives themselves).
const std::string& platform_drive_root();
std::string platform_default_drive_root();
std::string platform_map_path(std::string_view program_path);

// This user's data folder for the program: %LOCALAPPDATA%\Trelwick on Windows,
// $XDG_DATA_HOME/trelwick or ~/.local/share/trelwick elsewhere; empty when the
// environment names no such folder.
std::string platform_user_data_folder();

// Joins directory and file name with a backslash into `path`. 0, or negative when the
// result would not fit MAX_PATHNAME_LEN.
int MakePathname(std::string_view directory, std::string_view file_name, std::string* path);
// 1 when the file exists, 0 when it does not, negative when the check itself fails.
int GetFileInfo(std::string_view path, long* size);

// VAL_ASCII and VAL_BINARY both open the file in binary mode (see "Line ends" above).
enum : int {
    VAL_READ_WRITE = 0,
    VAL_READ_ONLY = 1,
    VAL_WRITE_ONLY = 2,
    VAL_TRUNCATE = 0,
    VAL_APPEND = 1,
    VAL_OPEN_AS_IS = 2,
    VAL_BINARY = 0,
    VAL_ASCII = 1,
};

// File handles are 0 or above; -1 on failure. `file_type` is the caller's intent only.
int OpenFile(std::string_view path, int mode, int action, int file_type);
int CloseFile(int handle);
// Bytes written, or -1. A write is whole or not at all: when the disk refuses part of it,
// what did reach the file is cut off again, so a file never ends in half an entry.
long WriteFile(int handle, std::string_view bytes);
// Bytes read (0 at end of file), or -1.
long ReadFile(int handle, char* buffer, std::size_t count);
// Closes every file still open and clears an injected fault (for tests).
void platform_files_reset();

// Tests: the file operations fail as the disk would, whoever runs them (root included).
// A full disk still opens and creates files but takes only `space_left` more bytes; a
// write beyond them stores what fits and fails with ENOSPC. A read-only file system
// refuses every open for writing with EROFS. Reading is never affected.
enum class FileFault { none, disk_full, read_only };
void platform_files_inject_fault(FileFault fault, long space_left = 0);
