#include "driver/CommandLine.h"

#include "driver/TargetHost.h"
#include "net/HostText.h"
#include "net/IpLiteral.h"
#include "platform/PortNumber.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace commandline {

namespace {

constexpr const char* kUsage = "pass HOST PORT or HOST:PORT on the command line";

// Blank-separated words; a word in double quotes may hold blanks, as installers quote paths.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

// The wait in whole seconds: one or two digits, nothing else, within the bounds.
bool parseWait(const std::string& text, std::chrono::milliseconds& wait, std::string& problem) {
    constexpr std::size_t kMaxDigits = 2;
    const bool digits = !text.empty() && text.size() <= kMaxDigits &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const std::chrono::seconds seconds{digits ? std::stoi(text) : 0};
    if (seconds < kMinProbeWait || seconds > kMaxProbeWait) {
        problem = "probe wait '" + text + "' is not a number of seconds from " +
                  std::to_string(kMinProbeWait.count()) + " to " +
                  std::to_string(kMaxProbeWait.count());
        return false;
    }
    wait = seconds;
    return true;
}

// The host and port texts: "HOST:PORT" in one word, or HOST and PORT in two.
bool splitTarget(const std::vector<std::string>& words, bool glued, std::string& host,
                 std::string& port, std::string& problem) {
    if (words.size() == 1) {
        const std::optional<net::HostPortText> split = net::splitHostAndPort(words[0]);
        if (!split || !glued) {
            problem = "no port for target server '" + words[0] + "': " + kUsage;
            return false;
        }
        host = split->host;
        port = split->port;
        return true;
    }
    if (words.size() == 2 && !glued) {
        host = words[0];
        port = words[1];
        return true;
    }
    problem = "too many words for a target server: " + std::string(kUsage);
    return false;
}

bool parseWords(std::vector<std::string> words, TargetAddress& target,
                std::chrono::milliseconds& probeWait, std::string& problem) {
    // Host names hold no colon, so a first word with one is HOST:PORT and the word after it
    // the wait, unless the word is an IPv6 address (bare or in brackets) that a PORT follows.
    const bool glued = words[0].find(':') != std::string::npos &&
                       !net::ipv6Literal(net::withoutBrackets(words[0]));
    std::chrono::milliseconds wait = kMaxProbeWait;
    if (words.size() == (glued ? 2u : 3u)) {
        if (!parseWait(words.back(), wait, problem)) {
            return false;
        }
        words.pop_back();
    }
    std::string host;
    std::string port;
    if (!splitTarget(words, glued, host, port, problem)) {
        return false;
    }
    // Before a colon and port, an IPv6 address needs its brackets: its own last group would
    // otherwise read as the port.
    const bool bareColons =
        host.find(':') != std::string::npos && net::withoutBrackets(host) == host && glued;
    host = net::withoutBrackets(host);
    if (host.empty()) {
        problem = "no host name for the target server: " + std::string(kUsage);
        return false;
    }
    if (host.size() > kMaxHostLength) {
        problem = "target host name longer than " + std::to_string(kMaxHostLength) +
                  " characters (" + std::to_string(host.size()) + ")";
        return false;
    }
    if (bareColons || !targethost::isTargetHost(host)) {
        problem =
            "target host '" + host + "' is neither a host name nor an IPv4 address: " + kUsage;
        return false;
    }
    if (!platform::parsePort(port, target.port)) {
        problem = "target port '" + port + "' is not a number from " +
                  std::to_string(platform::kMinPort) + " to " + std::to_string(platform::kMaxPort) +
                  ": " + kUsage;
        return false;
    }
    target.host = host;
    probeWait = wait;
    return true;
}

} // namespace

bool parseTarget(const std::string& commandLine, const std::string& fallback, TargetAddress& target,
                 std::chrono::milliseconds& probeWait, std::string& problem) {
    std::vector<std::string> words = wordsOf(commandLine);
    if (words.empty()) {
        words = wordsOf(fallback);
    }
    if (words.empty()) {
        problem = std::string("no target server given: ") + kUsage;
        return false;
    }
    return parseWords(words, target, probeWait, problem);
}

} // namespace commandline
