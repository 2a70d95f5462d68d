// The process-wide log: every line behind a prefix with the date, the time of day, the
// milliseconds since the previous line, a tag and the process id.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__GNUC__)
#define QV_PRINTF_FORMAT(formatIndex, firstArgument)                                               \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define QV_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// Chooses where the log goes: nowhere without a file name, the standard output for "stdout",
// the standard error for "stderr", else the named file, appended to. A file that cannot be
// opened is reported on the standard error, which then takes the log. The tag (cut to 1023
// characters) and the extra text appear in every prefix; the extra text is not copied, so it
// must outlive the log. With a tag, the line "log started" is written at once.
void lprintf_start(const char* fileName, const char* tag, const char* extraText, int dateFlag);

// Writes a formatted piece of text, behind a prefix when it begins a line. A format that ends in
// a line feed ends the line. Every "%s" and "%c" argument is written as one printable line (see
// printable in log/LogText.h): only the format's own line breaks reach the log, so no text from
// outside can end a line or start one of its own. Returns 1 when the log has no output, else the
// number of characters written for the prefix and the message together. One call is one unit
// against the calls of other threads.
int lprintf(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

// The message lprintf writes for `format` and its arguments, for callers that put a line
// together before they write it. "%n" is not offered.
std::string lformat(const char* format, std::va_list arguments);
