// The program's command line and its built-in target, as an installer may pass anything.
//
// Input: the built-in target, a zero byte, then the command line (without a zero byte, all of it
// is the command line).
#include "Property.h"

#include "driver/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzzing::require;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string::size_type split = bytes.find('\0');
    const std::string fallback = split == std::string::npos ? "" : bytes.substr(0, split);
    const std::string commandLine = split == std::string::npos ? bytes : bytes.substr(split + 1);

    TargetAddress target;
    std::string problem;
    if (commandline::parseTarget(commandLine, fallback, target, problem)) {
        require(!target.host.empty() && target.host.size() <= commandline::kMaxHostLength,
                "a host of 1 to 255 characters", target.host);
        require(target.port != 0, "a port from 1 to 65535");
        require(problem.empty(), "no problem with a target", problem);
    } else {
        require(!problem.empty(), "a problem saying what is wrong");
        // The problem is logged as one line.
        require(problem.find_first_of("\r\n") == std::string::npos,
                "a problem text without line breaks", problem);
    }
    return 0;
}
