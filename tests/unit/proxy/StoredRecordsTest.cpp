#include "proxy/StoredRecords.h"

#include <gtest/gtest.h>

namespace {

TEST(StoredRecords, NumbersReadAsAtoiReadsThem) {
    struct Row {
        const char* text;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"", 0},
        {"x", 0},
        {"100", 100},
        {"  42", 42},
        {"-5", -5},
        {"+7", 7},
        {"12abc", 12},
        {"65616", 65616},
        {"0x10", 0},
        {"- 3", 0},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, records::readInteger(row.text)) << '"' << row.text << '"';
    }
}

TEST(StoredRecords, DetectedRecordsAreNumberedWithFourDigits) {
    EXPECT_EQ("Detected\\0000", records::detectedName(0));
    EXPECT_EQ("Detected\\0099", records::detectedName(99));
}

TEST(StoredRecords, StalenessComparesHostsExactlyAndPortsCutTo16Bits) {
    const TargetList targets{{"updates.example.com", 80}, {"10.1.1.1", 443}};
    EXPECT_FALSE(records::isStale(targets, "updates.example.com", 80));
    EXPECT_FALSE(records::isStale(targets, "updates.example.com", 65616)); // 65616 & 0xFFFF
    EXPECT_FALSE(records::isStale(targets, "10.1.1.1", 443));
    EXPECT_TRUE(records::isStale(targets, "Updates.example.com", 80));
    EXPECT_TRUE(records::isStale(targets, "updates.example.com", 443));
    EXPECT_TRUE(records::isStale({}, "updates.example.com", 80));
}

} // namespace
