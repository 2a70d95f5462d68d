// How a text from outside (a host name, a setting, a proxy script's answer) may appear in a log
// line, so that no such text can forge lines of its own or carry credentials into the log.
#pragma once

#include <string>

// True when the text holds a CR, LF or NUL, which would end a request line or a log line early
// or add lines of its own to it.
bool breaksTheLine(const std::string& text);

// The text as one printable line: CR, LF, NUL and tab shown as "\r", "\n", "\0", "\t", every other
// control character as "\xNN". A backslash stays as it is, so a text shown once is shown the same
// again: the log writer applies this to every text argument, whatever its caller did before.
std::string printable(const std::string& text);

// A proxy setting or URL (a URL, "host:port", or one entry of a list such as "https=h:p")
// without user names and passwords: where it holds an '@', everything from the end of its leading
// scheme ("http://", "http=") up to its last '@' goes, so no part of a password survives, whatever
// it holds ('=' of a padded password, '@', ':', '/', '#', '%'). Lists of proxies are cut into
// their entries first (proxy/routes/ProxyList.h), so one entry's user information takes no other
// entry with it; every line that shows a setting, and every reading of one into proxies, goes
// through here, so what is tried is what is logged.
std::string withoutUserInfo(const std::string& text);
