#include "MemoryStore.h"
#include "TestSupport.h"

#include "platform/Registry.h"
#include "settings/CIniSettingsStore.h"
#include "settings/CLayeredSettingsStore.h"
#include "settings/CRegistrySettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

using qvtest::MemoryStore;
using testing::ElementsAre;

const std::string kDefault = "<default>";

struct LayeredStoreTest : testing::Test {
    MemoryStore first{"first"};
    MemoryStore second{"second"};
};

TEST_F(LayeredStoreTest, BothStoresAreAskedInOrderAndTheFirstAnswerThatIsNotTheDefaultWins) {
    CLayeredSettingsStore store(first, second, false);
    EXPECT_EQ(kDefault, store.getValue("v", kDefault, "r"));
    EXPECT_THAT(first.calls, ElementsAre("first get r/v"));
    EXPECT_THAT(second.calls, ElementsAre("second get r/v"));

    second.put("r", "v", "from second");
    EXPECT_EQ("from second", store.getValue("v", kDefault, "r"));
    first.put("r", "v", "from first");
    EXPECT_EQ("from first", store.getValue("v", kDefault, "r"));
    EXPECT_EQ(3u, second.calls.size()) << "the second store is asked even when the first answers";
    EXPECT_TRUE(first.calls.size() == 3u && second.calls.size() == 3u);
}

TEST_F(LayeredStoreTest, AValueEqualToTheDefaultCountsAsAbsentAndIsOverwrittenByTheMirror) {
    first.put("r", "v", kDefault);
    second.put("r", "v", "real");
    CLayeredSettingsStore store(first, second, true);
    EXPECT_EQ("real", store.getValue("v", kDefault, "r"));
    EXPECT_EQ("real", first.at("r", "v"));
}

TEST_F(LayeredStoreTest, MirroringCopiesWhatWasReadIntoTheOtherStoreOnEveryRead) {
    CLayeredSettingsStore store(first, second, true);
    second.put("r", "only", "second's");
    EXPECT_EQ("second's", store.getValue("only", kDefault, "r"));
    EXPECT_EQ("second's", first.at("r", "only"));

    first.put("r", "both", "same");
    second.put("r", "both", "same");
    second.calls.clear();
    store.getValue("both", kDefault, "r");
    store.getValue("both", kDefault, "r");
    EXPECT_THAT(second.calls, ElementsAre("second get r/both", "second set r/both=same",
                                          "second get r/both", "second set r/both=same"));

    second.failWrites = true;
    first.put("r", "kept", "still read");
    EXPECT_EQ("still read", store.getValue("kept", kDefault, "r")) << "a failed mirror is silent";
}

TEST_F(LayeredStoreTest, WithoutMirroringReadsNeverWrite) {
    CLayeredSettingsStore store(first, second, false);
    first.put("r", "a", "1");
    second.put("r", "b", "2");
    EXPECT_EQ("1", store.getValue("a", kDefault, "r"));
    EXPECT_EQ("2", store.getValue("b", kDefault, "r"));
    for (const auto* calls : {&first.calls, &second.calls}) {
        for (const std::string& call : *calls) {
            EXPECT_EQ(std::string::npos, call.find(" set ")) << call;
        }
    }
}

TEST_F(LayeredStoreTest, WritesGoToBothStoresEvenWhenTheFirstFails) {
    CLayeredSettingsStore store(first, second, false);
    EXPECT_TRUE(store.setValue("v", "x", "r"));
    first.failWrites = true;
    EXPECT_FALSE(store.setValue("v", "y", "r"));
    EXPECT_EQ("y", second.at("r", "v"));
    EXPECT_EQ("x", first.at("r", "v"));

    first.failWrites = false;
    EXPECT_TRUE(store.setValue("", "", "r")) << "deleting a record deletes it in both";
    EXPECT_TRUE(first.values.empty() && second.values.empty());

    EXPECT_FALSE(store.setNumber("n", 1, "r"));
    EXPECT_EQ(first.calls.size(), 3u) << "setNumber reaches neither store";
}

// The program's own layering: the per-user key, then the machine key, then the settings file,
// with the registry mirrored into the file and back.
TEST(ProgramLayering, ReadsAskUserMachineAndFileAndMirrorBetweenRegistryAndFile) {
    const std::string keyPath = qvtest::testKeyPath("layers");
    const std::string fileName = qvtest::uniqueName("qvtest-layers") + ".ini";
    CRegistrySettingsStore machine(platform::regLocalMachine(), keyPath, true);
    CRegistrySettingsStore user(platform::regCurrentUser(), keyPath, true);
    CLayeredSettingsStore registry(user, machine, false);
    CIniSettingsStore file("", fileName);
    CLayeredSettingsStore outer(registry, file, true);

    ASSERT_TRUE(file.setValue("ProxyHost", "from-file", "Manual"));
    EXPECT_EQ("from-file", outer.getValue("ProxyHost", "", "Manual"));
    EXPECT_EQ("from-file", user.getValue("ProxyHost", "", "Manual"));
    EXPECT_EQ("from-file", machine.getValue("ProxyHost", "", "Manual"));

    ASSERT_TRUE(machine.setValue("ProxyPort", "3128", "Manual"));
    EXPECT_EQ("3128", outer.getValue("ProxyPort", "", "Manual"));
    EXPECT_EQ("3128", file.getValue("ProxyPort", "", "Manual"));
    EXPECT_EQ("", user.getValue("ProxyPort", "", "Manual")) << "the registry layer does not mirror";

    ASSERT_TRUE(user.setValue("ProxyPort", "8080", "Manual"));
    EXPECT_EQ("8080", outer.getValue("ProxyPort", "", "Manual"));
    EXPECT_EQ("8080", file.getValue("ProxyPort", "", "Manual"));

    EXPECT_TRUE(outer.setValue("", "", "Manual"));
    EXPECT_EQ("", user.getValue("ProxyHost", "", "Manual"));
    EXPECT_EQ("", machine.getValue("ProxyHost", "", "Manual"));
    EXPECT_EQ("", file.getValue("ProxyHost", "", "Manual"));

    ASSERT_TRUE(outer.setValue("ProxyMethod", "0", "Detected\\0003"));
    EXPECT_TRUE(outer.deleteRecord("Detected\\0003"));
    for (ASettingsStore* store : std::initializer_list<ASettingsStore*>{&user, &machine, &file}) {
        EXPECT_EQ("", store->getValue("ProxyMethod", "", "Detected\\0003"));
    }
    std::remove(file.getPath().c_str());
}

} // namespace
