#include "driver/TargetHost.h"

#include "net/IpLiteral.h"

#include <cctype>
#include <vector>

namespace targethost {

namespace {

constexpr std::size_t kIPv4Parts = 4;
constexpr int kMaxIPv4Part = 255;
constexpr std::size_t kMaxIPv4PartDigits = 3;

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool isLabelCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

std::vector<std::string> labelsOf(const std::string& text) {
    std::vector<std::string> labels;
    std::string::size_type start = 0;
    for (auto dot = text.find('.'); dot != std::string::npos; dot = text.find('.', start)) {
        labels.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    labels.push_back(text.substr(start));
    return labels;
}

bool allOf(const std::string& text, bool (*accepted)(char)) {
    for (const char c : text) {
        if (!accepted(c)) {
            return false;
        }
    }
    return true;
}

bool isIPv4Part(const std::string& part) {
    if (part.empty() || part.size() > kMaxIPv4PartDigits || !allOf(part, isDigit) ||
        (part.size() > 1 && part[0] == '0')) {
        return false;
    }
    return std::stoi(part) <= kMaxIPv4Part;
}

bool isIPv4Address(const std::string& host) {
    const std::vector<std::string> parts = labelsOf(host);
    if (parts.size() != kIPv4Parts) {
        return false;
    }
    for (const std::string& part : parts) {
        if (!isIPv4Part(part)) {
            return false;
        }
    }
    return true;
}

// A last label of digits only would make the name a number, which parsers read as an address.
bool isHostName(const std::string& host) {
    std::vector<std::string> labels = labelsOf(host);
    if (labels.size() > 1 && labels.back().empty()) {
        labels.pop_back();
    }
    for (const std::string& label : labels) {
        if (label.empty() || !allOf(label, isLabelCharacter)) {
            return false;
        }
    }
    return !allOf(labels.back(), isDigit);
}

} // namespace

bool isTargetHost(const std::string& host) {
    return isIPv4Address(host) || isHostName(host) || net::ipv6Literal(host);
}

} // namespace targethost
