#include "platform/posix/FileText.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace platform::posix {

namespace {

constexpr const char* kTemporaryTag = ".tmp"; // a temporary file is "<file>.tmp<process id>"
constexpr int kMaxLinkDepth = 40;             // as the kernel's own limit for a path
constexpr std::size_t kMaxProcessIdDigits = 10;

int writeAll(int fd, const std::string& content) {
    std::string::size_type done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::string::size_type>(n);
    }
    return 0;
}

// The file that `path` names once symbolic links are followed, so that saving updates the file a
// link points to and keeps the link, as Windows does. A dangling link names the file it would
// make.
std::string linkTarget(std::string path) {
    std::vector<char> buffer(PATH_MAX);
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
            return path;
        }
        std::string link(buffer.data(), static_cast<std::size_t>(length));
        const std::string::size_type slash = path.rfind('/');
        if (link[0] != '/' && slash != std::string::npos) {
            link = path.substr(0, slash + 1) + link;
        }
        path = std::move(link);
    }
    return path;
}

// Whether a temporary file was left by a run that died while writing: its process no longer
// exists and nothing holds its lock. A writer keeps its temporary file locked until it has taken
// the file's name, which also keeps the file of a live writer in another process-id namespace.
bool leftByDeadRun(const std::string& path, const std::string& processId) {
    if (processId.empty() || processId.size() > kMaxProcessIdDigits ||
        processId.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long id = std::strtol(processId.c_str(), nullptr, 10);
    if (id <= 0 || id > INT_MAX || kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH) {
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    const bool unlocked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return unlocked;
}

// Removes the temporary files beside `target` that killed runs left behind.
void removeLeftovers(const std::string& target) {
    const std::string::size_type nameStart = target.rfind('/') + 1; // 0 without a folder
    const std::string folder = target.substr(0, nameStart);
    const std::string prefix = target.substr(nameStart) + kTemporaryTag;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = folder + name;
        if (name.compare(0, prefix.size(), prefix) == 0 &&
            leftByDeadRun(path, name.substr(prefix.size()))) {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

int writeFrom(int fd, const std::string& content) {
    if (lseek(fd, 0, SEEK_SET) != 0) {
        return errno;
    }
    const int error = writeAll(fd, content);
    if (error == 0 && ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
        return errno;
    }
    return error;
}

// Writes the content over the file itself, for a folder that takes no new file, as the Windows
// functions always write. A write that fails (a full disk) puts the old content back, which fits
// where it was; only a crash in between can leave the file half written.
int overwrite(const std::string& path, const std::string& content) {
    const std::optional<std::string> old = readWholeFile(path);
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || !old) {
        const int error = fd < 0 ? errno : EIO;
        if (fd >= 0) {
            close(fd);
        }
        return error;
    }
    int error = writeFrom(fd, content);
    if (error != 0) {
        writeFrom(fd, *old);
    } else if (fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

bool folderRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM;
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        content.append(chunk, static_cast<std::string::size_type>(n));
    }
    close(fd);
    return content;
}

int replaceFile(const std::string& path, const std::string& content) {
    const std::string target = linkTarget(path);
    removeLeftovers(target);
    mode_t mode = 0644;
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    const std::string temporary = target + kTemporaryTag + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        const int error = errno;
        if (!folderRefusesNewFiles(error)) {
            return error;
        }
        const int inPlace = overwrite(target, content);
        return inPlace == ENOENT ? error : inPlace;
    }
    // Locked until it has the file's name, so that no other run takes it for a dead run's file.
    flock(fd, LOCK_EX);
    int error = writeAll(fd, content);
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

} // namespace platform::posix
