// Saving a file on POSIX where Windows would succeed, and what killed runs left behind.
#include "TestSupport.h"

#include "platform/posix/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

void put(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Saves in a child process that a folder's permissions bind (root is not, so there the child
// becomes "nobody") and whose files cannot grow past `sizeLimit` bytes, as on a full disk.
// Returns the save's errno value.
int saveBound(const std::string& path, const std::string& content, rlim_t sizeLimit) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{sizeLimit, sizeLimit};
        const bool bound = setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                           (geteuid() != 0 || (setgid(kNobody) == 0 && setuid(kNobody) == 0));
        _exit(bound ? platform::posix::replaceFile(path, content) : 255);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(PosixFileText, SavingKeepsLinksAndWritesInPlaceWhereTheFolderTakesNoNewFile) {
    const std::string old = "old content, longer than the new";
    const std::string longer(old.size() + 10, 'n');
    struct Row {
        const char* link;  // what t.ini links to, or nothing for a plain file
        bool exists;       // t.ini exists as a plain file, writable by all
        bool lockedFolder; // one that the user cannot add a file to, and a disk of `room` bytes
        rlim_t room;
        std::string content;
        int error;
        const char* read; // the file that is read after the save, and what it holds
        std::string held;
    };
    const Row rows[] = {
        {"sub/link.ini", false, false, 0, "new", 0, "sub/real.ini", "new"}, // a link to a link
        {"made.ini", false, false, 0, "new", 0, "made.ini", "new"},         // a dangling link
        {nullptr, true, true, RLIM_INFINITY, "new", 0, "t.ini", "new"},
        {nullptr, true, true, old.size(), longer, EFBIG, "t.ini", old}, // the old content stays
        {nullptr, false, true, RLIM_INFINITY, "new", EACCES, nullptr, ""},
    };
    for (const Row& row : rows) {
        const std::string folder = qvtest::freshDirectory("filetext");
        const std::string what = row.link != nullptr ? row.link : row.exists ? "file" : "no file";
        fs::create_directory(folder + "/sub");
        put(folder + "/sub/real.ini", old);
        fs::create_symlink("real.ini", folder + "/sub/link.ini");
        if (row.link != nullptr) {
            fs::create_symlink(row.link, folder + "/t.ini");
        }
        if (row.exists) {
            put(folder + "/t.ini", old);
            chmod((folder + "/t.ini").c_str(), 0666);
        }
        const std::string path = folder + "/t.ini";
        if (row.lockedFolder) {
            chmod(folder.c_str(), 0555);
            EXPECT_EQ(row.error, saveBound(path, row.content, row.room)) << what;
            chmod(folder.c_str(), 0755);
        } else {
            EXPECT_EQ(row.error, platform::posix::replaceFile(path, row.content)) << what;
        }
        if (row.read != nullptr) {
            EXPECT_EQ(row.held, qvtest::readText(folder + "/" + row.read)) << what;
        }
        EXPECT_EQ(row.link != nullptr, fs::is_symlink(path)) << what;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp")) << what;
        }
    }
}

TEST(PosixFileText, SavingRemovesOnlyWhatKilledRunsLeft) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child);
    // No process has the largest id, but a writer in another process-id namespace may use it.
    const std::string locked = "qvproxy.ini.tmp2147483647";
    const std::string folder = qvtest::freshDirectory("leftovers");
    const std::pair<std::string, bool> rows[] = {
        {"qvproxy.ini.tmp" + dead, true},
        {"qvproxy.ini.tmp1", false}, // a live process's
        {locked, false},             // its writer holds the lock
        {"qvproxy.ini.tmp" + dead + "x", false},
        {"other.ini.tmp" + dead, false},
    };
    for (const auto& [name, removed] : rows) {
        put(folder + "/" + name, "partial");
    }
    const int held = open((folder + "/" + locked).c_str(), O_RDONLY);
    ASSERT_EQ(0, flock(held, LOCK_EX));

    ASSERT_EQ(0, platform::posix::replaceFile(folder + "/qvproxy.ini", "new"));
    for (const auto& [name, removed] : rows) {
        EXPECT_EQ(!removed, qvtest::fileExists(folder + "/" + name)) << name;
    }
    close(held);
}

} // namespace
