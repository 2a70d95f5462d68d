#include "settings/CLayeredSettingsStore.h"

CLayeredSettingsStore::CLayeredSettingsStore(ASettingsStore& first, ASettingsStore& second,
                                             bool mirror)
    : first(first), second(second), mirror(mirror) {}

CLayeredSettingsStore::~CLayeredSettingsStore() = default;

std::string CLayeredSettingsStore::getValue(std::string name, std::string defaultValue,
                                            std::string record) {
    // Both stores are always asked, so a store with side effects on read (a registry store that
    // creates the record's key) behaves the same whichever of them answers.
    const std::string fromFirst = first.getValue(name, defaultValue, record);
    const std::string fromSecond = second.getValue(name, defaultValue, record);
    if (fromFirst != defaultValue) {
        if (mirror) {
            second.setValue(name, fromFirst, record);
        }
        return fromFirst;
    }
    if (fromSecond != defaultValue) {
        if (mirror) {
            first.setValue(name, fromSecond, record);
        }
        return fromSecond;
    }
    return defaultValue;
}

bool CLayeredSettingsStore::deleteRecord(std::string record) {
    const bool firstDone = first.deleteRecord(record);
    const bool secondDone = second.deleteRecord(record);
    return firstDone && secondDone;
}

bool CLayeredSettingsStore::setValue(std::string name, std::string value, std::string record) {
    const bool firstDone = first.setValue(name, value, record);
    const bool secondDone = second.setValue(name, value, record);
    return firstDone && secondDone;
}
