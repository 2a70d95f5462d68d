// Log lines of a try that may be stopped: once the try's cancel token is cancelled, the try
// writes nothing more, for it did not fail; its caller, which stopped it, tells what happened.
#pragma once

#include "log/lprintf.h"

#include <cstdarg>
#include <string>

// As lprintf, for the try running on the calling thread: writes nothing once the cancel token
// installed on this thread is cancelled, and a cancel waits for a line being written to end.
void attemptLog(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

// The same for one whole line: `prefix`, a blank, the formatted message and a line feed.
void attemptLine(const std::string& prefix, const char* format, std::va_list arguments);
