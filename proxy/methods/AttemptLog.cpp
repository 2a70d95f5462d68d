#include "proxy/methods/AttemptLog.h"

#include "net/CancelToken.h"

namespace {

// The text's line ends come from formats, as the log's formatting escapes those of arguments,
// and go back into the log's format, which alone ends lines there; the rest is one argument.
void write(const std::string& text) {
    const std::string::size_type lineEnd = text.find_last_not_of("\r\n") + 1;
    lprintf(("%s" + text.substr(lineEnd)).c_str(), text.substr(0, lineEnd).c_str());
}

void writeUnlessStopped(const std::string& text) {
    CancelToken* token = CancelToken::current();
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
    const std::string text = lformat(format, arguments);
    va_end(arguments);
    writeUnlessStopped(text);
}

void attemptLine(const std::string& prefix, const char* format, std::va_list arguments) {
    writeUnlessStopped(prefix + " " + lformat(format, arguments) + "\n");
}
