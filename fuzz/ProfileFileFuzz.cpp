// The settings file (qvproxy.ini) as anything may have left it: reading never fails badly, and
// writing or deleting one key keeps every other key of the stored records as it read.
//
// Input (FuzzedDataProvider): the value to write as a text from the front, the choice of
// section, key and the other key from the back, the rest is the file.
#include "Property.h"
#include "ScratchFolder.h"

#include "platform/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using fuzzing::require;

constexpr std::size_t kMaxText = 64;
constexpr std::size_t kBuffer = 2048;
constexpr const char* kDefault = "(none)";
// The sections and keys the program's records use.
constexpr const char* kSections[] = {"Manual", "LastGood", "Detected\\0000", "Detected\\0001"};
constexpr const char* kKeys[] = {"ProxyMethod", "ProxyHost", "ProxyPort", "Address", "Port"};

struct Entry {
    const char* section;
    const char* key;
};

Entry pick(FuzzedDataProvider& input) {
    return {input.PickValueInArray(kSections), input.PickValueInArray(kKeys)};
}

std::string read(const Entry& entry, const std::string& path, std::size_t size = kBuffer) {
    char buffer[kBuffer];
    const std::size_t length =
        platform::getProfileString(entry.section, entry.key, kDefault, buffer, size, path);
    require(length < size && buffer[length] == '\0', "a terminated text within the buffer",
            std::string(buffer, length < size ? length : size));
    return std::string(buffer, length);
}

// Values as the records hold them: host names, numbers.
std::string recordValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') {
            value += c;
        }
    }
    return value.empty() ? "0" : value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::ScratchFolder folder("profile");
    FuzzedDataProvider input(data, size);
    const std::string value = recordValue(input.ConsumeRandomLengthString(kMaxText));
    const Entry entry = pick(input);
    const Entry other = pick(input);
    const auto shortBuffer = input.ConsumeIntegralInRange<std::size_t>(1, 16);
    const bool sameEntry = entry.section == other.section && entry.key == other.key;
    const std::string path = folder.writeFile("qvproxy.ini", input.ConsumeRemainingBytesAsString());

    const std::string before = read(other, path);
    read(other, path, shortBuffer);
    require(platform::writeProfileString(entry.section, std::string(entry.key), value, path),
            "the key is written");
    require(read(entry, path) == value, "the key reads back as written", read(entry, path));
    if (!sameEntry) {
        require(read(other, path) == before, "another key unchanged by the write",
                read(other, path));
    }
    require(platform::writeProfileString(entry.section, std::string(entry.key), std::nullopt, path),
            "the key is deleted");
    if (!sameEntry) {
        require(read(other, path) == before, "another key unchanged by the delete",
                read(other, path));
    }
    if (entry.section != other.section) {
        require(platform::writeProfileString(entry.section, std::nullopt, std::nullopt, path),
                "the section is deleted");
        require(read(other, path) == before, "another section unchanged by the delete",
                read(other, path));
    }
    return 0;
}
