// Writes a known set of records into a settings file next to this program, or checks that a file
// holds exactly that set. Run by one platform's build to write and by the other's to check; the
// read command prints one value of a given file, so that both builds can be asked alike.
#include "settings/CIniSettingsStore.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Setting {
    const char* record;
    const char* name;
    std::string value; // empty: must be absent
};

const std::vector<Setting>& expectedSettings() {
    static const std::vector<Setting> settings = {
        {"Manual", "ProxyMethod", "100"},
        {"Manual", "ProxyHost", "proxy.corp.example"},
        {"Manual", "ProxyPort", "3128"},
        {"LastGood", "ProxyMethod", "200"},
        {"LastGood", "Address", "updates.example.com"},
        {"LastGood", "Port", "443"},
        {"Detected\\0000", "ProxyMethod", "0"},
        {"Detected\\0001", "ProxyHost", "socks host with blanks"},
        {"Detected\\0001", "ProxyPort", ""},
        {"", "Note", "a=b;c"},
        {"Long", "Value", std::string(4095, 'L')},
        {"Gone", "Value", ""},
    };
    return settings;
}

bool write(const std::string& fileName) {
    CIniSettingsStore store("", fileName);
    // Values that are replaced, deleted one by one, or deleted with their whole record.
    bool ok = store.setValue("ProxyMethod", "1", "Manual");
    ok = store.setValue("ProxyPort", "1080", "Detected\\0001") && ok;
    ok = store.setValue("Value", "soon gone", "Gone") && ok;
    for (const Setting& s : expectedSettings()) {
        if (!s.value.empty()) {
            ok = store.setValue(s.name, s.value, s.record) && ok;
        }
    }
    ok = store.setValue("ProxyPort", "", "Detected\\0001") && ok;
    ok = store.setValue("", "", "Gone") && ok;
    return ok;
}

bool check(const std::string& fileName) {
    CIniSettingsStore store("", fileName);
    bool ok = true;
    for (const Setting& s : expectedSettings()) {
        const std::string expected = s.value.empty() ? "<absent>" : s.value;
        const std::string actual = store.getValue(s.name, "<absent>", s.record);
        if (actual != expected) {
            std::fprintf(stderr, "[%s] %s: expected '%.40s', read '%.40s'\n", s.record, s.name,
                         expected.c_str(), actual.c_str());
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "read") == 0) {
        CIniSettingsStore store("", argv[2]);
        std::printf("%s\n", store.getValue(argv[4], argv[5], argv[3]).c_str());
        return 0;
    }
    if (argc != 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "check") != 0)) {
        std::fprintf(stderr,
                     "usage: ini_interop_tool write|check FILE-NEXT-TO-PROGRAM\n"
                     "       ini_interop_tool read FILE-NEXT-TO-PROGRAM RECORD NAME DEFAULT\n");
        return 2;
    }
    const bool ok = std::strcmp(argv[1], "write") == 0 ? write(argv[2]) : check(argv[2]);
    return ok ? 0 : 1;
}
