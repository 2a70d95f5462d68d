#include "settings/ASettingsStore.h"

#include <utility>

ASettingsStore::~ASettingsStore() = default;

std::string ASettingsStore::getValue(std::string, std::string defaultValue, std::string) {
    return defaultValue;
}

bool ASettingsStore::setNumber(std::string, std::uint32_t, std::string) {
    return false;
}

bool ASettingsStore::setValue(std::string, std::string, std::string) {
    return false;
}

bool ASettingsStore::deleteRecord(std::string record) {
    return setValue(std::string(), std::string(), std::move(record));
}
