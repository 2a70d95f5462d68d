// Where the POSIX registry keeps its keys, that any name survives the trip to disk, and that no
// other user can plant a key.
#include "TestSupport.h"

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Points the registry roots elsewhere for one test and restores them after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : ScopedEnvironment(name) {
        setenv(name, value.c_str(), 1);
    }
    ScopedEnvironment(const char* name, std::nullptr_t) : ScopedEnvironment(name) {
        unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (hadValue) {
            setenv(name, previous.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    explicit ScopedEnvironment(const char* name) : name(name) {
        if (const char* old = std::getenv(name)) {
            previous = old;
            hadValue = true;
        }
    }

    const char* name;
    std::string previous;
    bool hadValue = false;
};

std::string readValue(platform::RegKey key, const std::string& name) {
    char buffer[256];
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer;
    if (platform::regQueryValue(key, name, type, buffer, size) != platform::kRegSuccess) {
        return "<missing>";
    }
    return std::string(buffer, size);
}

TEST(PosixRegistry, UserKeysLiveInTheConfigFolderUnlessTheVariableMovesThem) {
    const std::string home = qvtest::freshDirectory("home");
    ScopedEnvironment noMove("QV_REGISTRY_DIR", nullptr);
    ScopedEnvironment noXdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnvironment newHome("HOME", home);

    platform::RegKey key = nullptr;
    ASSERT_EQ(platform::kRegSuccess,
              platform::regOpenKey(platform::regCurrentUser(), "Software\\Quorvane", true, key));
    platform::regCloseKey(key);
    EXPECT_TRUE(fs::is_directory(home + "/.config/quorvane/registry/Software/Quorvane"));

    const std::string moved = qvtest::freshDirectory("moved");
    ScopedEnvironment move("QV_REGISTRY_DIR", moved);
    ASSERT_EQ(platform::kRegSuccess,
              platform::regOpenKey(platform::regLocalMachine(), "Software\\X", true, key));
    platform::regCloseKey(key);
    EXPECT_TRUE(fs::is_directory(moved + "/HKEY_LOCAL_MACHINE/Software/X"));
    EXPECT_EQ(platform::kRegFileNotFound,
              platform::regOpenKey(platform::regCurrentUser(), "Software\\X", false, key));
}

// Removes the folders a test made on the way to a key, as far as they are empty.
void removeEmptyFolders(const std::string& base, const std::string& keyFolder) {
    std::error_code ignored;
    for (fs::path folder = keyFolder; !folder.empty(); folder = folder.parent_path()) {
        fs::remove(base + "/" + folder.string(), ignored);
    }
    fs::remove(base, ignored);
    fs::remove(fs::path(base).parent_path(), ignored);
}

TEST(PosixRegistry, WithoutHomeTheKeysLiveInTheUsersHomeNeverInASharedFolder) {
    ScopedEnvironment noMove("QV_REGISTRY_DIR", nullptr);
    ScopedEnvironment noXdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnvironment noHome("HOME", nullptr);
    const std::string key = qvtest::testKeyPath("nohome");
    std::string folder = key;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    const std::string shared = "/tmp/quorvane/registry";
    const std::string home =
        std::string(getpwuid(geteuid())->pw_dir) + "/.config/quorvane/registry";
    fs::create_directories(shared + "/" + folder); // as a run without HOME once left it

    platform::RegKey opened = nullptr;
    EXPECT_EQ(platform::kRegFileNotFound,
              platform::regOpenKey(platform::regCurrentUser(), key, false, opened));
    ASSERT_EQ(platform::kRegSuccess,
              platform::regOpenKey(platform::regCurrentUser(), key, true, opened));
    platform::regCloseKey(opened);
    EXPECT_TRUE(fs::is_directory(home + "/" + folder));
    removeEmptyFolders(home, folder);
    removeEmptyFolders(shared, folder);
}

TEST(PosixRegistry, NeverUsesAFolderAnotherUserOwnsOrMayWrite) {
    constexpr uid_t kOtherUser = 4242;
    struct Row {
        std::string folder; // below the registry folder, changed after the key was made
        uid_t owner;        // or 0 to keep
        mode_t mode;        // or 0 to keep
        std::string refusal;
    };
    const std::string otherOwner = " belongs to user 4242";
    const std::string othersWrite = " may be written by other users";
    const Row rows[] = {
        {"HKEY_CURRENT_USER", 0, 0, ""},
        {"HKEY_CURRENT_USER", kOtherUser, 0, otherOwner},
        {"HKEY_CURRENT_USER", 0, 0757, othersWrite},
        {"HKEY_CURRENT_USER/Software", 0, 0775, othersWrite},
        {"HKEY_CURRENT_USER/Software/Planted", kOtherUser, 0, otherOwner},
    };
    for (const Row& row : rows) {
        if (row.owner != 0 && geteuid() != 0) {
            continue; // only root can give a folder to another user
        }
        const std::string registry = qvtest::freshDirectory("planted");
        ScopedEnvironment move("QV_REGISTRY_DIR", registry);
        platform::RegKey key = nullptr;
        ASSERT_EQ(platform::kRegSuccess,
                  platform::regOpenKey(platform::regCurrentUser(), "Software\\Planted", true, key));
        platform::regCloseKey(key);
        const std::string folder = registry + "/" + row.folder;
        if (row.owner != 0) {
            ASSERT_EQ(0, chown(folder.c_str(), row.owner, static_cast<gid_t>(-1)));
        }
        if (row.mode != 0) {
            ASSERT_EQ(0, chmod(folder.c_str(), row.mode));
        }
        EXPECT_EQ(row.refusal.empty() ? platform::kRegSuccess : platform::kRegAccessDenied,
                  platform::regOpenKey(platform::regCurrentUser(), "Software\\Planted", false, key))
            << row.folder;
        platform::regCloseKey(key);
        EXPECT_EQ(row.refusal.empty() ? "" : folder + row.refusal,
                  platform::regRefusal(platform::regCurrentUser(), "Software\\Planted"))
            << row.folder;
    }
}

TEST(PosixRegistry, AnyKeyOrValueNameSurvivesTheTripToDisk) {
    platform::RegKey base = nullptr;
    ASSERT_EQ(
        platform::kRegSuccess,
        platform::regOpenKey(platform::regCurrentUser(), qvtest::testKeyPath("names"), true, base));
    const std::string keyNames[] = {"a/b", ".values", "%41", "..", "tab\there", "Ünïcode"};
    const std::string valueNames[] = {"", "with blank", "line\nfeed", "100%", "=", "\x7f\x80"};
    for (const std::string& keyName : keyNames) {
        platform::RegKey key = nullptr;
        ASSERT_EQ(platform::kRegSuccess, platform::regOpenKey(base, keyName, true, key)) << keyName;
        for (const std::string& valueName : valueNames) {
            const std::string data = "data of " + valueName + '\0';
            ASSERT_EQ(platform::kRegSuccess,
                      platform::regSetValue(key, valueName, platform::kRegSz, data.data(),
                                            static_cast<std::uint32_t>(data.size())));
        }
        platform::regCloseKey(key);
    }
    // Opened again in other letter cases, as Windows finds its keys.
    for (std::string keyName : keyNames) {
        std::transform(keyName.begin(), keyName.end(), keyName.begin(), [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        });
        platform::RegKey key = nullptr;
        ASSERT_EQ(platform::kRegSuccess, platform::regOpenKey(base, keyName, false, key))
            << keyName;
        for (const std::string& valueName : valueNames) {
            EXPECT_EQ("data of " + valueName + '\0', readValue(key, valueName))
                << keyName << " / " << valueName;
        }
        platform::regCloseKey(key);
    }
    platform::regCloseKey(base);
}

TEST(PosixRegistry, AFailedWriteLeavesTheStoredValuesWhole) {
    platform::RegKey key = nullptr;
    ASSERT_EQ(platform::kRegSuccess, platform::regOpenKey(platform::regCurrentUser(),
                                                          qvtest::testKeyPath("full"), true, key));
    const std::string kept = "kept";
    ASSERT_EQ(platform::kRegSuccess,
              platform::regSetValue(key, "v", platform::kRegSz, kept.c_str(), 5));
    // A folder in the way of the temporary file makes the write fail the way a full disk does.
    std::string folder;
    for (const auto& entry : fs::recursive_directory_iterator(std::getenv("QV_REGISTRY_DIR"))) {
        if (entry.path().filename() == ".values" &&
            entry.path().parent_path().string().find("full") != std::string::npos) {
            folder = entry.path().parent_path().string();
        }
    }
    ASSERT_FALSE(folder.empty());
    fs::create_directory(folder + "/.values.tmp" + std::to_string(getpid()));
    const std::string other = "other";
    EXPECT_NE(platform::kRegSuccess,
              platform::regSetValue(key, "v", platform::kRegSz, other.c_str(), 6));
    EXPECT_EQ(kept + '\0', readValue(key, "v"));
    platform::regCloseKey(key);
}

} // namespace
