// How a text from outside (a host name, a setting, a proxy script's answer) may appear in a log
// line, so that no such text can forge lines of its own or carry credentials into the log.
#pragma once

#include <string>

// True when the text holds a CR, LF or NUL, which would end a request line or a log line early
// or add lines of its own to it.
bool breaksTheLine(const std::string& text);

// The text with CR, LF and NUL shown escaped ("\r", "\n", "\0"): a crafted text cannot start a
// line of its own in the log.
std::string printable(const std::string& text);

// A proxy text (a URL, "host:port", or a list such as "http=h:p;https=h:p") without the user
// name and password of any entry: each '@' takes with it everything back to the nearest "://",
// '=' or the start of the text, so a password holding '/', '?', '#' or ';' is removed whole.
std::string withoutUserInfo(const std::string& text);

// A proxy setting as a log line may show it: line breaks escaped and, where it holds an '@', all
// from the end of its leading scheme ("http://", "http=") up to its last '@' removed. That may
// hide whole entries of a list, but no password survives, whatever it holds ('=' of a padded
// password, "://", ';').
std::string loggableSetting(const std::string& text);
