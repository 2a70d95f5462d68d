#include "proxy/wire/HttpBodyReader.h"

#include "platform/AsciiCase.h"

namespace proxyauth {

namespace {

constexpr std::size_t kMaxLineBytes = 4096;
constexpr std::size_t kMaxSizeDigits = 7; // below kMaxBodyBytes' 16 MB worth of hex digits

} // namespace

HttpBodyReader::HttpBodyReader(const Framing& framing)
    : chunked(framing.body == Framing::Body::Chunked),
      state(chunked ? State::SizeLine : State::Data), remaining(chunked ? 0 : framing.length) {
    if (framing.body == Framing::Body::UntilClose || remaining > kMaxBodyBytes) {
        state = State::Failed;
    } else if (!chunked && remaining == 0) {
        state = State::Done;
    }
}

std::size_t HttpBodyReader::take(const char* data, std::size_t length) {
    std::size_t used = 0;
    while (used < length && state != State::Done && state != State::Failed) {
        if (state == State::Data) {
            const std::size_t part = remaining < length - used ? remaining : length - used;
            used += part;
            remaining -= part;
            if (remaining == 0) {
                state = chunked ? State::DataEnd : State::Done;
            }
            continue;
        }
        const char c = data[used++];
        if (c != '\n') {
            line += c;
            if (line.size() > kMaxLineBytes) {
                state = State::Failed;
            }
            continue;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const bool ok = endLine(line);
        line.clear();
        if (!ok) {
            state = State::Failed;
        }
    }
    return used;
}

// A complete line of the chunked framing, without its line end.
bool HttpBodyReader::endLine(const std::string& text) {
    switch (state) {
    case State::SizeLine: {
        std::size_t size = 0;
        std::size_t digits = 0;
        for (; digits < text.size() && platform::hexDigitValue(text[digits]) >= 0; ++digits) {
            size = size * 16 + static_cast<std::size_t>(platform::hexDigitValue(text[digits]));
        }
        const bool extensionOrEnd = digits == text.size() || text[digits] == ';' ||
                                    text[digits] == ' ' || text[digits] == '\t';
        if (digits == 0 || digits > kMaxSizeDigits || !extensionOrEnd) {
            return false;
        }
        total += size;
        if (total > kMaxBodyBytes) {
            return false;
        }
        remaining = size;
        state = size == 0 ? State::Trailer : State::Data;
        return true;
    }
    case State::DataEnd:
        state = State::SizeLine;
        return text.empty();
    case State::Trailer:
        if (text.empty()) {
            state = State::Done;
        }
        return true;
    default:
        return false;
    }
}

} // namespace proxyauth
