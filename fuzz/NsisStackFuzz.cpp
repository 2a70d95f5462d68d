// The NSIS stack as an installer hands it over: nodes of string_size text bytes that need not
// end in a zero. Popping copies no byte from beyond a node's text nor past the buffer; pushing
// and popping a text gives it back cut as the installer cuts; every node is freed.
//
// Input (FuzzedDataProvider): sizes and counts from the back, node texts and the pushed text
// from the front.
#include "Property.h"

#include "splash/NsisStack.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzzing::require;

constexpr unsigned kMaxStringSize = 1024;
constexpr unsigned kMaxCapacity = 1100;
constexpr int kMaxNodes = 6;

int liveNodes = 0;

void* allocate(unsigned bytes) {
    ++liveNodes;
    return std::calloc(1, bytes);
}

void release(void* block) {
    --liveNodes;
    std::free(block);
}

constexpr splash::StackMemory kMemory{allocate, release};

// A node as the installer leaves it, allocated exactly as large as its text needs, so that
// AddressSanitizer sees any read past string_size.
splash::StackNode* node(const std::string& text, unsigned stringSize, splash::StackNode* next) {
    auto* made = static_cast<splash::StackNode*>(
        allocate(static_cast<unsigned>(splash::kStackNodeTextOffset) + stringSize));
    std::memcpy(made->text, text.data(), text.size() < stringSize ? text.size() : stringSize);
    made->next = next;
    return made;
}

// What a pop should give for a node's text: up to its first zero or string_size bytes.
std::string expectedText(const std::string& text, unsigned stringSize) {
    const std::string held = text.substr(0, stringSize);
    return held.substr(0, held.find('\0'));
}

void checkPop(splash::StackNode** top, unsigned stringSize, unsigned capacity,
              const std::string& expected) {
    std::vector<char> out(capacity + 1, 'X');
    const splash::PopResult result =
        splash::popString(top, stringSize, out.data(), capacity, kMemory);
    require(out[capacity] == 'X', "nothing written past the buffer");
    if (result == splash::PopResult::Popped) {
        require(std::string(out.data()) == expected, "the node's text", out.data());
    } else {
        require(result == splash::PopResult::TooLong && expected.size() + 1 > capacity,
                "too long only when the text does not fit", expected);
        require(capacity == 0 || out[0] == '\0', "an empty buffer after a text too long");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const unsigned stringSize = input.ConsumeIntegralInRange(0u, kMaxStringSize);
    const unsigned capacity = input.ConsumeIntegralInRange(0u, kMaxCapacity);
    std::vector<std::string> texts(input.ConsumeIntegralInRange(0, kMaxNodes));
    splash::StackNode* top = nullptr;
    for (std::string& text : texts) {
        text = input.ConsumeRandomLengthString(kMaxStringSize + 8);
        top = node(text, stringSize, top);
    }
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
        checkPop(&top, stringSize, capacity, expectedText(*text, stringSize));
    }
    char none[4];
    require(splash::popString(&top, stringSize, none, sizeof none, kMemory) ==
                splash::PopResult::NoStack,
            "an empty stack once every node is popped");

    std::string pushed = input.ConsumeRemainingBytesAsString();
    pushed = pushed.substr(0, pushed.find('\0'));
    splash::pushString(&top, stringSize, pushed.c_str(), kMemory);
    if (stringSize > 0) {
        checkPop(&top, stringSize, capacity, pushed.substr(0, stringSize - 1));
    }
    while (top != nullptr) {
        splash::popString(&top, stringSize, none, sizeof none, kMemory);
    }
    require(liveNodes == 0, "every node freed", std::to_string(liveNodes));
    return 0;
}
