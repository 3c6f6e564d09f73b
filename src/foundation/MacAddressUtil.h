// The machine id: the hardware address of the first network adapter, in the
// system's order, that has a gateway, a hardware address and an IPv4 address.
#pragma once

#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SAdapterInfo {
    std::wstring adapterName;
    std::wstring description;
    // "%02X-%02X-%02X-%02X-%02X-%02X" of the first six address bytes.
    std::wstring macAddress;
    // Dotted IPv4 addresses in the system's order, those beginning with '0'
    // left out; never empty in a listed record.
    std::vector<std::wstring> ipv4Addresses;
};

// Reads the adapter table the way GetAdaptersInfo does: with a null buffer it
// answers the size it needs.
using AdapterTableQuery = std::function<ULONG(IP_ADAPTER_INFO* buffer, ULONG* size)>;

// The adapters of the chain starting at `first` that qualify for the machine
// id, in chain order. Null is an empty table.
std::vector<SAdapterInfo> QualifyingAdapters(const IP_ADAPTER_INFO* first);

class CSMacAddressUtil {
public:
    virtual ~CSMacAddressUtil() = default;

    // Rebuilds the list of g_macAddressUtil from the system's adapter table.
    // True when the table was read, also when it holds no adapter.
    static bool RefreshAdapters();

    // Rebuilds this list from the table that `query` reads; the list is empty
    // whenever the result is false.
    bool Refresh(const AdapterTableQuery& query);

    // The first listed adapter's address as narrow text, refreshing through
    // `query` while the list is empty, so that a found id stays for the rest
    // of the process. False, with out unchanged, when the refresh failed;
    // true with an empty out when no adapter qualifies.
    bool MacAddressString(const AdapterTableQuery& query, std::string* out);

    const std::vector<SAdapterInfo>& Adapters() const { return adapters; }

private:
    std::vector<SAdapterInfo> adapters;
};

extern CSMacAddressUtil g_macAddressUtil;

// The machine id from g_macAddressUtil and the system's adapter table.
bool GetMacAddressString(std::string* out);
