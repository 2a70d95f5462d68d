// Named records of text values, wherever they are kept. A read answers the caller's default when
// the value is absent or unreadable, so a value equal to the default counts as absent; a write
// answers whether it succeeded. No store throws.
#pragma once

#include <cstdint>
#include <string>

class ASettingsStore {
public:
    virtual ~ASettingsStore();

    // The value `name` of `record`, or `defaultValue`. The empty record is the store's own place.
    virtual std::string getValue(std::string name, std::string defaultValue, std::string record);

    // Stores a 32-bit number in the store's own number type, where it has one.
    virtual bool setNumber(std::string name, std::uint32_t number, std::string record);

    // Stores `value` under `name` in `record`. An empty value deletes the value; an empty name
    // deletes the whole record.
    virtual bool setValue(std::string name, std::string value, std::string record);

    // Removes `record` with all its values, without making anything on the way. True when the
    // record is gone, also when it never was there. Here: setValue with an empty name.
    virtual bool deleteRecord(std::string record);
};
