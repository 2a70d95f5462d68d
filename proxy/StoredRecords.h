// The records the connector keeps in a settings store, and how their texts are read.
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ASettingsStore;

namespace records {

constexpr const char* kManual = "Manual";
constexpr const char* kLastGood = "LastGood";
// The list of what the last probe found: the records "Detected\0000" to "Detected\0099", kept
// below the record "Detected" in a registry key.
constexpr const char* kDetected = "Detected";
constexpr const char* kDetectedPrefix = "Detected\\";
constexpr int kMaxDetected = 100;

// The five values of every record; an empty ProxyMethod means the record is absent.
constexpr const char* kProxyMethod = "ProxyMethod";
constexpr const char* kProxyHost = "ProxyHost";
constexpr const char* kProxyPort = "ProxyPort";
constexpr const char* kAddress = "Address";
constexpr const char* kPort = "Port";
constexpr const char* kNumberDefault = "0";

// "Detected\" and the index in four digits with leading zeros.
std::string detectedName(int index);

// A stored number as atoi reads it: leading blanks, an optional sign, the digits up to the first
// other character; 0 without digits. Values beyond 32 bits stop at the nearest limit instead of
// being undefined.
std::int32_t readInteger(const std::string& text);

// A record is stale when no entry of the target list names its target; the port is compared cut
// to 16 bits, as it is logged.
bool isStale(const TargetList& targets, const std::string& address, std::int32_t port);

// The candidates that connected, as indices into `candidates`, in the order they are written as
// the Detected records: pass by pass (their write order), and within a pass as tried.
std::vector<std::size_t> detectedOrder(const std::vector<ProxyCandidate>& candidates);

// Writes the routes that worked as the Detected list, replacing the list an earlier probe left,
// unless none worked: an outage then loses nothing.
void writeDetected(const std::vector<ProxyCandidate>& candidates, ASettingsStore& store);

} // namespace records
