#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace qvtest {

// A name no other test process uses at the same time: base, process id and a counter.
std::string uniqueName(const std::string& base);

// A fresh folder for one test's files, below the system's temporary folder.
std::string freshDirectory(const std::string& base);

// The content of a file as text (line ends as the C library reads them), or "" when missing.
std::string readText(const std::string& path);

bool fileExists(const std::string& path);

// The message of the std::runtime_error that `call` throws, or "(nothing thrown)".
std::string thrownMessage(const std::function<void()>& call);

// The registry key below the current user under which a test keeps its keys.
std::string testKeyPath(const std::string& base);

// How many descriptors this process holds open, where the system tells (Linux's /proc); none
// elsewhere.
std::optional<std::size_t> openHandleCount();

// A path of the host's own file tree as this build opens it: under Wine that tree is drive Z:.
std::string hostPath(const std::string& unixPath);

} // namespace qvtest
