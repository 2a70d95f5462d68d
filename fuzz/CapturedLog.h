// The program's log, sent to a file of the fuzzer's own for the length of one input and read
// back, so a target can check what a hostile input made the log say.
#pragma once

#include "ScratchFolder.h"

#include <string>

namespace fuzzing {

class CapturedLog {
public:
    explicit CapturedLog(const ScratchFolder& folder);
    ~CapturedLog(); // the log goes nowhere again
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::string text() const;

    // Every line begins with the log writer's own prefix and no control character but the line
    // feeds stands anywhere: no logged text started a line of its own (a forged line would lack
    // the prefix with our process id) or hid one with a CR or a terminal's escape sequence.
    void requireWholeLines() const;

    // No line holds `secret`.
    void requireAbsent(const std::string& secret) const;

private:
    std::string path;
};

} // namespace fuzzing
