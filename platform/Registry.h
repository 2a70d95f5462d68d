// Registry keys: the Windows registry, or on POSIX a tree of folders that keeps the same rules.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct RegKeyHandle;
using RegKey = RegKeyHandle*;

// The two predefined roots. Their values are those of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, so a RegKey converts to an HKEY and back unchanged.
RegKey regCurrentUser();
RegKey regLocalMachine();

// Value types as the registry numbers them.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

// Results are Windows system error codes; these are the ones the POSIX side produces.
constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;  // ERROR_FILE_NOT_FOUND: no such key or value
constexpr long kRegAccessDenied = 5;  // ERROR_ACCESS_DENIED: no rights, or the key has sub-keys
constexpr long kRegInvalidHandle = 6; // ERROR_INVALID_HANDLE
constexpr long kRegBadPathname = 161; // ERROR_BAD_PATHNAME
constexpr long kRegMoreData = 234;    // ERROR_MORE_DATA: the buffer is too small
constexpr long kRegKeyDeleted = 1018; // ERROR_KEY_DELETED: the handle's key was deleted
constexpr long kRegWriteFault = 29;   // ERROR_WRITE_FAULT: the value file could not be written

// Opens the key at `path` below `root` with full access; with `create`, creates it and every
// missing key on the way. Key names along the path are separated by backslashes.
long regOpenKey(RegKey root, const std::string& path, bool create, RegKey& opened);

// Why the key at `path` below `root` is not used though it may exist, for the log: on POSIX, a
// folder of it that another user owns or may write (such a key reads as kRegAccessDenied), or a
// per-user root without a home folder. Empty when nothing stands in the way, and on Windows,
// whose registry guards its keys itself.
std::string regRefusal(RegKey root, const std::string& path);

// Reads a value into `data`, whose size in bytes `size` gives. On return `size` holds the
// value's size (also when it did not fit, with kRegMoreData). A text value stored without its
// terminating zero gets one, as the Windows registry supplies it.
long regQueryValue(RegKey key, const std::string& name, std::uint32_t& type, void* data,
                   std::uint32_t& size);

long regSetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                 std::uint32_t size);
long regDeleteValue(RegKey key, const std::string& name);

// Deletes the key `subKey` below `key`, or `key` itself when `subKey` is empty. A key that has
// keys below it is not deleted (kRegAccessDenied).
long regDeleteKey(RegKey key, const std::string& subKey);

void regCloseKey(RegKey key);

} // namespace platform
