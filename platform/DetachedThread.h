// Helpers that nobody waits for: a name lookup or a proxy script that may outlive the one who
// asked, because the system offers no way to stop it.
#pragma once

#include <functional>

namespace platform {

// Runs `work` on a thread of its own that is never joined and frees itself when `work` returns.
// The thread is detached from its start: MinGW's thread library loses a thread that is created
// joinable and detached at once (std::thread::detach) while an earlier one is still ending, and
// that thread then never runs. Returns false, having run nothing, when no thread can start.
bool startDetachedThread(std::function<void()> work);

} // namespace platform
