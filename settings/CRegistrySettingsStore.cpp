#include "settings/CRegistrySettingsStore.h"

#include <cstring>

CRegistrySettingsStore::CRegistrySettingsStore(platform::RegKey root, std::string keyPath,
                                               bool createMissing)
    : key(nullptr), createMissing(createMissing) {
    if (platform::regOpenKey(root, keyPath, createMissing, key) != platform::kRegSuccess) {
        key = nullptr;
    }
}

CRegistrySettingsStore::~CRegistrySettingsStore() {
    if (key != nullptr) {
        platform::regCloseKey(key);
    }
}

bool CRegistrySettingsStore::textOfBuffer(const char* buffer, std::size_t size, std::string& text) {
    const void* zero = std::memchr(buffer, '\0', size);
    if (zero == nullptr) {
        return false;
    }
    text.assign(buffer, static_cast<const char*>(zero));
    return true;
}

// Each operation on a record opens the record's key afresh, works on it as on the store's own
// place, and closes it again; nothing is cached between operations.
std::string CRegistrySettingsStore::getValue(std::string name, std::string defaultValue,
                                             std::string record) {
    if (key == nullptr) {
        return defaultValue;
    }
    if (!record.empty()) {
        CRegistrySettingsStore recordStore(key, record, createMissing);
        return recordStore.getValue(name, defaultValue, std::string());
    }
    char buffer[kValueBufferSize];
    buffer[0] = '\0';
    std::uint32_t type = platform::kRegNone;
    std::uint32_t size = sizeof buffer;
    if (platform::regQueryValue(key, name, type, buffer, size) != platform::kRegSuccess ||
        type != platform::kRegSz || size > sizeof buffer) {
        return defaultValue;
    }
    std::string text;
    return textOfBuffer(buffer, size, text) ? text : defaultValue;
}

bool CRegistrySettingsStore::setNumber(std::string name, std::uint32_t number, std::string record) {
    if (key == nullptr) {
        return false;
    }
    if (!record.empty()) {
        CRegistrySettingsStore recordStore(key, record, createMissing);
        return recordStore.setNumber(name, number, std::string());
    }
    if (name.empty()) {
        return platform::regDeleteKey(key, std::string()) == platform::kRegSuccess;
    }
    unsigned char data[sizeof number];
    std::memcpy(data, &number, sizeof number);
    return platform::regSetValue(key, name, platform::kRegDword, data, sizeof data) ==
           platform::kRegSuccess;
}

bool CRegistrySettingsStore::deleteRecord(std::string record) {
    if (key == nullptr || record.empty()) {
        return false;
    }
    const long result = platform::regDeleteKey(key, record);
    return result == platform::kRegSuccess || result == platform::kRegFileNotFound;
}

bool CRegistrySettingsStore::setValue(std::string name, std::string value, std::string record) {
    if (key == nullptr) {
        return false;
    }
    if (!record.empty()) {
        CRegistrySettingsStore recordStore(key, record, createMissing);
        return recordStore.setValue(name, value, std::string());
    }
    if (name.empty()) {
        return platform::regDeleteKey(key, std::string()) == platform::kRegSuccess;
    }
    if (value.empty()) {
        return platform::regDeleteValue(key, name) == platform::kRegSuccess;
    }
    return platform::regSetValue(key, name, platform::kRegSz, value.c_str(),
                                 static_cast<std::uint32_t>(value.size() + 1)) ==
           platform::kRegSuccess;
}
