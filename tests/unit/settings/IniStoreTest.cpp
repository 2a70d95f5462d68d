#include "TestSupport.h"

#include "platform/Process.h"
#include "settings/CIniSettingsStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const std::string kDefault = "<default>";

class IniStoreTest : public testing::Test {
protected:
    void SetUp() override { fileName = qvtest::uniqueName("qvtest") + ".ini"; }
    void TearDown() override { std::remove((platform::programDirectory() + fileName).c_str()); }

    std::string fileName;
};

TEST_F(IniStoreTest, TheFileLivesNextToTheProgramWhateverTheCurrentFolder) {
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::string elsewhere = qvtest::freshDirectory("cwd");
    std::filesystem::current_path(elsewhere);
    CIniSettingsStore store("", fileName);
    EXPECT_TRUE(store.setValue("ProxyMethod", "100", "Manual"));
    std::filesystem::current_path(previous);

    EXPECT_EQ(platform::programDirectory() + fileName, store.getPath());
    EXPECT_TRUE(qvtest::fileExists(store.getPath()));
    EXPECT_FALSE(qvtest::fileExists(elsewhere + "/" + fileName));
    EXPECT_EQ("100", store.getValue("ProxyMethod", kDefault, "Manual"));
}

TEST_F(IniStoreTest, ReadingFromAMissingFileCreatesNothing) {
    CIniSettingsStore store("", fileName);
    EXPECT_EQ(kDefault, store.getValue("ProxyMethod", kDefault, "Manual"));
    EXPECT_EQ(kDefault, store.getValue("ProxyMethod", kDefault, ""));
    EXPECT_FALSE(qvtest::fileExists(store.getPath()));
}

TEST_F(IniStoreTest, TheEmptyRecordIsTheDefaultSection) {
    CIniSettingsStore unnamed("", fileName);
    CIniSettingsStore named("Main", fileName);
    ASSERT_TRUE(unnamed.setValue("k", "top", ""));
    ASSERT_TRUE(named.setValue("k", "main", ""));
    EXPECT_EQ("top", unnamed.getValue("k", kDefault, ""));
    EXPECT_EQ("main", unnamed.getValue("k", kDefault, "Main"));
    EXPECT_EQ("main", named.getValue("k", kDefault, ""));
}

TEST_F(IniStoreTest, DeletingARecordDeletesOnlyTheSectionOfThatExactName) {
    CIniSettingsStore store("", fileName);
    ASSERT_TRUE(store.setValue("ProxyMethod", "0", "Detected"));
    ASSERT_TRUE(store.setValue("ProxyMethod", "100", "Detected\\0000"));
    ASSERT_TRUE(store.setValue("ProxyHost", "h", "Detected\\0000"));
    EXPECT_TRUE(store.setValue("", "", "Detected"));
    EXPECT_EQ(kDefault, store.getValue("ProxyMethod", kDefault, "Detected"));
    EXPECT_EQ("100", store.getValue("ProxyMethod", kDefault, "Detected\\0000"));

    EXPECT_TRUE(store.setValue("ProxyMethod", "", "Detected\\0000"));
    EXPECT_EQ(kDefault, store.getValue("ProxyMethod", kDefault, "Detected\\0000"));
    EXPECT_EQ("h", store.getValue("ProxyHost", kDefault, "Detected\\0000"));
    EXPECT_NE(std::string::npos, qvtest::readText(store.getPath()).find("[Detected\\0000]"));
}

TEST_F(IniStoreTest, LongValuesComeBackCutAndNumbersAreNotStored) {
    CIniSettingsStore store("", fileName);
    ASSERT_TRUE(store.setValue("long", std::string(6000, 'z'), "r"));
    EXPECT_EQ(std::string(CIniSettingsStore::kValueBufferSize - 1, 'z'),
              store.getValue("long", kDefault, "r"));
    EXPECT_FALSE(store.setNumber("n", 5, "r"));
    EXPECT_EQ(kDefault, store.getValue("n", kDefault, "r"));
}

TEST_F(IniStoreTest, AFileInAFolderThatCannotBeWrittenFailsTheWrite) {
    CIniSettingsStore store("", "no-such-folder-" + fileName + "/qvproxy.ini");
    EXPECT_FALSE(store.setValue("k", "v", "r"));
    EXPECT_EQ(kDefault, store.getValue("k", kDefault, "r"));
}

} // namespace
