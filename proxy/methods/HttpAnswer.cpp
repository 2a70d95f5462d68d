#include "proxy/methods/HttpAnswer.h"

#include "log/LogText.h"
#include "net/CTCPSocket.h"

#include <cstring>

bool HttpAnswer::read(ProxyTunnel& tunnel, std::size_t limit, int& error) {
    text.assign(limit + 1, '\0');
    held = 0;
    for (int reads = 0; reads < httpconnect::kMaxReads; ++reads) {
        const int got = tunnel.stream().read(CTCPSocket::Blocking, text.data() + held,
                                             static_cast<int>(limit - held), &error);
        if (got < 1 || error != 0) {
            tunnel.say("error reading response %d", error);
            return false;
        }
        held += static_cast<std::size_t>(got);
        text[held] = '\0';
        if (std::strstr(text.data(), httpconnect::kHeaderEnd) != nullptr) {
            break;
        }
    }
    return true;
}

httpconnect::StatusLine HttpAnswer::judge(ProxyTunnel& tunnel) const {
    const httpconnect::StatusLine line = httpconnect::scanStatusLine(text.data());
    if (!line.wellFormed) {
        tunnel.say("error reading response: malformed status line '%s'",
                   printable(httpconnect::firstLine(text.data())).c_str());
    } else {
        // The status line's own CR ends the logged line as it ended the answer's; any other is
        // shown.
        std::string reason = line.rest;
        const bool endsInCr = !reason.empty() && reason.back() == '\r';
        if (endsInCr) {
            reason.pop_back();
        }
        tunnel.say(endsInCr ? "[RESPONSE %s:%d]%s\r\n" : "[RESPONSE %s:%d]%s\n",
                   line.version.c_str(), line.status, reason.c_str());
    }
    return line;
}

std::size_t HttpAnswer::headerLength() const {
    const char* end = std::strstr(text.data(), httpconnect::kHeaderEnd);
    return end == nullptr
               ? held
               : static_cast<std::size_t>(end - text.data()) + std::strlen(httpconnect::kHeaderEnd);
}

std::string HttpAnswer::header() const {
    return std::string(text.data(), headerLength());
}

std::string HttpAnswer::beyondHeader() const {
    const std::size_t used = headerLength();
    return std::string(text.data() + used, held - used);
}
