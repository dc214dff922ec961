// The tool's file layer on the host: POSIX calls on the path bytes as given.
#include "sspack/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

std::filesystem::path FsPath(const std::string &path)
{
    return std::filesystem::path(path);
}

std::string PathText(const std::filesystem::path &path)
{
    return path.string();
}

FILE *OpenStream(const std::string &path, const char *mode)
{
    return std::fopen(path.c_str(), mode);
}

bool SeekFile(FILE *f, uint64_t offset)
{
    return fseeko(f, (off_t)offset, SEEK_SET) == 0;
}

bool TruncateFile(FILE *f, uint64_t size)
{
    return std::fflush(f) == 0 && ftruncate(fileno(f), (off_t)size) == 0;
}

bool RemoveFile(const std::string &path)
{
    return std::remove(path.c_str()) == 0;
}

bool SameFile(const std::string &a, const std::string &b)
{
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

FILE *CreateFileBeside(const std::string &path, std::string *temporaryPath)
{
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".sspack-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    int fd = mkstemp(name.data());
    if (fd < 0) return nullptr;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);  // as a plainly created file would be
    FILE *f = fdopen(fd, "w+b");
    if (!f) {
        int saved = errno;
        close(fd);
        unlink(name.data());
        errno = saved;
        return nullptr;
    }
    *temporaryPath = name.data();
    return f;
}

bool RenameOver(const std::string &from, const std::string &to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

FileHandle OpenHandleForReading(const std::string &path)
{
    return FileOpenRead(path.c_str());
}

std::string ProgramPath()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || (size_t)n >= sizeof buffer) return "";
    return std::string(buffer, (size_t)n);
}
