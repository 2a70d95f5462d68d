#include "log/lprintf.h"

#include "platform/Clock.h"
#include "platform/Process.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr std::size_t kMaxTagLength = 1023;
constexpr const char* kDateFormat = "%04d%02d%02d ";
constexpr const char* kPrefixFormat = "%s%2i:%02i:%02i %6ld%s%s%s%s pid %6lu>";
constexpr const char* kStartLine = "log started\n";
constexpr const char* kOpenWarning =
    "WARNING -- %s() -- could not open lprintf output filename: '%s' -- sending output to %s\n";

struct LogState {
    std::FILE* output = nullptr;
    bool ownsOutput = false;
    std::string tag;
    const char* extraText = nullptr;
    std::int32_t lastPrefixTime = 0;
    bool atLineStart = true;
    bool dateFlag = false;
};

// The lock makes one call one unit: prefix, message and the state they update together.
std::mutex logLock;
LogState state;

int writePrefix() {
    const platform::WallTime now = platform::wallClock();
    // Milliseconds in 32 bits wrap; only differences of them are used.
    const std::int32_t nowMs = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.seconds) * 1000u +
                                   static_cast<std::uint32_t>(now.milliseconds)));
    const platform::LocalTime local = platform::localCalendar(now.seconds);
    const std::int32_t elapsed =
        state.lastPrefixTime == 0
            ? 0
            : static_cast<std::int32_t>(static_cast<std::uint32_t>(nowMs) -
                                        static_cast<std::uint32_t>(state.lastPrefixTime));
    char datePart[32] = "";
    if (state.dateFlag) {
        std::snprintf(datePart, sizeof datePart, kDateFormat, local.year, local.month, local.day);
    }
    state.lastPrefixTime = nowMs;
    const bool withExtra = state.extraText != nullptr && state.extraText[0] != '\0';
    return std::fprintf(state.output, kPrefixFormat, datePart, local.hour, local.minute,
                        local.second, static_cast<long>(elapsed), state.tag.empty() ? "" : " ",
                        state.tag.c_str(), withExtra ? " " : "", withExtra ? state.extraText : "",
                        platform::processId());
}

int writeLocked(const char* format, const std::string& message) {
    if (state.output == nullptr) {
        return 1;
    }
    const int prefixLength = state.atLineStart ? writePrefix() : 0;
    const std::size_t formatLength = format == nullptr ? 0 : std::strlen(format);
    state.atLineStart = formatLength > 0 && format[formatLength - 1] == '\n';
    std::fwrite(message.data(), 1, message.size(), state.output);
    std::fflush(state.output);
    return prefixLength + static_cast<int>(message.size());
}

} // namespace

void lprintf_start(const char* fileName, const char* tag, const char* extraText, int dateFlag) {
    const std::lock_guard<std::mutex> guard(logLock);
    // A second start replaces the log; the file of the first is not left open behind it.
    if (state.ownsOutput) {
        std::fclose(state.output);
    }
    state.output = nullptr;
    state.ownsOutput = false;
    if (fileName == nullptr) {
        state.output = nullptr;
    } else if (std::strcmp(fileName, "stdout") == 0) {
        state.output = stdout;
    } else if (std::strcmp(fileName, "stderr") == 0) {
        state.output = stderr;
    } else {
        state.output = std::fopen(fileName, "a");
        state.ownsOutput = state.output != nullptr;
        if (state.output == nullptr) {
            std::fprintf(stderr, kOpenWarning, "lprintf_start", fileName, "stderr");
            state.output = stderr;
        }
    }
    state.tag = tag == nullptr ? std::string() : std::string(tag).substr(0, kMaxTagLength);
    state.lastPrefixTime = 0;
    state.extraText = extraText;
    state.atLineStart = true;
    state.dateFlag = dateFlag != 0;
    if (!state.tag.empty()) {
        writeLocked(kStartLine, kStartLine);
    }
}

int lprintf(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    // Formatted before the lock is taken: other threads wait only for the writing.
    const std::string message = lformat(format, arguments);
    va_end(arguments);
    const std::lock_guard<std::mutex> guard(logLock);
    return writeLocked(format, message);
}
