// Two stores seen as one: reads prefer the first and fall back to the second, writes go to both,
// and with `mirror` a value read from one is copied into the other.
#pragma once

#include "settings/ASettingsStore.h"

class CLayeredSettingsStore : public ASettingsStore {
public:
    // Both stores are borrowed and must outlive the layered store.
    CLayeredSettingsStore(ASettingsStore& first, ASettingsStore& second, bool mirror);
    ~CLayeredSettingsStore() override;

    std::string getValue(std::string name, std::string defaultValue, std::string record) override;
    bool setValue(std::string name, std::string value, std::string record) override;
    bool deleteRecord(std::string record) override;

private:
    ASettingsStore& first;
    ASettingsStore& second;
    bool mirror;
};
