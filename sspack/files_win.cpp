// The tool's file layer on Windows: UTF-8 paths become UTF-16 and go to the wide calls.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

#include "sspack/files.h"

namespace {

std::wstring Wide(const std::string &text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
    return wide;
}

std::string Utf8(const wchar_t *wide, size_t length)
{
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, nullptr, 0, nullptr, nullptr);
    std::string text((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, (int)length, &text[0], n, nullptr, nullptr);
    return text;
}

// FILE_ID_INFO and its class, which the system has from Windows 8 on: looked up at run time, so
// sspack.exe still starts where it is missing.
struct FileIdInfo128 {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
const int FileIdInfoClass = 18;
typedef BOOL(WINAPI *GetInformationEx)(HANDLE, int, LPVOID, DWORD);

// The volume and the file's ID: the 128-bit one where the system has it (ReFS needs it), else
// the 64-bit index every NTFS and FAT volume gives.
bool FileIdentity(const std::string &path, std::string *identity)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, "GetFileInformationByHandleEx") : nullptr;
    GetInformationEx getInformation = nullptr;
    if (found) getInformation = reinterpret_cast<GetInformationEx>(reinterpret_cast<void *>(found));
    FileIdInfo128 id;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = false;
    if (getInformation && getInformation(h, FileIdInfoClass, &id, sizeof id)) {
        identity->assign(reinterpret_cast<const char *>(&id), sizeof id);
        known = true;
    } else if (GetFileInformationByHandle(h, &info)) {
        DWORD parts[3] = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
        identity->assign(reinterpret_cast<const char *>(parts), sizeof parts);
        known = true;
    }
    CloseHandle(h);
    return known;
}

}  // namespace

std::filesystem::path FsPath(const std::string &path)
{
    return std::filesystem::path(Wide(path));
}

std::string PathText(const std::filesystem::path &path)
{
    const std::wstring &wide = path.native();
    return Utf8(wide.data(), wide.size());
}

FILE *OpenStream(const std::string &path, const char *mode)
{
    return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

bool SeekFile(FILE *f, uint64_t offset)
{
    return fseeko64(f, (_off64_t)offset, SEEK_SET) == 0;
}

bool TruncateFile(FILE *f, uint64_t size)
{
    if (std::fflush(f) != 0) return false;
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(f));
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    return h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

bool RemoveFile(const std::string &path)
{
    return DeleteFileW(Wide(path).c_str()) != 0;
}

bool SameFile(const std::string &a, const std::string &b)
{
    std::string first, second;
    return FileIdentity(a, &first) && FileIdentity(b, &second) && first == second;
}

FILE *CreateFileBeside(const std::string &path, std::string *temporaryPath)
{
    // The name is new: an exclusive create, tried again with the next number when it is taken.
    for (unsigned attempt = 0; attempt < 1000; attempt++) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".sspack-%lu-%u", (unsigned long)GetCurrentProcessId(), attempt);
        std::string name = path + suffix;
        int fd = _wopen(Wide(name).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE *f = _fdopen(fd, "w+b");
        if (!f) {
            int saved = errno;
            _close(fd);
            DeleteFileW(Wide(name).c_str());
            errno = saved;
            return nullptr;
        }
        *temporaryPath = name;
        return f;
    }
    errno = EEXIST;
    return nullptr;
}

bool RenameOver(const std::string &from, const std::string &to)
{
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

FileHandle OpenHandleForReading(const std::string &path)
{
    // A file handle is what the handle layer's calls take on Win32.
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? FileError : (FileHandle)(INT_PTR)h;
}

std::string ProgramPath()
{
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::wstring buffer(size, L'\0');
        DWORD n = GetModuleFileNameW(nullptr, &buffer[0], size);
        if (n == 0) return "";
        if (n < size) return Utf8(buffer.data(), n);
    }
    return "";
}
