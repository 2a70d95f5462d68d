// The profile functions as the stores use them. Natively this checks the POSIX implementation;
// under Wine the same expectations hold for the system's own functions.
#include "TestSupport.h"

#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

namespace {

using platform::getProfileString;
using platform::writeProfileString;

class ProfileFileTest : public testing::Test {
protected:
    void SetUp() override { path = qvtest::freshDirectory("profile") + "/t.ini"; }

    std::string get(const std::string& section, const std::string& key,
                    const std::string& fallback = "<default>") const {
        char buffer[4096];
        getProfileString(section, key, fallback, buffer, sizeof buffer, path);
        return buffer;
    }
    void writeRaw(const std::string& content) const {
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string raw() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string path;
};

TEST_F(ProfileFileTest, ReadsWhatTheWindowsFunctionsRead) {
    writeRaw("top=1\r\n"
             "[ Section One ]\r\n"
             "  Key = spaced value  \r\n"
             "quoted=\"in quotes\"\r\n"
             "single='single'\r\n"
             "half=\"open\r\n"
             "empty=\r\n"
             "no equals sign\r\n"
             "[Man]ual] after\r\n"
             "inner=to the last bracket\r\n"
             "[open\r\n"
             "afterOpen=no header above\r\n"
             "[cr]\rcr=alone\rnext=line\r"
             "[lf]\n"
             "unix=lf line\n"
             "last=no line end");
    struct Row {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Row rows[] = {
        {"", "top", "1"},                       // lines before any header: the empty section
        {"section one", "KEY", "spaced value"}, // names without case, blanks trimmed
        {"Section One", "quoted", "in quotes"}, // one pair of quotes removed
        {"Section One", "single", "single"},
        {"Section One", "half", "\"open"}, // an unmatched quote stays
        {"Section One", "empty", ""},
        {"Section One", "no equals sign", "<default>"},
        {"Section One", "missing", "<default>"},
        {"missing", "top", "<default>"},
        {"Man]ual", "inner", "to the last bracket"},
        {"Man", "inner", "<default>"},
        {"Man]ual", "afterOpen", "no header above"}, // a '[' line without ']' is no header
        {"open", "afterOpen", "<default>"},
        {"cr", "cr", "alone"}, // a CR alone ends a line
        {"cr", "next", "line"},
        {"lf", "unix", "lf line"},
        {"lf", "last", "no line end"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, get(row.section, row.key)) << row.section << "/" << row.key;
    }
}

TEST_F(ProfileFileTest, AUtf8ByteOrderMarkIsReadPastAndKept) {
    writeRaw("\xEF\xBB\xBF[first]\r\nk=1\r\n[second]\r\nk=2\r\n");
    EXPECT_EQ("1", get("first", "k"));
    EXPECT_EQ("2", get("second", "k"));
    ASSERT_TRUE(writeProfileString("first", std::string("k"), std::string("3"), path));
    EXPECT_EQ("3", get("first", "k"));
    EXPECT_EQ(0u, raw().find("\xEF\xBB\xBF[first]\r\nk=3\r\n")) << raw();
}

TEST_F(ProfileFileTest, DefaultsLoseTrailingBlanksAndLongValuesAreCut) {
    EXPECT_EQ("  dflt", get("s", "k", "  dflt  "));
    EXPECT_EQ("in quotes", get("s", "k", "\"in quotes\"  ")); // blanks go first, then quotes
    EXPECT_EQ(" 'x'", get("s", "k", " 'x'"));
    ASSERT_TRUE(writeProfileString("s", std::string("big"), std::string(5000, 'v'), path));
    EXPECT_EQ(std::string(4095, 'v'), get("s", "big"));

    char small[5];
    EXPECT_EQ(4u, getProfileString("s", "big", "", small, sizeof small, path));
    EXPECT_EQ("vvvv", std::string(small));
}

TEST_F(ProfileFileTest, MissingFileReadsDefaultsAndDeletionsCreateNothing) {
    EXPECT_EQ("<default>", get("s", "k"));
    EXPECT_TRUE(writeProfileString("s", std::string("k"), std::nullopt, path));
    EXPECT_TRUE(writeProfileString("s", std::nullopt, std::nullopt, path));
    EXPECT_FALSE(qvtest::fileExists(path));
}

TEST_F(ProfileFileTest, WritesCreateReplaceAndDeleteKeysAndSections) {
    ASSERT_TRUE(
        writeProfileString("Detected", std::string("ProxyMethod"), std::string("100"), path));
    ASSERT_TRUE(
        writeProfileString("Detected\\0000", std::string("ProxyMethod"), std::string("200"), path));
    ASSERT_TRUE(
        writeProfileString("DETECTED", std::string("PROXYMETHOD"), std::string("101"), path));
    ASSERT_TRUE(writeProfileString("detected", std::string("ProxyHost"), std::string("h"), path));
    EXPECT_EQ("[Detected]\r\nProxyMethod=101\r\nProxyHost=h\r\n"
              "[Detected\\0000]\r\nProxyMethod=200\r\n",
              raw());

    ASSERT_TRUE(writeProfileString("Detected", std::nullopt, std::nullopt, path));
    EXPECT_EQ("[Detected\\0000]\r\nProxyMethod=200\r\n", raw());

    ASSERT_TRUE(
        writeProfileString("Detected\\0000", std::string("ProxyMethod"), std::nullopt, path));
    EXPECT_EQ("[Detected\\0000]\r\n", raw()) << "the section stays when its last key goes";
    EXPECT_TRUE(
        writeProfileString("Detected\\0000", std::string("ProxyMethod"), std::nullopt, path));
}

TEST_F(ProfileFileTest, TheEmptySectionIsTheTopOfTheFile) {
    writeRaw("[A]\r\nk=a\r\n");
    ASSERT_TRUE(writeProfileString("", std::string("k"), std::string("top"), path));
    EXPECT_EQ("top", get("", "k"));
    EXPECT_EQ("a", get("A", "k"));
    EXPECT_EQ("k=top\r\n[A]\r\nk=a\r\n", raw());
}

TEST_F(ProfileFileTest, OtherLinesStayExactlyAsTheyWere) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine rewrites the whole file from what it parsed; Windows and the POSIX "
                    "side change only the lines they must";
#endif
    writeRaw("; comment\r\n[A]\r\nk1=v1\r\n\r\n  odd line\r\n[B]\nk = v \nkeep=1\n");
    ASSERT_TRUE(writeProfileString("A", std::string("k2"), std::string("v2"), path));
    ASSERT_TRUE(writeProfileString("b", std::string("K"), std::string("new"), path));
    ASSERT_TRUE(writeProfileString("C", std::string("k"), std::string("c"), path));
    EXPECT_EQ("; comment\r\n[A]\r\nk1=v1\r\n\r\n  odd line\r\nk2=v2\r\n"
              "[B]\nk=new\nkeep=1\n[C]\r\nk=c\r\n",
              raw());
}

TEST_F(ProfileFileTest, AFileThatCannotBeWrittenIsLeftAlone) {
    const std::string inMissingFolder = path + ".d/none/t.ini";
    EXPECT_FALSE(writeProfileString("s", std::string("k"), std::string("v"), inMissingFolder));
    EXPECT_FALSE(qvtest::fileExists(inMissingFolder));
}

} // namespace
