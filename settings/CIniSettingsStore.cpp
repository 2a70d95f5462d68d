#include "settings/CIniSettingsStore.h"

#include "platform/Process.h"
#include "platform/ProfileFile.h"

#include <optional>

CIniSettingsStore::CIniSettingsStore(std::string defaultSection, std::string fileName)
    : defaultSection(std::move(defaultSection)),
      path(platform::programDirectory() + std::move(fileName)) {}

CIniSettingsStore::~CIniSettingsStore() = default;

std::string CIniSettingsStore::getValue(std::string name, std::string defaultValue,
                                        std::string record) {
    const std::string& section = record.empty() ? defaultSection : record;
    char buffer[kValueBufferSize];
    const std::size_t length =
        platform::getProfileString(section, name, defaultValue, buffer, sizeof buffer, path);
    return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

bool CIniSettingsStore::setValue(std::string name, std::string value, std::string record) {
    const std::string& section = record.empty() ? defaultSection : record;
    std::optional<std::string> key;
    std::optional<std::string> text;
    if (!name.empty()) {
        key = std::move(name);
    }
    if (!value.empty()) {
        text = std::move(value);
    }
    return platform::writeProfileString(section, key, text, path);
}
