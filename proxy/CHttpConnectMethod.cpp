#include "proxy/CHttpConnectMethod.h"

#include "log/lprintf.h"
#include "net/CTCPSocket.h"
#include "platform/Socket.h"
#include "proxy/HttpConnectWire.h"

#include <cstring>
#include <exception>

CHttpConnectMethod::~CHttpConnectMethod() = default;

bool CHttpConnectMethod::connect(CTCPSocket** socketOut, std::string targetHost,
                                 std::uint16_t targetPort, std::string proxyHost,
                                 std::uint16_t proxyPort) {
    const std::string host = printable(targetHost);
    const int port = targetPort;

    std::string request;
    const httpconnect::RequestProblem problem =
        httpconnect::buildRequest(targetHost, targetPort, request);
    if (problem != httpconnect::RequestProblem::None) {
        // Refused before the proxy is even asked: a request cut short or with lines of its own
        // would tell the proxy something else than this attempt means.
        lastError = platform::kSockInvalidArgument;
        lprintf("PROXY: [CONNECT %s:%d] target host refused: %s\n", host.c_str(), port,
                problem == httpconnect::RequestProblem::TooLong
                    ? "too long for the request"
                    : "it holds a line break or a zero byte");
        *socketOut = nullptr;
        return false;
    }

    *socketOut = new CTCPSocket(false);
    bool connected = false;
    try {
        connected = (*socketOut)->connect(proxyHost, proxyPort);
    } catch (const std::exception& e) {
        lprintf("PROXY: [CONNECT %s:%d] exception connecting to proxy '%s' %d\n", host.c_str(),
                port, e.what(), lastError);
    }
    if (!connected) {
        lastError = platform::lastSocketError();
        lprintf("PROXY: [CONNECT %s:%d] error connecting %d\n", host.c_str(), port, lastError);
        return fail(socketOut);
    }

    const int written = (*socketOut)
                            ->write(CTCPSocket::BlockingAll, request.c_str(),
                                    static_cast<int>(request.size()), &lastError);
    if (written < 0 || lastError != 0) {
        lprintf("PROXY: [CONNECT %s:%d] error writing request %d\n", host.c_str(), port, lastError);
        return fail(socketOut);
    }

    // The answer is gathered until its header ends, within one buffer and a bounded number of
    // receives; only its status line is looked at.
    char answer[httpconnect::kBufferSize + 1];
    std::size_t held = 0;
    answer[0] = '\0';
    for (int reads = 0; reads < httpconnect::kMaxReads; ++reads) {
        const int got = (*socketOut)
                            ->read(CTCPSocket::Blocking, answer + held,
                                   static_cast<int>(httpconnect::kBufferSize - held), &lastError);
        if (got < 1 || lastError != 0) {
            lprintf("PROXY: [CONNECT %s:%d] error reading response %d\n", host.c_str(), port,
                    lastError);
            return fail(socketOut);
        }
        held += static_cast<std::size_t>(got);
        answer[held] = '\0';
        if (std::strstr(answer, httpconnect::kHeaderEnd) != nullptr) {
            break;
        }
    }

    const httpconnect::StatusLine line = httpconnect::scanStatusLine(answer);
    lprintf("PROXY: [CONNECT %s:%d] [RESPONSE %s:%d]%s\n\n", host.c_str(), port,
            line.version.c_str(), line.status, line.rest.c_str());
    if (httpconnect::tunnelOpened(line)) {
        return true;
    }
    return fail(socketOut);
}
