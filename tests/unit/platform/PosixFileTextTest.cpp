// Saving a file on POSIX where Windows would succeed, and what killed runs left behind.
#include "TestSupport.h"

#include "platform/posix/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

void put(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Saves "new" into the file. Unprivileged, the save runs as a user whom a folder's permissions
// bind: root is not bound, so under root it runs in a child process that has become "nobody".
// Returns the save's errno value.
int save(const std::string& path, bool unprivileged) {
    if (!unprivileged || geteuid() != 0) {
        return platform::posix::replaceFile(path, "new");
    }
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgid(kNobody) == 0 && setuid(kNobody) == 0;
        _exit(dropped ? platform::posix::replaceFile(path, "new") : 255);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(PosixFileText, SavingKeepsLinksAndWritesInPlaceWhereTheFolderTakesNoNewFile) {
    struct Row {
        const char* link;  // what t.ini links to, or nothing for a plain file
        bool exists;       // t.ini exists as a plain file, writable by all
        bool lockedFolder; // one that the user cannot add a file to
        int error;
        const char* written; // the file that gets the new content
    };
    const Row rows[] = {
        {"sub/link.ini", false, false, 0, "sub/real.ini"}, // sub/link.ini links to real.ini
        {"made.ini", false, false, 0, "made.ini"},         // a dangling link
        {nullptr, true, true, 0, "t.ini"},
        {nullptr, false, true, EACCES, nullptr},
    };
    for (const Row& row : rows) {
        const std::string folder = qvtest::freshDirectory("filetext");
        const std::string what = row.link != nullptr ? row.link : row.exists ? "file" : "no file";
        fs::create_directory(folder + "/sub");
        put(folder + "/sub/real.ini", "old content");
        fs::create_symlink("real.ini", folder + "/sub/link.ini");
        if (row.link != nullptr) {
            fs::create_symlink(row.link, folder + "/t.ini");
        }
        if (row.exists) {
            put(folder + "/t.ini", "old content, longer than the new");
            chmod((folder + "/t.ini").c_str(), 0666);
        }
        chmod(folder.c_str(), row.lockedFolder ? 0555 : 0755);
        EXPECT_EQ(row.error, save(folder + "/t.ini", row.lockedFolder)) << what;
        chmod(folder.c_str(), 0755);
        if (row.written != nullptr) {
            EXPECT_EQ("new", qvtest::readText(folder + "/" + row.written)) << what;
        }
        EXPECT_EQ(row.link != nullptr, fs::is_symlink(folder + "/t.ini")) << what;
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
