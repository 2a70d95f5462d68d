#include "driver/CommandLine.h"

#include "log/LogText.h"
#include "platform/PortNumber.h"

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

bool parseWords(const std::vector<std::string>& words, TargetAddress& target,
                std::string& problem) {
    std::string host;
    std::string port;
    if (words.size() == 1) {
        const std::string::size_type colon = words[0].rfind(':');
        if (colon == std::string::npos) {
            problem = "no port for target server '" + printable(words[0]) + "': " + kUsage;
            return false;
        }
        host = words[0].substr(0, colon);
        port = words[0].substr(colon + 1);
    } else if (words.size() == 2) {
        host = words[0];
        port = words[1];
    } else {
        problem = "too many words for a target server: " + std::string(kUsage);
        return false;
    }
    if (host.empty()) {
        problem = "no host name for the target server: " + std::string(kUsage);
        return false;
    }
    if (host.size() > kMaxHostLength) {
        problem = "target host name longer than " + std::to_string(kMaxHostLength) +
                  " characters (" + std::to_string(host.size()) + ")";
        return false;
    }
    if (!platform::parsePort(port, target.port)) {
        problem = "target port '" + printable(port) + "' is not a number from " +
                  std::to_string(platform::kMinPort) + " to " + std::to_string(platform::kMaxPort) +
                  ": " + kUsage;
        return false;
    }
    target.host = host;
    return true;
}

} // namespace

bool parseTarget(const std::string& commandLine, const std::string& fallback, TargetAddress& target,
                 std::string& problem) {
    std::vector<std::string> words = wordsOf(commandLine);
    if (words.empty()) {
        words = wordsOf(fallback);
    }
    if (words.empty()) {
        problem = std::string("no target server given: ") + kUsage;
        return false;
    }
    return parseWords(words, target, problem);
}

} // namespace commandline
