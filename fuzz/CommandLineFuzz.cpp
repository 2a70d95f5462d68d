// The program's command line and its built-in target, as an installer may pass anything.
//
// Input: the built-in target, a zero byte, then the command line (without a zero byte, all of it
// is the command line).
#include "CapturedLog.h"
#include "Property.h"
#include "ScratchFolder.h"

#include "driver/CommandLine.h"
#include "log/lprintf.h"

#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Letters, digits, hyphens and dots: all that a host name or an IPv4 address is made of; an IPv6
// address has hex digits, colons and the dots of an IPv4 tail, and never brackets.
bool isMadeOfHostCharacters(const std::string& host) {
    const bool ipv6 = host.find(':') != std::string::npos;
    for (const char c : host) {
        const bool hex = std::isxdigit(static_cast<unsigned char>(c)) != 0;
        const bool allowed =
            ipv6 ? hex || c == ':' || c == '.'
                 : std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzzing::require;
    static const fuzzing::ScratchFolder folder("command_line");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string::size_type split = bytes.find('\0');
    const std::string fallback = split == std::string::npos ? "" : bytes.substr(0, split);
    const std::string commandLine = split == std::string::npos ? bytes : bytes.substr(split + 1);

    TargetAddress target;
    std::chrono::milliseconds probeWait{};
    std::string problem;
    if (commandline::parseTarget(commandLine, fallback, target, probeWait, problem)) {
        require(!target.host.empty() && target.host.size() <= commandline::kMaxHostLength,
                "a host of 1 to 255 characters", target.host);
        require(isMadeOfHostCharacters(target.host),
                "a host of letters, digits, '-' and '.', or an IPv6 address", target.host);
        require(target.port != 0, "a port from 1 to 65535");
        require(probeWait >= commandline::kMinProbeWait && probeWait <= commandline::kMaxProbeWait,
                "a probe wait within the program's bounds");
        require(problem.empty(), "no problem with a target", problem);
    } else {
        require(!problem.empty(), "a problem saying what is wrong");
        // The program logs the command line and the problem: each one whole line.
        const fuzzing::CapturedLog log(folder);
        lprintf("CmdLine: %s\n", commandLine.c_str());
        lprintf("PROXY: %s\n", problem.c_str());
        log.requireWholeLines();
    }
    return 0;
}
