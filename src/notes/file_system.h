#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace pindle {

// The POSIX calls the notes file goes through, as a seam: tests put a FileSystem in front that
// fails a chosen call with a chosen errno. Every call has the POSIX contract: -1 (or a short
// count) with errno set on failure.
class FileSystem {
public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    virtual int open(const std::string& path, int flags, mode_t mode) = 0;
    virtual ssize_t read(int fd, void* buffer, size_t size) = 0;
    virtual ssize_t write(int fd, const void* data, size_t size) = 0;
    virtual int fstat(int fd, struct stat* info) = 0;
    virtual int fchmod(int fd, mode_t mode) = 0;
    virtual int fsync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int lstat(const std::string& path, struct stat* info) = 0;
    virtual ssize_t readlink(const std::string& path, char* buffer, size_t size) = 0;
    virtual int mkdir(const std::string& path, mode_t mode) = 0;
    virtual int rename(const std::string& from, const std::string& to) = 0;
    // rename that fails with EEXIST instead of replacing `to`.
    virtual int renameNoReplace(const std::string& from, const std::string& to) = 0;
    virtual int link(const std::string& from, const std::string& to) = 0;
    virtual int unlink(const std::string& path) = 0;
    // Names in a folder, without "." and "..". -1 with errno on failure.
    virtual int listFolder(const std::string& path, std::vector<std::string>& names) = 0;
};

// The real thing.
class PosixFileSystem final : public FileSystem {
public:
    static PosixFileSystem& instance();

    int open(const std::string& path, int flags, mode_t mode) override;
    ssize_t read(int fd, void* buffer, size_t size) override;
    ssize_t write(int fd, const void* data, size_t size) override;
    int fstat(int fd, struct stat* info) override;
    int fchmod(int fd, mode_t mode) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int lstat(const std::string& path, struct stat* info) override;
    ssize_t readlink(const std::string& path, char* buffer, size_t size) override;
    int mkdir(const std::string& path, mode_t mode) override;
    int rename(const std::string& from, const std::string& to) override;
    int renameNoReplace(const std::string& from, const std::string& to) override;
    int link(const std::string& from, const std::string& to) override;
    int unlink(const std::string& path) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override;
};

} // namespace pindle
