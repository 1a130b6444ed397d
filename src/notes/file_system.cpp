#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pindle {

PosixFileSystem& PosixFileSystem::instance() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

int PosixFileSystem::open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}

ssize_t PosixFileSystem::read(int fd, void* buffer, size_t size) {
    return ::read(fd, buffer, size);
}

ssize_t PosixFileSystem::write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}

int PosixFileSystem::fstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}

int PosixFileSystem::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int PosixFileSystem::fsync(int fd) {
    return ::fsync(fd);
}

int PosixFileSystem::close(int fd) {
    return ::close(fd);
}

int PosixFileSystem::lstat(const std::string& path, struct stat* info) {
    return ::lstat(path.c_str(), info);
}

ssize_t PosixFileSystem::readlink(const std::string& path, char* buffer, size_t size) {
    return ::readlink(path.c_str(), buffer, size);
}

int PosixFileSystem::mkdir(const std::string& path, mode_t mode) {
    return ::mkdir(path.c_str(), mode);
}

int PosixFileSystem::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int PosixFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

int PosixFileSystem::link(const std::string& from, const std::string& to) {
    return ::link(from.c_str(), to.c_str());
}

int PosixFileSystem::unlink(const std::string& path) {
    return ::unlink(path.c_str());
}

int PosixFileSystem::listFolder(const std::string& path, std::vector<std::string>& names) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr) {
        return -1;
    }
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    const int error = errno;
    ::closedir(folder);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

} // namespace pindle
