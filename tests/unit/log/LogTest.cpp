#include "TestSupport.h"

#include "log/LogText.h"
#include "log/lprintf.h"
#include "platform/Clock.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The prefix written with the date flag on: date, time, elapsed milliseconds, tag, process id.
const std::regex
    kDatedLine(R"(^(\d{8}) ([ \d]\d):(\d\d):(\d\d) ( *\d{1,}) PRXY pid ( *\d+)>(.*)$)");

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string pidField() {
    char field[32];
    std::snprintf(field, sizeof field, "%6lu", platform::processId());
    return field;
}

std::string dateOf(const platform::LocalTime& t) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", t.year, t.month, t.day);
    return date;
}

class LogTest : public testing::Test {
protected:
    void SetUp() override { path = qvtest::freshDirectory("log") + "/qvproxydetect.log"; }
    std::string log() const { return qvtest::readText(path); }
    std::string path;
};

// Must stay the first test of the file: it needs a log that was never started.
TEST(LogBeforeStart, WritesNothingAndReturnsOne) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, lprintf("nothing %d\n", 1));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST_F(LogTest, FirstLineHasTheDatedPrefixByteForByte) {
    const platform::LocalTime before = platform::localCalendar(platform::wallClock().seconds);
    lprintf_start(path.c_str(), "PRXY", "", 1);
    const platform::LocalTime after = platform::localCalendar(platform::wallClock().seconds);

    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(1u, lines.size());
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kDatedLine)) << lines[0];
    EXPECT_TRUE(m[1] == dateOf(before) || m[1] == dateOf(after)) << m[1];
    EXPECT_TRUE(std::stoi(m[2]) == before.hour || std::stoi(m[2]) == after.hour);
    EXPECT_EQ("     0", m[5].str());
    EXPECT_EQ(pidField(), m[6].str());
    EXPECT_EQ("log started", m[7].str());
    // date(8) blank hour(2) ":mm:ss"(6) blank elapsed(6) " PRXY"(5) " pid "(5) pid(6) ">"(1)
    EXPECT_EQ(lines[0].find('>'), 8u + 1 + 2 + 6 + 1 + 6 + 5 + 5 + pidField().size());
}

TEST_F(LogTest, WithoutDateTheLineBeginsWithTheHour) {
    lprintf_start(path.c_str(), "PRXY", nullptr, 0);
    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(1u, lines.size());
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(^[ 12]\d:\d\d:\d\d      0 PRXY pid +\d+>log started$)")))
        << lines[0];
}

TEST_F(LogTest, TagAndExtraTextLeaveNoBlanksWhenEmpty) {
    lprintf_start(path.c_str(), "", "", 0);
    EXPECT_EQ("", log()) << "an empty tag writes no start line";
    lprintf("plain\n");
    EXPECT_TRUE(std::regex_match(linesOf(log()).at(0),
                                 std::regex(R"(^[ 12]\d:\d\d:\d\d      0 pid +\d+>plain$)")))
        << log();

    const std::string second = path + ".extra";
    lprintf_start(second.c_str(), "PRXY", "setup-7", 0);
    EXPECT_NE(std::string::npos, qvtest::readText(second).find("0 PRXY setup-7 pid "));
}

TEST_F(LogTest, ElapsedCountsFromThePreviousPrefixNotThePreviousCall) {
    lprintf_start(path.c_str(), "PRXY", "", 1);
    lprintf("first ");
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    lprintf("continued\n");
    lprintf("second\n");

    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(3u, lines.size());
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[1], m, kDatedLine));
    EXPECT_EQ("first continued", m[7].str());
    ASSERT_TRUE(std::regex_match(lines[2], m, kDatedLine));
    EXPECT_EQ("second", m[7].str());
    EXPECT_GE(std::stol(m[5]), 110) << "the last prefix was written before the pause";
    EXPECT_LT(std::stol(m[5]), 60000);
}

TEST_F(LogTest, PiecesMakeOneLineAndResultsCountWhatWasWritten) {
    lprintf_start(path.c_str(), "PRXY", "", 1);
    const std::size_t before = log().size();
    const int first = lprintf("a");
    EXPECT_EQ(2, lprintf("b%d", 1));
    EXPECT_EQ(2, lprintf("c\n"));

    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(2u, lines.size());
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[1], m, kDatedLine)) << lines[1];
    EXPECT_EQ("ab1c", m[7].str());
    // Everything appended after the start line: prefix and message of the first piece, "b1",
    // "c" and the line end.
    EXPECT_EQ(static_cast<std::size_t>(first) + 4, log().size() - before);
    EXPECT_EQ(static_cast<std::size_t>(first), lines[1].find('>') + 2);
}

// Only the format's own line feeds end lines: every text argument is one printable line, shown
// once however often it was escaped before, and a format ending in one still ends the line.
TEST_F(LogTest, TextArgumentsNeverBreakTheLine) {
    lprintf_start(path.c_str(), "PRXY", "", 0);
    const std::pair<std::string, std::string> rows[] = {
        {"text\n", "text\\n"},
        {"x\r\nPROXY DETECTED OK", "x\\r\\nPROXY DETECTED OK"},
        {"lone\rreturn", "lone\\rreturn"},
        {"tab\tand\x1b[2Kescape\x7f", "tab\\tand\\x1B[2Kescape\\x7F"},
        {"already\\r\\nescaped", "already\\r\\nescaped"},
        {"50% \"quoted\" caf\xc3\xa9", "50% \"quoted\" caf\xc3\xa9"},
    };
    for (const auto& [text, shown] : rows) {
        lprintf("%s", text.c_str());
        lprintf(" [%c%c]\n", text[0], '\n');
    }
    lprintf("%-6s|%.3s|%5.1f|%lu|%%\n", "ab\n", "abcdef", 2.5, 7ul);
    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(2u + std::size(rows), lines.size()) << log();
    for (std::size_t n = 0; n < std::size(rows); ++n) {
        const std::string& line = lines[1 + n];
        EXPECT_EQ(rows[n].second + " [" + printable(rows[n].first.substr(0, 1)) + "\\n]",
                  line.substr(line.find('>') + 1));
    }
    EXPECT_NE(std::string::npos, lines.back().find(">ab\\n  |abc|  2.5|7|%")) << lines.back();
}

TEST_F(LogTest, AFileThatCannotBeOpenedSendsTheWarningAndTheLogToStandardError) {
    const std::string bad = qvtest::freshDirectory("log") + "/no-such-folder/x.log";
    testing::internal::CaptureStderr();
    lprintf_start(bad.c_str(), "PRXY", "", 0);
    lprintf("after %d\n", 42);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string warning = "WARNING -- lprintf_start() -- could not open lprintf output "
                                "filename: '" +
                                bad + "' -- sending output to stderr\n";
    EXPECT_EQ(0u, err.find(warning)) << err;
    EXPECT_NE(std::string::npos, err.find("PRXY pid "));
    EXPECT_NE(std::string::npos, err.find(">log started\n"));
    EXPECT_NE(std::string::npos, err.find(">after 42\n"));
}

TEST_F(LogTest, StandardStreamsByNameAndNoOutputWithoutAName) {
    testing::internal::CaptureStdout();
    lprintf_start("stdout", "PRXY", "", 0);
    lprintf("to stdout\n");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find(">to stdout\n")) << out;

    testing::internal::CaptureStderr();
    lprintf_start("stderr", "PRXY", "", 0);
    lprintf("to stderr\n");
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(">to stderr\n"));

    lprintf_start(nullptr, "PRXY", "", 1);
    EXPECT_EQ(1, lprintf("dropped\n"));
}

TEST_F(LogTest, ALongTagIsCutTo1023Characters) {
    const std::string tag(2000, 'T');
    lprintf_start(path.c_str(), tag.c_str(), "", 0);
    const std::string line = linesOf(log()).at(0);
    const std::string::size_type start = line.find('T');
    ASSERT_NE(std::string::npos, start);
    EXPECT_EQ(start + 1023, line.find(" pid "));
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
    constexpr int kThreads = 16;
    constexpr int kLines = 1000;
    lprintf_start(path.c_str(), "PRXY", "", 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                lprintf("thread %02d line %04d %s\n", t, i, "payload-payload-payload");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::vector<std::string> lines = linesOf(log());
    ASSERT_EQ(1u + kThreads * kLines, lines.size());
    const std::regex body(R"(thread (\d\d) line (\d\d\d\d) payload-payload-payload)");
    std::set<std::pair<int, int>> seen;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[n], m, kDatedLine)) << lines[n];
        const std::string message = m[7].str();
        std::smatch b;
        ASSERT_TRUE(std::regex_match(message, b, body)) << lines[n];
        seen.emplace(std::stoi(b[1]), std::stoi(b[2]));
    }
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kLines), seen.size());
}

} // namespace

TEST(LogText, UserInformationGoesWholeWhateverThePasswordHolds) {
    const std::pair<std::string, std::string> rows[] = {
        {"http://user:s3cr3t==@p:3128", "http://p:3128"},
        {"http://user:s3cr#t@p:3128", "http://p:3128"},
        {"http://user:a/b?c@p:3128/path", "http://p:3128/path"},
        {"http://u:pa://ss@p:1", "http://p:1"},
        {"http://u:p@ss:w%40rd@p:1", "http://p:1"},
        {"socks5://u:p@s:1080", "socks5://s:1080"},
        {"http=u:p;w@a:80;https=b:443", "http=a:80;https=b:443"},
        {"http=a:80;https=me@b:443", "http=b:443"},
        {"http=http://u:p@h:1", "http=h:1"},
        {"PROXY tok=en@h:8080; DIRECT", "h:8080; DIRECT"},
        {"u:p=w@h:1", "h:1"},
        {"token@host:8080", "host:8080"},
        {"p:8080", "p:8080"},
        {"http=a:80", "http=a:80"},
    };
    for (const auto& [text, shown] : rows) {
        EXPECT_EQ(shown, withoutUserInfo(text)) << text;
    }
    EXPECT_EQ("a\\r\\nb\\0c\\t\\x01\\", printable(std::string("a\r\nb\0c\t\x01\\", 9)));
}
