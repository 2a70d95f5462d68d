// The Linux registry's value file (".values" in a key's folder) as anything may have left it:
// reading it never fails badly, and writing one value keeps every other value as it read. A key
// of any name is found again whatever its letter case, and deleted.
//
// Input (FuzzedDataProvider): the name and data of the value to write, the name of another value
// and the name of a key as texts from the front, the value's type from the back, the rest is the
// file.
#include "Property.h"
#include "ScratchFolder.h"

#include "platform/AsciiCase.h"
#include "platform/Registry.h"
#include "platform/posix/FileText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

using fuzzing::require;

constexpr std::size_t kMaxText = 64;
constexpr std::uint32_t kCapacity = 4096;
constexpr const char* kKey = "Fuzz";

struct Read {
    long result = 0;
    std::uint32_t type = 0;
    std::string bytes;
};

Read query(platform::RegKey key, const std::string& name) {
    Read read;
    char buffer[kCapacity];
    std::uint32_t size = sizeof buffer;
    read.result = platform::regQueryValue(key, name, read.type, buffer, size);
    if (read.result == platform::kRegSuccess) {
        require(size <= sizeof buffer, "a size within the buffer", std::to_string(size));
        read.bytes.assign(buffer, size);
    } else {
        require(read.result == platform::kRegFileNotFound || read.result == platform::kRegMoreData,
                "a value found, missing or too large", std::to_string(read.result));
    }
    return read;
}

// A key of the given name below `key` (one level: backslashes separate keys) opens by the same
// name in upper case once made, and is gone once deleted.
void checkSubKey(platform::RegKey key, std::string name) {
    name.erase(std::remove(name.begin(), name.end(), '\\'), name.end());
    if (name.empty()) {
        return;
    }
    platform::RegKey made = nullptr;
    require(platform::regOpenKey(key, name, true, made) == platform::kRegSuccess,
            "a key of any name is made", name);
    platform::regCloseKey(made);
    std::string upper = name;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    platform::RegKey found = nullptr;
    require(platform::regOpenKey(key, upper, false, found) == platform::kRegSuccess,
            "the key found whatever its letter case", upper);
    platform::regCloseKey(found);
    require(platform::regDeleteKey(key, name) == platform::kRegSuccess, "the key deleted", name);
    require(platform::regOpenKey(key, name, false, found) == platform::kRegFileNotFound,
            "a deleted key not found", name);
}

bool sameRead(const Read& a, const Read& b) {
    return a.result == b.result && a.type == b.type && a.bytes == b.bytes;
}

// The folder of the key, below a registry root of the fuzzer's own.
std::string keyFolder(const fuzzing::ScratchFolder& root) {
    setenv("QV_REGISTRY_DIR", root.path().c_str(), 1);
    const std::string user = root.path() + "/HKEY_CURRENT_USER";
    mkdir(user.c_str(), 0700);
    mkdir((user + "/" + kKey).c_str(), 0700);
    return std::string("HKEY_CURRENT_USER/") + kKey + "/.values";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::ScratchFolder root("registry");
    static const std::string valuesFile = keyFolder(root);
    FuzzedDataProvider input(data, size);
    const std::string name = input.ConsumeRandomLengthString(kMaxText);
    const std::string value = input.ConsumeRandomLengthString(kMaxText);
    const std::string other = input.ConsumeRandomLengthString(kMaxText);
    const std::string subKey = input.ConsumeRandomLengthString(kMaxText);
    const auto type = input.ConsumeIntegral<std::uint32_t>();
    root.writeFile(valuesFile, input.ConsumeRemainingBytesAsString());

    platform::RegKey key = nullptr;
    require(platform::regOpenKey(platform::regCurrentUser(), kKey, false, key) ==
                platform::kRegSuccess,
            "the key opens");
    const Read before = query(key, other);
    require(platform::regSetValue(key, name, type, value.data(),
                                  static_cast<std::uint32_t>(value.size())) ==
                platform::kRegSuccess,
            "the value is written");

    std::string expected = value;
    if (type == platform::kRegSz && (expected.empty() || expected.back() != '\0')) {
        expected += '\0';
    }
    const Read written = query(key, name);
    require(written.result == platform::kRegSuccess && written.type == type &&
                written.bytes == expected,
            "the value reads back as written", written.bytes);
    if (!platform::sameIgnoringAsciiCase(name, other)) {
        require(sameRead(before, query(key, other)), "another value unchanged by the write",
                before.bytes);
    }
    checkSubKey(key, subKey);
    platform::regCloseKey(key);
    return 0;
}
