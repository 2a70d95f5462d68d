#pragma once

// The NSIS string stack that an installer hands to a plug-in: a singly linked list of nodes,
// each allocated by whoever pushes it and freed by whoever pops it, with the text inline.
//
//   stacktop ──► ┌───────────┬──────────────────────────────┐
//                │ next      │ Char text[string_size]       │ ──► next node … ──► null
//                └───────────┴──────────────────────────────┘
//                 0           kStackNodeTextOffset
//
// On 32-bit Windows the header is the 4-byte pointer plus the first character, padded to 8, and
// a pushed node is allocated as 8 + string_size characters (16 + string_size * 2 on 64-bit).

#include "splash/SplashChar.h"

#include <cstddef>

namespace splash {

struct StackNode {
    StackNode* next;
    Char text[1];
};

constexpr unsigned kStackNodeTextOffset = offsetof(StackNode, text);
constexpr unsigned kStackNodeHeaderSize = sizeof(StackNode);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(kStackNodeTextOffset == 4, "NSIS x86 stack node: text follows the next pointer");
static_assert(kStackNodeHeaderSize == 8, "NSIS x86 allocates 8 bytes + its strings per node");
#endif
#if defined(_WIN64)
static_assert(kStackNodeTextOffset == 8 && kStackNodeHeaderSize == 16, "NSIS amd64 stack node");
#endif

// How the installer's heap is reached: GlobalAlloc (zeroed) and GlobalFree in the plug-in.
struct StackMemory {
    void* (*allocate)(unsigned bytes);
    void (*release)(void* block);
};

enum class PopResult {
    NoStack, // no stack was given, or it is empty
    Popped,  // the whole text is in the buffer
    TooLong, // the node was taken off, but its text did not fit; the buffer holds ""
};

// Takes the top node off (when there is one) and copies its text into out[capacity]. The text of
// a node is at most string_size bytes by the installer's contract, but it is never trusted: the
// copy stops at string_size and at the buffer's capacity.
PopResult popString(StackNode** stacktop, unsigned stringSize, Char* out, unsigned capacity,
                    const StackMemory& memory);

// Pushes text (cut to string_size - 1 characters, as the installer's own strings are) in a node
// of kStackNodeHeaderSize + string_size characters. Does nothing without a stack or when the
// allocation fails.
void pushString(StackNode** stacktop, unsigned stringSize, const Char* text,
                const StackMemory& memory);

} // namespace splash
