// An in-memory store for tests: keeps values per record, records every call, and can be told to
// fail its writes.
#pragma once

#include "settings/ASettingsStore.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qvtest {

class MemoryStore : public ASettingsStore {
public:
    explicit MemoryStore(std::string label = "") : label(std::move(label)) {}

    std::string getValue(std::string name, std::string defaultValue, std::string record) override {
        calls.push_back(label + " get " + record + "/" + name);
        const auto found = values.find({record, name});
        return found == values.end() ? defaultValue : found->second;
    }

    bool setValue(std::string name, std::string value, std::string record) override {
        calls.push_back(label + " set " + record + "/" + name + "=" + value);
        if (failWrites) {
            return false;
        }
        if (name.empty()) {
            for (auto it = values.begin(); it != values.end();) {
                it = it->first.first == record ? values.erase(it) : std::next(it);
            }
        } else if (value.empty()) {
            values.erase({record, name});
        } else {
            values[{record, name}] = value;
        }
        return true;
    }

    // The stored value, or "" when absent.
    std::string at(const std::string& record, const std::string& name) const {
        const auto found = values.find({record, name});
        return found == values.end() ? std::string() : found->second;
    }
    void put(const std::string& record, const std::string& name, const std::string& value) {
        values[{record, name}] = value;
    }

    std::string label;
    std::map<std::pair<std::string, std::string>, std::string> values; // (record, name) -> value
    std::vector<std::string> calls;
    bool failWrites = false;
};

} // namespace qvtest
