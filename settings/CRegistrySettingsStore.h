// Settings in one registry key: a record is a key below it ("Detected\0001" is the key "0001"
// inside "Detected"), a value is a text value of that key.
#pragma once

#include "platform/Registry.h"
#include "settings/ASettingsStore.h"

#include <cstddef>
#include <string>

class CRegistrySettingsStore : public ASettingsStore {
public:
    // Opens `keyPath` below `root` with full access; with `createMissing`, creates it (and the
    // keys of records when they are used) when missing. A key that cannot be opened leaves the
    // store unopened: it reads defaults and fails every write.
    CRegistrySettingsStore(platform::RegKey root, std::string keyPath, bool createMissing);
    ~CRegistrySettingsStore() override;

    CRegistrySettingsStore(const CRegistrySettingsStore&) = delete;
    CRegistrySettingsStore& operator=(const CRegistrySettingsStore&) = delete;

    std::string getValue(std::string name, std::string defaultValue, std::string record) override;
    bool setNumber(std::string name, std::uint32_t number, std::string record) override;
    bool setValue(std::string name, std::string value, std::string record) override;
    // Deletes the record's key, never creating it first; a key with keys below it stays.
    bool deleteRecord(std::string record) override;

    // Size of the buffer a text value is read into; longer values read as the default.
    static constexpr std::size_t kValueBufferSize = 4096;

    // The text of a REG_SZ value read into a buffer: its bytes up to the first zero. Without a
    // zero among the `size` bytes read the value was not stored whole, and there is no text.
    static bool textOfBuffer(const char* buffer, std::size_t size, std::string& text);

private:
    platform::RegKey key;
    bool createMissing;
};
