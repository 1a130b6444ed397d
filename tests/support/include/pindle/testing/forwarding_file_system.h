#pragma once

#include "notes/file_system.h"

namespace pindle::testing {

// Passes every call on to the real file system. Before each call it asks `intercept(call)`;
// when that returns true the call fails with the errno the override set, without reaching the
// disk. Test doubles override intercept() (or single calls) and nothing else.
class ForwardingFileSystem : public FileSystem {
public:
    int open(const std::string& p, int f, mode_t m) override { return intercept("open") ? -1 : m_real.open(p, f, m); }
    ssize_t read(int fd, void* b, size_t n) override { return intercept("read") ? -1 : m_real.read(fd, b, n); }
    ssize_t write(int fd, const void* d, size_t n) override { return intercept("write") ? -1 : m_real.write(fd, d, n); }
    int fstat(int fd, struct stat* i) override { return intercept("fstat") ? -1 : m_real.fstat(fd, i); }
    int fchmod(int fd, mode_t m) override { return intercept("fchmod") ? -1 : m_real.fchmod(fd, m); }
    int fsync(int fd) override { return intercept("fsync") ? -1 : m_real.fsync(fd); }
    int close(int fd) override {
        if (intercept("close")) {
            m_real.close(fd); // a failed close still releases the descriptor on Linux
            return -1;
        }
        return m_real.close(fd);
    }
    int lstat(const std::string& p, struct stat* i) override { return intercept("lstat") ? -1 : m_real.lstat(p, i); }
    ssize_t readlink(const std::string& p, char* b, size_t n) override {
        return intercept("readlink") ? -1 : m_real.readlink(p, b, n);
    }
    int mkdir(const std::string& p, mode_t m) override { return intercept("mkdir") ? -1 : m_real.mkdir(p, m); }
    int rename(const std::string& a, const std::string& b) override {
        return intercept("rename") ? -1 : m_real.rename(a, b);
    }
    int renameNoReplace(const std::string& a, const std::string& b) override {
        return intercept("renameNoReplace") ? -1 : m_real.renameNoReplace(a, b);
    }
    int link(const std::string& a, const std::string& b) override { return intercept("link") ? -1 : m_real.link(a, b); }
    int unlink(const std::string& p) override { return intercept("unlink") ? -1 : m_real.unlink(p); }
    int listFolder(const std::string& p, std::vector<std::string>& n) override {
        return intercept("listFolder") ? -1 : m_real.listFolder(p, n);
    }

protected:
    virtual bool intercept(const char* /*call*/) { return false; }
    PosixFileSystem& real() { return m_real; }

private:
    PosixFileSystem& m_real = PosixFileSystem::instance();
};

} // namespace pindle::testing
