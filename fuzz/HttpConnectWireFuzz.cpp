// The CONNECT exchange's wire functions over hostile bytes.
//
// Input: the proxy's answer as the method holds it (at most one buffer, ended by a zero byte).
// The same bytes, after a two-byte port, are also tried as a target host for the request, and
// whole as a 407 answer: its challenges, its framing, and as a chunked body.
#include "Property.h"

#include "net/IpLiteral.h"
#include "proxy/wire/Base64.h"
#include "proxy/wire/HttpBodyReader.h"
#include "proxy/wire/HttpConnectWire.h"
#include "proxy/wire/ProxyAuthWire.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using fuzzing::require;

bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// "HTTP/" digit "." digit, one space, three digits from 200 to 299, then a blank or the end of
// the line.
bool strictSuccessLine(const char* answer) {
    const std::size_t versionLength = std::strlen(httpconnect::kVersionPrefix);
    if (std::strncmp(answer, httpconnect::kVersionPrefix, versionLength) != 0) {
        return false;
    }
    const char* p = answer + versionLength;
    if (!digit(p[0]) || p[1] != '.' || !digit(p[2]) || p[3] != ' ') {
        return false;
    }
    const char* status = p + 4;
    if (!digit(status[0]) || !digit(status[1]) || !digit(status[2])) {
        return false;
    }
    const char after = status[3];
    if (after != ' ' && after != '\r' && after != '\n' && after != '\0') {
        return false;
    }
    const int code = (status[0] - '0') * 100 + (status[1] - '0') * 10 + (status[2] - '0');
    return code >= httpconnect::kFirstSuccessStatus && code <= httpconnect::kLastSuccessStatus;
}

void checkAnswer(const std::uint8_t* data, std::size_t size) {
    char answer[httpconnect::kBufferSize + 1];
    const std::size_t held = size < httpconnect::kBufferSize ? size : httpconnect::kBufferSize;
    std::memcpy(answer, data, held);
    answer[held] = '\0';
    const httpconnect::StatusLine line = httpconnect::scanStatusLine(answer);
    const bool opened = httpconnect::tunnelOpened(line);
    require(!opened || strictSuccessLine(answer), "an opened tunnel only for a strict 2xx line",
            answer);
    require(line.version.size() <= 10 && line.rest.find('\n') == std::string::npos,
            "the status line's fields within the line", line.version + line.rest);
}

void checkRequest(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return;
    }
    const auto port = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    const std::string host(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string request;
    if (httpconnect::buildRequest(host, port, request) != httpconnect::RequestProblem::None) {
        return;
    }
    // An IPv6 address goes in the brackets that keep its colons apart from the port's.
    const std::string start = "CONNECT " + net::bracketed(host) + ":";
    const std::string end = std::string(" HTTP/1.0") + httpconnect::kHeaderEnd;
    require(request.size() < httpconnect::kBufferSize, "a request that fits the buffer", request);
    require(request.compare(0, start.size(), start) == 0 && request.size() >= end.size() &&
                request.compare(request.size() - end.size(), end.size(), end) == 0,
            "the whole host in one request line", request);
    require(request.find_first_of(std::string("\r\n\0", 3)) == request.size() - end.size() + 9,
            "no line break or zero byte before the request's end", request);
}

void checkChallenge(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    for (const proxyauth::Challenge& challenge : proxyauth::parseChallenges(answer)) {
        std::string back;
        require(base64::decode(base64::encode(challenge.token), back) && back == challenge.token,
                "a challenge's token that survives base 64 both ways", challenge.token);
    }
    proxyauth::Framing framing = proxyauth::parseFraming(answer);
    require(framing.body == proxyauth::Framing::Body::Length || framing.length == 0,
            "a length only for a body delimited by it", answer);
    framing.body = proxyauth::Framing::Body::Chunked;
    proxyauth::HttpBodyReader whole(framing);
    proxyauth::HttpBodyReader bytewise(framing);
    std::size_t usedBytewise = 0;
    for (const char c : answer) {
        usedBytewise += bytewise.take(&c, 1);
    }
    const std::size_t used = whole.take(answer.data(), answer.size());
    require(used <= size && used == usedBytewise && whole.done() == bytewise.done() &&
                whole.failed() == bytewise.failed(),
            "a chunked body read the same whole and byte by byte", answer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkAnswer(data, size);
    checkRequest(data, size);
    checkChallenge(data, size);
    return 0;
}
