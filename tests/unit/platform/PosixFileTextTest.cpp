// Saving a file on POSIX where Windows would succeed, and what killed runs left behind.
#include "TestSupport.h"

#include "platform/posix/FileText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Runs `call` as a user that a folder's permissions bind: root is not bound, so under root the
// call runs in a child process that has become "nobody". Returns what the call returned.
int unprivileged(const std::function<int()>& call) {
    if (geteuid() != 0) {
        return call();
    }
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(kNobody) == 0 && setuid(kNobody) == 0 ? call() : 255);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(PosixFileText, SavingKeepsLinksAndWritesInPlaceWhereTheFolderTakesNoNewFile) {
    struct Row {
        const char* what;
        std::function<void(const std::string& folder)> prepare;
        bool lockedFolder; // one that the user cannot add a file to
        int error;
        const char* fileRead; // relative to the folder
        const char* linkKept; // relative to the folder, or empty
    };
    const Row rows[] = {
        {"a link to a file",
         [](const std::string& f) {
             put(f + "/real.ini", "old content");
             fs::create_symlink("real.ini", f + "/t.ini");
         },
         false, 0, "real.ini", "t.ini"},
        {"a link to a link in another folder",
         [](const std::string& f) {
             fs::create_directory(f + "/other");
             put(f + "/other/real.ini", "old");
             fs::create_symlink("real.ini", f + "/other/link.ini");
             fs::create_symlink(f + "/other/link.ini", f + "/t.ini");
         },
         false, 0, "other/real.ini", "t.ini"},
        {"a dangling link",
         [](const std::string& f) { fs::create_symlink("made.ini", f + "/t.ini"); }, false, 0,
         "made.ini", "t.ini"},
        {"a writable file in a locked folder",
         [](const std::string& f) {
             put(f + "/t.ini", "old content, longer than the new");
             chmod((f + "/t.ini").c_str(), 0666);
         },
         true, 0, "t.ini", ""},
        {"no file in a locked folder", [](const std::string&) {}, true, EACCES, "", ""},
    };
    for (const Row& row : rows) {
        const std::string folder = qvtest::freshDirectory("filetext");
        row.prepare(folder);
        const auto save = [&] { return platform::posix::replaceFile(folder + "/t.ini", "new"); };
        if (row.lockedFolder) {
            chmod(folder.c_str(), 0555);
        }
        EXPECT_EQ(row.error, row.lockedFolder ? unprivileged(save) : save()) << row.what;
        chmod(folder.c_str(), 0755);
        if (*row.fileRead != '\0') {
            EXPECT_EQ("new", qvtest::readText(folder + "/" + row.fileRead)) << row.what;
        }
        if (*row.linkKept != '\0') {
            EXPECT_TRUE(fs::is_symlink(folder + "/" + row.linkKept)) << row.what;
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp"))
                << row.what << ": a temporary file stayed";
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
    const std::string folder = qvtest::freshDirectory("leftovers");
    // No process has the largest id, but a writer in another process-id namespace may use it.
    const std::string lockedName = "qvproxy.ini.tmp2147483647";
    struct Row {
        std::string name;
        bool removed;
    };
    const Row rows[] = {
        {"qvproxy.ini.tmp" + dead, true},
        {"qvproxy.ini.tmp1", false}, // a live process's
        {lockedName, false},         // its writer holds the lock
        {"qvproxy.ini.tmp" + dead + "x", false},
        {"other.ini.tmp" + dead, false},
    };
    for (const Row& row : rows) {
        put(folder + "/" + row.name, "partial");
    }
    const int held = open((folder + "/" + lockedName).c_str(), O_RDONLY);
    ASSERT_EQ(0, flock(held, LOCK_EX));

    ASSERT_EQ(0, platform::posix::replaceFile(folder + "/qvproxy.ini", "new"));
    for (const Row& row : rows) {
        EXPECT_EQ(!row.removed, qvtest::fileExists(folder + "/" + row.name)) << row.name;
    }
    close(held);
}

} // namespace
