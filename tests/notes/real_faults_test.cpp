// Saving on a real full disk and a real read-only file system. Runs inside a private mount
// namespace set up by run_real_faults.sh, which passes the mount point in PINDLE_FAULT_MOUNT.
#include "notes/file_system.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/test_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace pindle {
namespace {

// Fills the disk to the last byte, or makes it read-only; and undoes that.
void fillDisk(const std::filesystem::path& mount, bool fill) {
    if (!fill) {
        std::filesystem::remove(mount / "filler");
        return;
    }
    const int fd = ::open((mount / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

void makeReadOnly(const std::filesystem::path& mount, bool readOnly) {
    ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | (readOnly ? MS_RDONLY : 0), nullptr), 0);
}

const struct {
    const char* folder;
    void (*fault)(const std::filesystem::path&, bool);
    int error;
} kFaults[] = {{"full", fillDisk, ENOSPC}, {"readonly", makeReadOnly, EROFS}};

TEST(RealFileSystemFaults, AFullOrReadOnlyDiskKeepsTheOldDocumentAndTheNextSaveWritesEverything) {
    const char* mount = std::getenv("PINDLE_FAULT_MOUNT");
    if (mount == nullptr) {
        GTEST_SKIP() << "needs a private tmpfs (run_real_faults.sh)";
    }
    for (const auto& fault : kFaults) {
        SCOPED_TRACE(fault.folder);
        const auto file = std::filesystem::path(mount) / fault.folder / "notes.json";
        ManualTime time;
        Store store(StoreServices{time, time, PosixFileSystem::instance()}, file);
        store.updateActiveText("kept");
        store.flush();
        const std::string before = testing::readFile(file);

        fault.fault(mount, true);
        store.updateActiveText(std::string(std::size_t{64} * 1024, 'x'));
        store.flush();
        EXPECT_EQ(store.lastWriteStatus().error, fault.error);
        EXPECT_EQ(testing::readFile(file), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1) << "a stray file";

        fault.fault(mount, false);
        store.flush();
        EXPECT_TRUE(store.lastWriteStatus().ok());
        EXPECT_EQ(testing::readFile(file), encodeDocument(store.notes(), store.activeId(), store.history()));
    }
}

} // namespace
} // namespace pindle
