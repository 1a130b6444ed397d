// Saving on a real full disk and a real read-only file system. Runs inside a private mount
// namespace set up by run_real_faults.sh, which passes the mount point in PINDLE_FAULT_MOUNT.
#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>

namespace pindle {
namespace {

std::filesystem::path faultMount() {
    const char* mount = std::getenv("PINDLE_FAULT_MOUNT");
    return mount != nullptr ? std::filesystem::path(mount) : std::filesystem::path();
}

std::size_t entriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(RealFileSystemFaults, AFullDiskKeepsTheOldDocumentAndTheNextSaveWritesEverything) {
    const auto mount = faultMount();
    if (mount.empty()) {
        GTEST_SKIP() << "needs a private tmpfs (run_real_faults.sh)";
    }
    const auto file = mount / "full" / "notes.json";
    ManualTime time;
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
    store.updateActiveText("kept");
    store.flush();
    const std::string before = testing::readFile(file);

    // Fill the disk to the last byte.
    const auto filler = mount / "filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);

    store.updateActiveText(std::string(64 * 1024, 'x'));
    store.flush();
    EXPECT_FALSE(store.lastWriteStatus().ok());
    EXPECT_EQ(store.lastWriteStatus().error, ENOSPC);
    EXPECT_EQ(testing::readFile(file), before);
    EXPECT_EQ(entriesIn(file.parent_path()), 1u) << "no temporary file left behind";
    EXPECT_EQ(store.activeNote()->text.size(), 64u * 1024u);

    std::filesystem::remove(filler);
    store.flush();
    EXPECT_TRUE(store.lastWriteStatus().ok());
    EXPECT_EQ(testing::readFile(file), encodeDocument(store.notes(), store.activeId()));
}

TEST(RealFileSystemFaults, AReadOnlyRemountKeepsTheOldDocument) {
    const auto mount = faultMount();
    if (mount.empty()) {
        GTEST_SKIP() << "needs a private tmpfs (run_real_faults.sh)";
    }
    const auto file = mount / "readonly" / "notes.json";
    ManualTime time;
    Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
    store.updateActiveText("kept");
    store.flush();
    const std::string before = testing::readFile(file);

    ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    store.updateActiveText("typed while read-only");
    store.flush();
    EXPECT_EQ(store.lastWriteStatus().error, EROFS);
    EXPECT_EQ(testing::readFile(file), before);

    ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT, nullptr), 0) << std::strerror(errno);
    store.flush();
    EXPECT_TRUE(store.lastWriteStatus().ok());
    EXPECT_NE(testing::readFile(file).find("typed while read-only"), std::string::npos);
}

} // namespace
} // namespace pindle
