#include "proxy/AttemptLog.h"

#include "net/CCancelToken.h"

#include <cstdio>

namespace {

std::string formatted(const char* format, std::va_list arguments) {
    std::va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The log ends a line when its format ends in a line feed, so the text's own last line feed goes
// into the format.
void write(const std::string& text) {
    if (!text.empty() && text.back() == '\n') {
        lprintf("%s\n", text.substr(0, text.size() - 1).c_str());
    } else {
        lprintf("%s", text.c_str());
    }
}

void writeUnlessStopped(const std::string& text) {
    CCancelToken* token = CCancelToken::current();
    if (token == nullptr) {
        write(text);
    } else {
        token->unlessCancelled([&text] { write(text); });
    }
}

} // namespace

void attemptLog(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = formatted(format, arguments);
    va_end(arguments);
    writeUnlessStopped(text);
}

void attemptLine(const std::string& prefix, const char* format, std::va_list arguments) {
    writeUnlessStopped(prefix + " " + formatted(format, arguments) + "\n");
}
