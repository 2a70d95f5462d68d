#include "proxy/methods/CHttpConnectMethod.h"

#include "platform/Socket.h"
#include "proxy/methods/HttpAnswer.h"
#include "proxy/methods/ProxyAuthHandshake.h"
#include "proxy/methods/ProxyTunnel.h"
#include "proxy/wire/HttpConnectWire.h"
#include "proxy/wire/ProxyAuthWire.h"

namespace {

constexpr ProxyTunnel::Wording kWording{"CONNECT", "error connecting"};

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
    HttpAnswer answer;
    if (!tunnel.open(proxyHost, proxyPort, lastError) ||
        !tunnel.send(request.data(), request.size(), lastError) ||
        !answer.read(tunnel, httpconnect::kBufferSize, lastError)) {
        return false;
    }
    const httpconnect::StatusLine line = answer.judge(tunnel);
    if (httpconnect::tunnelOpened(line)) {
        // What the target sent right behind the answer (a server that greets first) arrived in
        // the same receive; it belongs to whoever reads the stream next.
        const std::string beyond = answer.beyondHeader();
        tunnel.stream().unread(beyond.data(), beyond.size());
    } else if (line.status != proxyauth::kAuthenticationRequiredStatus ||
               !authenticate(tunnel, {targetHost, targetPort, proxyHost, proxyPort}, answer,
                             lastError)) {
        return false;
    }
    *socketOut = tunnel.release();
    return true;
}
