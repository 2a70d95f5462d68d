// A folder of the fuzzer's own for the files a target reads and writes, in memory when the
// system offers a memory file system (every write of the stores is flushed to disk, which would
// make a run slow), removed with everything in it when the run ends.
#pragma once

#include <string>

namespace fuzzing {

class ScratchFolder {
public:
    explicit ScratchFolder(const char* name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return folder; }

    // Replaces the file at `name` inside the folder with `content`; returns its full path.
    std::string writeFile(const std::string& name, const std::string& content) const;

private:
    std::string folder;
};

} // namespace fuzzing
