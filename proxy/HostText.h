// Host names as they may go into a request line or a log line. A CR, LF or NUL in a name would
// end a request line early, add lines of its own to it, or start a forged line in the log.
#pragma once

#include <string>

namespace hosttext {

// True when the host holds a CR, LF or NUL.
bool breaksTheLine(const std::string& host);

// The host with each CR, LF and NUL written as \r, \n and \0, safe for one log line.
std::string printable(const std::string& host);

} // namespace hosttext
