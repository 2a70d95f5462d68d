// The registry on POSIX: a key is a folder, its values are lines of the file ".values" inside it,
// and its sub-keys are the folders inside it. Names keep the letter case they were created with
// and are looked up without regard to it, as on Windows: a key's folder is its escaped name in
// any letter case.
//
// A line of ".values":   <name> <type> <data>
// name and data are escaped so that any byte fits on the line: a blank, '%', control bytes and
// bytes above 0x7E are written as %XX; a text value shows its terminating zero as %00.
// Folder names escape '/', '%' and a leading '.' the same way, so no key can take the name of
// the values file.
//
// Another user must not be able to plant keys: a folder of a store (its root and every key) is
// used only when it belongs to this user or to root and nobody else may write to it. Without a
// home folder there is no per-user store; it never falls back to a folder that others share.
#include "platform/Registry.h"
#include "platform/AsciiCase.h"
#include "platform/posix/FileText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace platform {

struct RegKeyHandle {
    std::string path;
    int folder; // kept open to notice that the key was deleted under the handle
};

namespace {

constexpr std::uintptr_t kCurrentUserValue = 0x80000001;  // HKEY_CURRENT_USER
constexpr std::uintptr_t kLocalMachineValue = 0x80000002; // HKEY_LOCAL_MACHINE
constexpr const char* kRootVariable = "QV_REGISTRY_DIR";
constexpr const char* kValuesFile = ".values";
constexpr uid_t kRootUser = 0;
constexpr std::size_t kPasswordBufferSize = 1024; // where the system suggests none
constexpr std::size_t kMaxPasswordBufferSize = 1 << 20;

struct Value {
    std::string name;
    std::uint32_t type;
    std::string data;
};

bool isPredefined(RegKey key) {
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    return value == kCurrentUserValue || value == kLocalMachineValue;
}

// The home folder of this process's user as the password database has it, or empty.
std::string homeOfUser() {
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : kPasswordBufferSize);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < kMaxPasswordBufferSize) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found != nullptr && found->pw_dir != nullptr ? found->pw_dir : "";
    }
}

// The folder of a root's keys; empty when the per-user root has no home folder to live in.
std::string rootFolder(RegKey root) {
    const bool user = reinterpret_cast<std::uintptr_t>(root) == kCurrentUserValue;
    if (const char* moved = std::getenv(kRootVariable); moved != nullptr && *moved != '\0') {
        return std::string(moved) + (user ? "/HKEY_CURRENT_USER" : "/HKEY_LOCAL_MACHINE");
    }
    if (!user) {
        return "/etc/quorvane/registry";
    }
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        config = std::string(home) + "/.config";
    } else if (const std::string home = homeOfUser(); !home.empty()) {
        config = home + "/.config";
    } else {
        return std::string();
    }
    return config + "/quorvane/registry";
}

// What escaping is for: a line of the values file, a key's folder name, or a path in the log
// (control bytes only, so that no name can break a line).
enum class Escaping { ValueLine, FolderName, LogText };

bool needsEscape(unsigned char c, std::string::size_type at, Escaping use) {
    const bool control = c < 0x20 || c == 0x7F || c == '%';
    switch (use) {
    case Escaping::ValueLine:
        return c <= 0x20 || c == '%' || c > 0x7E;
    case Escaping::FolderName:
        return control || c == '/' || (at == 0 && c == '.');
    case Escaping::LogText:
        return control;
    }
    return true;
}

std::string escape(const std::string& text, Escaping use) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (needsEscape(c, i, use)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Why a store folder may have been planted: empty when it belongs to this user or to root and
// nobody else may write to it, else what is wrong with it.
std::string distrust(const struct stat& info, const std::string& folder) {
    const uid_t self = geteuid();
    if (info.st_uid != self && info.st_uid != kRootUser) {
        return escape(folder, Escaping::LogText) + " belongs to user " +
               std::to_string(info.st_uid);
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return escape(folder, Escaping::LogText) + " may be written by other users";
    }
    return std::string();
}

std::string distrust(const std::string& folder) {
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 ? distrust(info, folder) : std::string();
}

bool isFolder(const std::string& path, struct stat& info) {
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return isFolder(path, info);
}

// Whether the folder holds a sub-key folder; only the entries' names are read.
bool hasSubFolders(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && isFolder(path + "/" + entry->d_name)) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

bool hasLetters(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// The folder of the sub-key `keyName` in the key folder `path`, as it is named on disk, and its
// status in `info`; empty when there is none. The folder named exactly as the key would be made
// is taken at once; only a name with letters, which other spellings may hold, costs a look
// through the folder, and only entries of a matching name are examined.
std::string findSubKey(const std::string& path, const std::string& keyName, struct stat& info) {
    const std::string exact = escape(keyName, Escaping::FolderName);
    if (isFolder(path + "/" + exact, info)) {
        return exact;
    }
    std::string found;
    if (!hasLetters(exact)) {
        return found;
    }
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (sameIgnoringAsciiCase(name, exact) && isFolder(path + "/" + name, info)) {
            found = name;
            break;
        }
    }
    closedir(dir);
    return found;
}

long makeFolders(const std::string& path) {
    std::string::size_type slash = 0;
    while ((slash = path.find('/', slash + 1)) != std::string::npos) {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        return errno == EACCES || errno == EPERM || errno == EROFS ? kRegAccessDenied
                                                                   : kRegFileNotFound;
    }
    return kRegSuccess;
}

bool fullAccess(const std::string& path) {
    return access(path.c_str(), R_OK | W_OK | X_OK) == 0;
}

// The folder of an open key, or an error when the handle is not usable. For a key other than a
// root, `info` gets the status of the folder the handle holds.
long keyFolder(RegKey key, std::string& path, struct stat& info) {
    if (key == nullptr) {
        return kRegInvalidHandle;
    }
    if (isPredefined(key)) {
        path = rootFolder(key);
        return path.empty() ? kRegAccessDenied : kRegSuccess;
    }
    if (fstat(key->folder, &info) != 0 || info.st_nlink == 0) {
        return kRegKeyDeleted;
    }
    path = key->path;
    return kRegSuccess;
}

long keyFolder(RegKey key, std::string& path) {
    struct stat info {};
    return keyFolder(key, path, info);
}

std::vector<Value> loadValues(const std::string& folder) {
    std::vector<Value> values;
    const std::optional<std::string> content = posix::readWholeFile(folder + "/" + kValuesFile);
    if (!content) {
        return values;
    }
    std::string::size_type start = 0;
    while (start < content->size()) {
        std::string::size_type end = content->find('\n', start);
        if (end == std::string::npos) {
            end = content->size();
        }
        const std::string line = content->substr(start, end - start);
        start = end + 1;
        const std::string::size_type first = line.find(' ');
        const std::string::size_type second =
            first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        Value value;
        value.name = percentDecoded(line.substr(0, first));
        value.type = static_cast<std::uint32_t>(
            std::strtoul(line.substr(first + 1, second - first - 1).c_str(), nullptr, 10));
        value.data = percentDecoded(line.substr(second + 1));
        values.push_back(std::move(value));
    }
    return values;
}

long storeValues(const std::string& folder, const std::vector<Value>& values) {
    std::string content;
    for (const Value& value : values) {
        content += escape(value.name, Escaping::ValueLine) + " " + std::to_string(value.type) +
                   " " + escape(value.data, Escaping::ValueLine) + "\n";
    }
    const int error = posix::replaceFile(folder + "/" + kValuesFile, content);
    if (error == 0) {
        return kRegSuccess;
    }
    if (error == ENOENT) {
        return kRegKeyDeleted;
    }
    return error == EACCES || error == EPERM || error == EROFS ? kRegAccessDenied : kRegWriteFault;
}

std::vector<Value>::iterator findValue(std::vector<Value>& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (sameIgnoringAsciiCase(it->name, name)) {
            return it;
        }
    }
    return values.end();
}

bool isText(std::uint32_t type) {
    return type == kRegSz;
}

// Walks from `root` down the key names of `path` (creating missing keys with `create`) to the
// key's folder. A folder on the way that another user could have planted stops the walk with
// kRegAccessDenied, and `refusal` says why.
long walkToKey(RegKey root, const std::string& path, bool create, std::string& folder,
               std::string& refusal) {
    if (!path.empty() && path[0] == '\\') {
        return kRegBadPathname;
    }
    struct stat info {};
    if (const long error = keyFolder(root, folder, info); error != kRegSuccess) {
        if (isPredefined(root)) {
            refusal = "no home folder for the per-user keys";
        }
        return error;
    }
    if (isPredefined(root) && !isFolder(folder, info)) {
        if (!create) {
            return kRegFileNotFound;
        }
        if (const long error = makeFolders(folder); error != kRegSuccess) {
            return error;
        }
        refusal = distrust(folder);
    } else {
        // An open key's folder is judged by what its handle holds: only its owner or root can
        // have changed that since it was opened, or swapped what its path names.
        refusal = distrust(info, folder);
    }
    std::string::size_type start = 0;
    while (refusal.empty() && start <= path.size()) {
        std::string::size_type end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string keyName = path.substr(start, end - start);
        start = end + 1;
        if (keyName.empty()) {
            continue;
        }
        const std::string existing = findSubKey(folder, keyName, info);
        if (!existing.empty()) {
            folder += "/" + existing;
            refusal = distrust(info, folder);
            continue;
        }
        if (!create) {
            return kRegFileNotFound;
        }
        const std::string made = folder + "/" + escape(keyName, Escaping::FolderName);
        if (mkdir(made.c_str(), 0755) != 0) {
            return errno == ENOENT ? kRegKeyDeleted : kRegAccessDenied;
        }
        folder = made;
    }
    return refusal.empty() ? kRegSuccess : kRegAccessDenied;
}

} // namespace

RegKey regCurrentUser() {
    return reinterpret_cast<RegKey>(kCurrentUserValue);
}
RegKey regLocalMachine() {
    return reinterpret_cast<RegKey>(kLocalMachineValue);
}

long regOpenKey(RegKey root, const std::string& path, bool create, RegKey& opened) {
    opened = nullptr;
    std::string folder;
    std::string refusal;
    if (const long error = walkToKey(root, path, create, folder, refusal); error != kRegSuccess) {
        return error;
    }
    if (!fullAccess(folder)) {
        return kRegAccessDenied;
    }
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    // Judged again on what was opened, in case the folder was swapped since it was walked.
    if (descriptor < 0 || fstat(descriptor, &info) != 0 || !distrust(info, folder).empty()) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        return kRegAccessDenied;
    }
    opened = new RegKeyHandle{folder, descriptor};
    return kRegSuccess;
}

std::string regRefusal(RegKey root, const std::string& path) {
    std::string folder;
    std::string refusal;
    walkToKey(root, path, false, folder, refusal);
    return refusal;
}

long regQueryValue(RegKey key, const std::string& name, std::uint32_t& type, void* data,
                   std::uint32_t& size) {
    std::string folder;
    if (const long error = keyFolder(key, folder); error != kRegSuccess) {
        return error;
    }
    std::vector<Value> values = loadValues(folder);
    const auto found = findValue(values, name);
    if (found == values.end()) {
        return kRegFileNotFound;
    }
    std::string bytes = found->data;
    if (isText(found->type) && (bytes.empty() || bytes.back() != '\0')) {
        bytes += '\0';
    }
    type = found->type;
    const std::uint32_t capacity = size;
    size = static_cast<std::uint32_t>(bytes.size());
    if (data == nullptr) {
        return kRegSuccess;
    }
    if (bytes.size() > capacity) {
        return kRegMoreData;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return kRegSuccess;
}

long regSetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                 std::uint32_t size) {
    std::string folder;
    if (const long error = keyFolder(key, folder); error != kRegSuccess) {
        return error;
    }
    std::vector<Value> values = loadValues(folder);
    std::string bytes(static_cast<const char*>(data), size);
    const auto found = findValue(values, name);
    // The same value again leaves the file alone: a run that finds what the last one found writes
    // nothing.
    if (found != values.end() && found->type == type && found->data == bytes) {
        return kRegSuccess;
    }
    if (found == values.end()) {
        values.push_back(Value{name, type, std::move(bytes)});
    } else {
        found->type = type;
        found->data = std::move(bytes);
    }
    return storeValues(folder, values);
}

long regDeleteValue(RegKey key, const std::string& name) {
    std::string folder;
    if (const long error = keyFolder(key, folder); error != kRegSuccess) {
        return error;
    }
    std::vector<Value> values = loadValues(folder);
    const auto found = findValue(values, name);
    if (found == values.end()) {
        return kRegFileNotFound;
    }
    values.erase(found);
    return storeValues(folder, values);
}

long regDeleteKey(RegKey key, const std::string& subKey) {
    if (!subKey.empty()) {
        RegKey target = nullptr;
        if (const long error = regOpenKey(key, subKey, false, target); error != kRegSuccess) {
            return error;
        }
        const long result = regDeleteKey(target, std::string());
        regCloseKey(target);
        return result;
    }
    std::string folder;
    if (const long error = keyFolder(key, folder); error != kRegSuccess) {
        return error;
    }
    if (isPredefined(key) || hasSubFolders(folder)) {
        return kRegAccessDenied;
    }
    const std::string valuesFile = folder + "/" + kValuesFile;
    if (unlink(valuesFile.c_str()) != 0 && errno != ENOENT) {
        return kRegAccessDenied;
    }
    if (rmdir(folder.c_str()) != 0) {
        return kRegAccessDenied;
    }
    return kRegSuccess;
}

void regCloseKey(RegKey key) {
    if (key == nullptr || isPredefined(key)) {
        return;
    }
    close(key->folder);
    delete key;
}

} // namespace platform
