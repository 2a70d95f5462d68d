#include "splash/NsisStack.h"

#include "splash/SplashText.h"

namespace splash {

PopResult popString(StackNode** stacktop, unsigned stringSize, Char* out, unsigned capacity,
                    const StackMemory& memory) {
    if (capacity > 0) {
        out[0] = '\0';
    }
    if (stacktop == nullptr || *stacktop == nullptr) {
        return PopResult::NoStack;
    }
    StackNode* node = *stacktop;
    *stacktop = node->next;

    bool fits = capacity > 0;
    unsigned i = 0;
    for (; fits && i < stringSize && node->text[i] != '\0'; ++i) {
        if (i + 1 >= capacity) {
            fits = false;
        } else {
            out[i] = node->text[i];
        }
    }
    memory.release(node);
    if (!fits) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return PopResult::TooLong;
    }
    out[i] = '\0';
    return PopResult::Popped;
}

void pushString(StackNode** stacktop, unsigned stringSize, const Char* text,
                const StackMemory& memory) {
    if (stacktop == nullptr) {
        return;
    }
    auto* node =
        static_cast<StackNode*>(memory.allocate(kStackNodeHeaderSize + stringSize * sizeof(Char)));
    if (node == nullptr) {
        return;
    }
    if (stringSize > 0) {
        copyText(node->text, stringSize, text);
    } else {
        node->text[0] = '\0';
    }
    node->next = *stacktop;
    *stacktop = node;
}

} // namespace splash
