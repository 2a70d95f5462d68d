// Settings in a private profile file next to the program: a record is a section (named by the
// whole record name, backslashes and all), a value is a "name=value" line in it.
#pragma once

#include "settings/ASettingsStore.h"

#include <cstddef>
#include <string>

class CIniSettingsStore : public ASettingsStore {
public:
    // `defaultSection` serves operations with an empty record name. The file is `fileName` in the
    // program's own directory, whatever the current directory is; it is not touched until used.
    CIniSettingsStore(std::string defaultSection, std::string fileName);
    ~CIniSettingsStore() override;

    std::string getValue(std::string name, std::string defaultValue, std::string record) override;
    bool setValue(std::string name, std::string value, std::string record) override;

    const std::string& getPath() const { return path; }

    // Size of the buffer a value is read into; longer values come back cut to one less.
    static constexpr std::size_t kValueBufferSize = 4096;

private:
    std::string defaultSection;
    std::string path;
};
