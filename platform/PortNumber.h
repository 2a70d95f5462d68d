// TCP port numbers as people and settings write them: the one strict reading shared by the
// command line and the proxy settings.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr std::uint32_t kMinPort = 1;
constexpr std::uint32_t kMaxPort = 65535;

// Reads a text of one to five decimal digits, nothing else, naming a port from kMinPort to
// kMaxPort. Sets `port` only when it returns true.
bool parsePort(const std::string& text, std::uint16_t& port);

} // namespace platform
