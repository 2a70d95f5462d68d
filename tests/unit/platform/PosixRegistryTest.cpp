// Where the POSIX registry keeps its keys, and that any name survives the trip to disk.
#include "TestSupport.h"

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
    for (const std::string& keyName : keyNames) {
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
