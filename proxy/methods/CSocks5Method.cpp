#include "proxy/methods/CSocks5Method.h"

#include "log/LogText.h"
#include "net/CTCPSocket.h"
#include "platform/Socket.h"
#include "proxy/methods/ProxyTunnel.h"
#include "proxy/wire/Socks5Wire.h"

#include <utility>

namespace {

constexpr ProxyTunnel::Wording kWording{"SOCKS5", "error connecting to proxy"};

// Reads exactly `length` bytes, never more: what the target sends right behind the reply stays
// in the stream for whoever reads it next.
bool readExactly(ProxyTunnel& tunnel, std::uint8_t* buffer, std::size_t length, const char* what,
                 int& error) {
    const int got = tunnel.stream().read(CTCPSocket::BlockingAll, reinterpret_cast<char*>(buffer),
                                         static_cast<int>(length), &error);
    if (got < static_cast<int>(length)) {
        tunnel.say("error reading %s: %d of %u bytes, error %d", what, got < 0 ? 0 : got,
                   static_cast<unsigned>(length), error);
        return false;
    }
    return true;
}

// Sends the greeting and reads the proxy's choice; `usePassword` tells whether it asks for the
// sub-negotiation.
bool greet(ProxyTunnel& tunnel, bool offerPassword, bool& usePassword, int& error) {
    const std::vector<std::uint8_t> greeting = socks5::buildGreeting(offerPassword);
    std::uint8_t choice[socks5::kChoiceLength];
    if (!tunnel.send(greeting.data(), greeting.size(), error) ||
        !readExactly(tunnel, choice, sizeof choice, "method choice", error)) {
        return false;
    }
    switch (socks5::judgeChoice(choice, offerPassword)) {
    case socks5::ChoiceVerdict::NoAuthentication:
    case socks5::ChoiceVerdict::Password:
        usePassword = choice[1] == socks5::kMethodPassword;
        return true;
    case socks5::ChoiceVerdict::NoneAcceptable:
        tunnel.say("proxy accepts none of the methods offered (%s)",
                   offerPassword ? "none, username/password" : "none");
        return false;
    case socks5::ChoiceVerdict::BadVersion:
        tunnel.say("method choice version %d (expected 5)", choice[0]);
        return false;
    case socks5::ChoiceVerdict::NotOffered:
        tunnel.say("proxy chose method %d, which was not offered", choice[1]);
        return false;
    }
    return false;
}

bool logIn(ProxyTunnel& tunnel, const std::vector<std::uint8_t>& request, int& error) {
    std::uint8_t reply[socks5::kPasswordReplyLength];
    if (!tunnel.send(request.data(), request.size(), error) ||
        !readExactly(tunnel, reply, sizeof reply, "password reply", error)) {
        return false;
    }
    switch (socks5::judgePasswordReply(reply)) {
    case socks5::PasswordVerdict::Accepted:
        return true;
    case socks5::PasswordVerdict::Refused:
        tunnel.say("user name and password refused (status %d)", reply[1]);
        return false;
    case socks5::PasswordVerdict::BadVersion:
        tunnel.say("password reply version %d (expected 1)", reply[0]);
        return false;
    }
    return false;
}

// Reads the reply to the end of its bound address, whose length its address type gives.
bool readReply(ProxyTunnel& tunnel, int& error) {
    std::uint8_t head[socks5::kReplyHeadLength];
    if (!readExactly(tunnel, head, sizeof head, "reply", error)) {
        return false;
    }
    const std::uint8_t code = head[socks5::kReplyCodeOffset];
    const std::uint8_t type = head[socks5::kReplyAddressTypeOffset];
    switch (socks5::judgeReplyHead(head)) {
    case socks5::ReplyVerdict::Succeeded:
        break;
    case socks5::ReplyVerdict::Failed:
        tunnel.say("reply %d: %s", code, socks5::replyCodeText(code));
        return false;
    case socks5::ReplyVerdict::BadVersion:
        tunnel.say("reply version %d (expected 5)", head[0]);
        return false;
    case socks5::ReplyVerdict::BadAddressType:
        tunnel.say("reply with bound address type %d (expected 1, 3 or 4)", type);
        return false;
    }
    std::uint8_t nameLength = 0;
    if (type == socks5::kAddressName && !readExactly(tunnel, &nameLength, 1, "reply", error)) {
        return false;
    }
    std::uint8_t bound[socks5::kMaxNameLength + socks5::kPortLength];
    return readExactly(tunnel, bound, socks5::boundAddressLength(type, nameLength), "reply", error);
}

// Why the request for the target could not be built.
const char* refusalOf(const std::string& targetHost) {
    if (breaksTheLine(targetHost)) {
        return "target host refused: it holds a line break or a zero byte";
    }
    return targetHost.empty() ? "target host refused: it is empty"
                              : "target host refused: a name longer than 255 bytes";
}

} // namespace

CSocks5Method::CSocks5Method(ProxyCredentials credentials) : credentials(std::move(credentials)) {}

CSocks5Method::~CSocks5Method() = default;

bool CSocks5Method::connect(CTCPSocket** socketOut, std::string targetHost,
                            std::uint16_t targetPort, std::string proxyHost,
                            std::uint16_t proxyPort) {
    *socketOut = nullptr;
    ProxyTunnel tunnel(kWording, targetHost, targetPort);
    const std::vector<std::uint8_t> request = socks5::buildRequest(targetHost, targetPort);
    std::vector<std::uint8_t> login;
    if (!credentials.empty()) {
        login = socks5::buildPasswordRequest(credentials.user, credentials.password);
    }
    if (request.empty() || (!credentials.empty() && login.empty())) {
        // Refused before the proxy is asked; the credentials themselves are never shown.
        lastError = platform::kSockInvalidArgument;
        tunnel.say("%s", request.empty() ? refusalOf(targetHost)
                                         : "user name empty, or user name or password longer "
                                           "than 255 bytes: not sent");
        return false;
    }
    bool usePassword = false;
    if (!tunnel.open(proxyHost, proxyPort, lastError) ||
        !greet(tunnel, !login.empty(), usePassword, lastError) ||
        (usePassword && !logIn(tunnel, login, lastError)) ||
        !tunnel.send(request.data(), request.size(), lastError) || !readReply(tunnel, lastError)) {
        return false;
    }
    *socketOut = tunnel.release();
    return true;
}
