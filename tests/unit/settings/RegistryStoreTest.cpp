#include "TestSupport.h"

#include "platform/Registry.h"
#include "settings/CRegistrySettingsStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using platform::RegKey;

const std::string kDefault = "<default>";

class RegistryStoreTest : public testing::Test {
protected:
    void SetUp() override { keyPath = qvtest::testKeyPath("store"); }

    // Whether a key exists, looked at directly in the registry.
    bool keyExists(const std::string& path) const {
        RegKey key = nullptr;
        if (platform::regOpenKey(platform::regCurrentUser(), path, false, key) !=
            platform::kRegSuccess) {
            return false;
        }
        platform::regCloseKey(key);
        return true;
    }

    // Writes raw bytes as a value, as another program might have stored it.
    void writeRaw(const std::string& name, std::uint32_t type, const std::string& bytes) const {
        RegKey key = nullptr;
        ASSERT_EQ(platform::kRegSuccess,
                  platform::regOpenKey(platform::regCurrentUser(), keyPath, true, key));
        EXPECT_EQ(platform::kRegSuccess,
                  platform::regSetValue(key, name, type, bytes.data(),
                                        static_cast<std::uint32_t>(bytes.size())));
        platform::regCloseKey(key);
    }

    std::string keyPath;
};

TEST_F(RegistryStoreTest, ValuesRoundTripInTheKeyAndInRecords) {
    CRegistrySettingsStore store(platform::regCurrentUser(), keyPath, true);
    EXPECT_TRUE(keyExists(keyPath)) << "the key exists once the store is built";
    EXPECT_EQ(kDefault, store.getValue("ProxyHost", kDefault, ""));

    EXPECT_TRUE(store.setValue("ProxyHost", "proxy.example", ""));
    EXPECT_TRUE(store.setValue("ProxyMethod", "100", "Manual"));
    EXPECT_TRUE(store.setValue("ProxyPort", "1080", "Detected\\0001"));

    EXPECT_EQ("proxy.example", store.getValue("proxyhost", kDefault, ""));
    EXPECT_EQ("100", store.getValue("PROXYMETHOD", kDefault, "manual"));
    EXPECT_EQ("1080", store.getValue("ProxyPort", kDefault, "DETECTED\\0001"));
    EXPECT_TRUE(keyExists(keyPath + "\\Detected\\0001")) << "a nested record is a nested key";
    EXPECT_EQ(kDefault, store.getValue("ProxyPort", kDefault, "Manual"));
}

TEST_F(RegistryStoreTest, OnlyWholeTextValuesThatFitTheBufferAreRead) {
    CRegistrySettingsStore store(platform::regCurrentUser(), keyPath, true);
    const std::string fits(4095, 'f');
    const std::string tooLong(4096, 'x');
    struct Row {
        const char* name;
        std::uint32_t type;
        std::string bytes;
        std::string expected;
    };
    const Row rows[] = {
        {"fits", platform::kRegSz, fits + '\0', fits},
        {"one too long", platform::kRegSz, tooLong + '\0', kDefault},
        {"full buffer without zero", platform::kRegSz, tooLong, kDefault},
        {"far too long", platform::kRegSz, std::string(10000, 'y') + '\0', kDefault},
        {"short without zero", platform::kRegSz, "abc", "abc"}, // the registry adds the zero
        {"inner zero", platform::kRegSz, std::string("ab\0cd\0", 6), "ab"},
        {"number", platform::kRegDword, std::string("\x07\0\0\0", 4), kDefault},
        {"binary", platform::kRegBinary, "text", kDefault},
    };
    for (const Row& row : rows) {
        writeRaw(row.name, row.type, row.bytes);
        EXPECT_EQ(row.expected, store.getValue(row.name, kDefault, "")) << row.name;
    }

    EXPECT_TRUE(store.setNumber("count", 7, ""));
    EXPECT_EQ(kDefault, store.getValue("count", kDefault, "")) << "a REG_DWORD reads as absent";
}

TEST_F(RegistryStoreTest, ABufferWithoutAZeroHoldsNoText) {
    std::string text = "unchanged";
    EXPECT_FALSE(CRegistrySettingsStore::textOfBuffer("abcd", 4, text));
    EXPECT_EQ("unchanged", text);
    EXPECT_TRUE(CRegistrySettingsStore::textOfBuffer("ab\0d", 4, text));
    EXPECT_EQ("ab", text);
    EXPECT_TRUE(CRegistrySettingsStore::textOfBuffer("\0", 1, text));
    EXPECT_EQ("", text);
}

TEST_F(RegistryStoreTest, ReadingAMissingRecordCreatesItsKeyOnlyWithCreateMissing) {
    CRegistrySettingsStore creating(platform::regCurrentUser(), keyPath, true);
    EXPECT_EQ(kDefault, creating.getValue("ProxyMethod", kDefault, "LastGood"));
    EXPECT_TRUE(keyExists(keyPath + "\\LastGood"));

    CRegistrySettingsStore opening(platform::regCurrentUser(), keyPath, false);
    EXPECT_EQ(kDefault, opening.getValue("ProxyMethod", kDefault, "Manual"));
    EXPECT_FALSE(keyExists(keyPath + "\\Manual"));
    EXPECT_FALSE(opening.setValue("ProxyMethod", "0", "Manual")) << "no key, no write";
    EXPECT_FALSE(keyExists(keyPath + "\\Manual"));
    EXPECT_TRUE(opening.setValue("Own", "place", "")) << "the store's own key exists";
    EXPECT_EQ("place", opening.getValue("Own", kDefault, ""));
}

TEST_F(RegistryStoreTest, AStoreWhoseKeyCannotBeOpenedAnswersDefaultsAndFalse) {
    CRegistrySettingsStore missing(platform::regCurrentUser(), keyPath + "\\absent", false);
    EXPECT_EQ(kDefault, missing.getValue("a", kDefault, ""));
    EXPECT_EQ(kDefault, missing.getValue("a", kDefault, "Manual"));
    EXPECT_FALSE(missing.setValue("a", "b", ""));
    EXPECT_FALSE(missing.setValue("a", "b", "Manual"));
    EXPECT_FALSE(missing.setNumber("a", 1, ""));
    EXPECT_FALSE(missing.setValue("", "", ""));
    EXPECT_FALSE(keyExists(keyPath + "\\absent"));
}

TEST_F(RegistryStoreTest, EmptyValuesDeleteValuesAndEmptyNamesDeleteRecords) {
    CRegistrySettingsStore store(platform::regCurrentUser(), keyPath, true);
    ASSERT_TRUE(store.setValue("ProxyHost", "h", "Manual"));
    EXPECT_TRUE(store.setValue("ProxyHost", "", "Manual"));
    EXPECT_EQ(kDefault, store.getValue("ProxyHost", kDefault, "Manual"));
    EXPECT_FALSE(store.setValue("ProxyHost", "", "Manual")) << "nothing left to delete";

    ASSERT_TRUE(store.setValue("ProxyMethod", "200", "Detected\\0000"));
    ASSERT_TRUE(store.setValue("ProxyMethod", "0", "Detected"));
    EXPECT_FALSE(store.setValue("", "", "Detected")) << "a key with keys below it stays";
    EXPECT_EQ("0", store.getValue("ProxyMethod", kDefault, "Detected"));
    EXPECT_EQ("200", store.getValue("ProxyMethod", kDefault, "Detected\\0000"));

    EXPECT_TRUE(store.setValue("", "ignored", "Detected\\0000"));
    EXPECT_FALSE(keyExists(keyPath + "\\Detected\\0000"));
    EXPECT_TRUE(store.setValue("", "", "Detected"));
    EXPECT_FALSE(keyExists(keyPath + "\\Detected"));
    EXPECT_TRUE(store.setNumber("", 0, "Manual")) << "setNumber deletes records the same way";
    EXPECT_FALSE(keyExists(keyPath + "\\Manual"));

    ASSERT_TRUE(store.setValue("ProxyMethod", "0", "Detected\\0001"));
    EXPECT_TRUE(store.deleteRecord("Detected\\0001"));
    EXPECT_FALSE(keyExists(keyPath + "\\Detected\\0001"));
    EXPECT_TRUE(store.deleteRecord("Detected\\0002")) << "an absent record is gone already";
    EXPECT_FALSE(keyExists(keyPath + "\\Detected\\0002")) << "and is not made to be deleted";
}

TEST_F(RegistryStoreTest, DeletingTheStoresOwnKeyLeavesAHandleThatNoLongerWrites) {
    {
        CRegistrySettingsStore withRecord(platform::regCurrentUser(), keyPath, true);
        ASSERT_TRUE(withRecord.setValue("x", "1", "Manual"));
        EXPECT_FALSE(withRecord.setValue("", "", ""));
        EXPECT_TRUE(keyExists(keyPath));
        EXPECT_TRUE(withRecord.setValue("", "", "Manual"));
    }
    CRegistrySettingsStore store(platform::regCurrentUser(), keyPath, true);
    ASSERT_TRUE(store.setValue("x", "1", ""));
    EXPECT_TRUE(store.setValue("", "", ""));
    EXPECT_FALSE(keyExists(keyPath));
    EXPECT_FALSE(store.setValue("x", "2", ""));
    EXPECT_EQ(kDefault, store.getValue("x", kDefault, ""));
    EXPECT_FALSE(keyExists(keyPath)) << "a deleted key is not brought back";
}

} // namespace
