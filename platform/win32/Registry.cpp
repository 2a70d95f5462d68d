#include "platform/Registry.h"

#include <windows.h>

namespace platform {

namespace {

HKEY toHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}
RegKey fromHkey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}

} // namespace

RegKey regCurrentUser() {
    return fromHkey(HKEY_CURRENT_USER);
}
RegKey regLocalMachine() {
    return fromHkey(HKEY_LOCAL_MACHINE);
}

long regOpenKey(RegKey root, const std::string& path, bool create, RegKey& opened) {
    HKEY key = nullptr;
    LONG result;
    if (create) {
        result = RegCreateKeyExA(toHkey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr);
    } else {
        result = RegOpenKeyExA(toHkey(root), path.c_str(), 0, KEY_ALL_ACCESS, &key);
    }
    opened = result == ERROR_SUCCESS ? fromHkey(key) : nullptr;
    return result;
}

std::string regRefusal(RegKey, const std::string&) {
    return std::string();
}

long regQueryValue(RegKey key, const std::string& name, std::uint32_t& type, void* data,
                   std::uint32_t& size) {
    DWORD valueType = REG_NONE;
    DWORD valueSize = size;
    const LONG result = RegQueryValueExA(toHkey(key), name.c_str(), nullptr, &valueType,
                                         static_cast<BYTE*>(data), &valueSize);
    type = valueType;
    size = valueSize;
    return result;
}

long regSetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                 std::uint32_t size) {
    return RegSetValueExA(toHkey(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

long regDeleteValue(RegKey key, const std::string& name) {
    return RegDeleteValueA(toHkey(key), name.c_str());
}

long regDeleteKey(RegKey key, const std::string& subKey) {
    return RegDeleteKeyA(toHkey(key), subKey.c_str());
}

void regCloseKey(RegKey key) {
    RegCloseKey(toHkey(key));
}

} // namespace platform
