#include "proxy/CHttpConnectMethod.h"

#include "log/LogText.h"
#include "net/CTCPSocket.h"
#include "platform/Socket.h"
#include "proxy/HttpConnectWire.h"
#include "proxy/ProxyTunnel.h"

#include <cstring>

namespace {

constexpr ProxyTunnel::Wording kWording{"CONNECT", "error connecting"};

// Gathers the answer until its header ends, within one buffer and a bounded number of receives.
bool readAnswer(ProxyTunnel& tunnel, char (&answer)[httpconnect::kBufferSize + 1], int& error) {
    std::size_t held = 0;
    answer[0] = '\0';
    for (int reads = 0; reads < httpconnect::kMaxReads; ++reads) {
        const int got =
            tunnel.stream().read(CTCPSocket::Blocking, answer + held,
                                 static_cast<int>(httpconnect::kBufferSize - held), &error);
        if (got < 1 || error != 0) {
            tunnel.say("error reading response %d", error);
            return false;
        }
        held += static_cast<std::size_t>(got);
        answer[held] = '\0';
        if (std::strstr(answer, httpconnect::kHeaderEnd) != nullptr) {
            break;
        }
    }
    return true;
}

// Only the status line is looked at; an answer without a well-formed one is no answer at all.
bool judge(ProxyTunnel& tunnel, const char* answer) {
    const httpconnect::StatusLine line = httpconnect::scanStatusLine(answer);
    if (!line.wellFormed) {
        tunnel.say("error reading response: malformed status line '%s'",
                   printable(httpconnect::firstLine(answer)).c_str());
        return false;
    }
    tunnel.say("[RESPONSE %s:%d]%s\n", line.version.c_str(), line.status, line.rest.c_str());
    return httpconnect::tunnelOpened(line);
}

} // namespace

CHttpConnectMethod::~CHttpConnectMethod() = default;

bool CHttpConnectMethod::connect(CTCPSocket** socketOut, std::string targetHost,
                                 std::uint16_t targetPort, std::string proxyHost,
                                 std::uint16_t proxyPort) {
    *socketOut = nullptr;
    ProxyTunnel tunnel(kWording, targetHost, targetPort);
    std::string request;
    const httpconnect::RequestProblem problem =
        httpconnect::buildRequest(targetHost, targetPort, request);
    if (problem != httpconnect::RequestProblem::None) {
        // Refused before the proxy is even asked: a request cut short or with lines of its own
        // would tell the proxy something else than this attempt means.
        lastError = platform::kSockInvalidArgument;
        tunnel.say("target host refused: %s", problem == httpconnect::RequestProblem::TooLong
                                                  ? "too long for the request"
                                                  : "it holds a line break or a zero byte");
        return false;
    }
    char answer[httpconnect::kBufferSize + 1];
    if (!tunnel.open(proxyHost, proxyPort, lastError) ||
        !tunnel.send(request.data(), request.size(), lastError) ||
        !readAnswer(tunnel, answer, lastError) || !judge(tunnel, answer)) {
        return false;
    }
    *socketOut = tunnel.release();
    return true;
}
