#include "splash/ImageDirectory.h"
#include "splash/NsisStack.h"
#include "splash/SplashText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using splash::PopResult;
using splash::StackNode;

namespace {

// A stand-in for the installer's heap that remembers what was allocated and freed.
struct Heap {
    static std::vector<unsigned> allocations;
    static int frees;
    static void* allocate(unsigned bytes) {
        allocations.push_back(bytes);
        return std::calloc(1, bytes);
    }
    static void release(void* block) {
        ++frees;
        std::free(block);
    }
};
std::vector<unsigned> Heap::allocations;
int Heap::frees = 0;
constexpr splash::StackMemory kHeap = {Heap::allocate, Heap::release};

class NsisStackTest : public testing::Test {
protected:
    void SetUp() override {
        Heap::allocations.clear();
        Heap::frees = 0;
    }
    void TearDown() override {
        while (top != nullptr) {
            StackNode* next = top->next;
            std::free(top);
            top = next;
        }
    }
    // Pushes as the installer does: a node of string_size text bytes.
    void installerPush(const std::string& text, unsigned stringSize) {
        auto* node =
            static_cast<StackNode*>(std::calloc(1, splash::kStackNodeHeaderSize + stringSize));
        std::memcpy(node->text, text.data(), std::min<std::size_t>(text.size(), stringSize));
        node->next = top;
        top = node;
    }
    StackNode* top = nullptr;
};

TEST_F(NsisStackTest, PopTakesTheTopNodeFreesItAndCopiesAsMuchAsFits) {
    struct Row {
        const char* what;
        std::string text;
        unsigned stringSize;
        unsigned capacity;
        PopResult result;
        std::string popped;
    };
    const std::string longest(259, 'd');
    const Row rows[] = {
        {"a directory", "C:\\skin\\", 1024, 260, PopResult::Popped, "C:\\skin\\"},
        {"an empty string", "", 1024, 260, PopResult::Popped, ""},
        {"the longest that fits", longest, 1024, 260, PopResult::Popped, longest},
        {"one more than fits", longest + "d", 1024, 260, PopResult::TooLong, ""},
        {"text without a terminator stops at string_size", "abcdefgh", 4, 260, PopResult::Popped,
         "abcd"},
        {"no room at all", "x", 1024, 0, PopResult::TooLong, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        installerPush("below", 1024);
        installerPush(row.text, row.stringSize);
        std::vector<char> out(row.capacity + 1, '#');
        EXPECT_EQ(row.result,
                  splash::popString(&top, row.stringSize, out.data(), row.capacity, kHeap));
        if (row.capacity > 0) {
            EXPECT_EQ(row.popped, std::string(out.data()));
        }
        EXPECT_EQ('#', out[row.capacity]) << "wrote past the buffer";
        EXPECT_EQ(1, Heap::frees);
        ASSERT_NE(nullptr, top);
        EXPECT_STREQ("below", top->text);
        TearDown();
    }
}

TEST_F(NsisStackTest, WithoutAStackOrWithAnEmptyOneNothingIsPoppedOrFreed) {
    char out[16] = "unchanged";
    EXPECT_EQ(PopResult::NoStack, splash::popString(nullptr, 1024, out, sizeof out, kHeap));
    EXPECT_STREQ("", out);
    EXPECT_EQ(PopResult::NoStack, splash::popString(&top, 1024, out, sizeof out, kHeap));
    EXPECT_EQ(0, Heap::frees);
}

TEST_F(NsisStackTest, PushLinksANewNodeOfStringSizePlusTheHeaderOnTop) {
    struct Row {
        const char* text;
        unsigned stringSize;
        const char* stored;
    };
    const Row rows[] = {
        {"1", 1024, "1"}, {"-1", 1024, "-1"}, {"-1", 2, "-"}, {"3", 1, ""}, {"2", 0, ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " in " + std::to_string(row.stringSize));
        SetUp();
        installerPush("below", 1024);
        StackNode* below = top;
        splash::pushString(&top, row.stringSize, row.text, kHeap);
        ASSERT_EQ(1u, Heap::allocations.size());
        EXPECT_EQ(splash::kStackNodeHeaderSize + row.stringSize, Heap::allocations[0]);
        EXPECT_EQ(below, top->next);
        EXPECT_STREQ(row.stored, top->text);
        TearDown();
    }
}

TEST(SplashTextTest, TheChoiceIsPushedInDecimal) {
    const std::pair<int, const char*> rows[] = {{1, "1"},
                                                {-1, "-1"},
                                                {0, "0"},
                                                {2147483647, "2147483647"},
                                                {-2147483647 - 1, "-2147483648"}};
    for (const auto& [value, text] : rows) {
        char out[splash::kIntegerTextCapacity];
        splash::formatInteger(value, out);
        EXPECT_STREQ(text, out);
    }
}

TEST_F(NsisStackTest, WithoutAStackNothingIsPushed) {
    splash::pushString(nullptr, 1024, "3", kHeap);
    EXPECT_TRUE(Heap::allocations.empty());
}

// The program path the fake GetModuleFileNameA reports, and whether it is cut short.
std::string g_modulePath;
unsigned fakeModulePath(char* out, unsigned capacity) {
    const std::size_t n = std::min<std::size_t>(g_modulePath.size(), capacity);
    std::memcpy(out, g_modulePath.data(), n);
    if (n < capacity) {
        out[n] = '\0';
    }
    return static_cast<unsigned>(n);
}

TEST(ImageDirectoryTest, ThePoppedDirectoryOrElseTheProgramsOwnIsUsedWhenItFits) {
    struct Row {
        const char* what;
        PopResult popped;
        std::string poppedText;
        std::string programPath;
        bool usable;
        std::string directory;
    };
    const std::string fits(splash::kLongestImageDirectory - 1, 'd');
    const Row rows[] = {
        {"popped", PopResult::Popped, "C:\\skin\\", "C:\\setup\\setup.exe", true, "C:\\skin\\"},
        {"empty popped string", PopResult::Popped, "", "C:\\setup\\setup.exe", true, "C:\\setup\\"},
        {"no stack", PopResult::NoStack, "", "C:\\a\\b\\setup.exe", true, "C:\\a\\b\\"},
        {"program path without a backslash", PopResult::NoStack, "", "setup.exe", true, ""},
        {"popped text too long for the buffer", PopResult::TooLong, "", "C:\\setup\\setup.exe",
         false, ""},
        {"longest directory the file names fit after", PopResult::Popped, fits + "\\",
         "C:\\setup.exe", true, fits + "\\"},
        {"one character more", PopResult::Popped, fits + "d\\", "C:\\setup.exe", false, ""},
        {"program path cut short", PopResult::NoStack, "",
         "C:\\" + std::string(300, 'p') + "\\setup.exe", false, ""},
        {"program directory too long for the file names", PopResult::Popped, "",
         "C:\\" + std::string(243, 'p') + "\\a.exe", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_modulePath = row.programPath;
        char directory[splash::kPathCapacity + 1];
        directory[splash::kPathCapacity] = '#';
        std::strcpy(directory, row.poppedText.c_str());
        EXPECT_EQ(row.usable, splash::resolveImageDirectory(row.popped, directory, fakeModulePath));
        EXPECT_EQ(row.directory, std::string(directory));
        EXPECT_EQ('#', directory[splash::kPathCapacity]);
    }
}

TEST(ImageDirectoryTest, JoinedPathsNeverExceedTheBuffer) {
    const std::string dir245(splash::kLongestImageDirectory, 'd');
    char out[splash::kPathCapacity + 1];
    out[splash::kPathCapacity] = '#';

    EXPECT_TRUE(splash::joinPath(out, "C:\\skin\\", "qvonsplskn.bmp"));
    EXPECT_STREQ("C:\\skin\\qvonsplskn.bmp", out);
    EXPECT_TRUE(splash::joinPath(out, dir245.c_str(), "qvonsplash.ini"));
    EXPECT_EQ(splash::kPathCapacity - 1, std::strlen(out));
    EXPECT_FALSE(splash::joinPath(out, (dir245 + "d").c_str(), "qvonsplash.ini"));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(splash::joinPath(out, std::string(400, 'd').c_str(), "x"));
    EXPECT_STREQ("", out);
    EXPECT_EQ('#', out[splash::kPathCapacity]);
}

} // namespace
