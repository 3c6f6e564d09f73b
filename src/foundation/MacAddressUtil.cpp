#include "foundation/MacAddressUtil.h"

#include <cstring>
#include <memory>
#include <new>

CSMacAddressUtil g_macAddressUtil;

namespace {

// A hardware address of 5 bytes still qualifies; its sixth byte of text is
// whatever the table holds there.
constexpr UINT MIN_ADDRESS_LENGTH = 5;
constexpr size_t MAC_ADDRESS_BYTES = 6;
// An adapter added between the size query and the read makes the table grow;
// the read is tried again with the new size, a few times at most.
constexpr int MAX_TABLE_READS = 4;

template <size_t N> std::wstring FromAnsi(const char (&text)[N])
{
    const int length = static_cast<int>(strnlen(text, N));
    if (length == 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length);
    wide.resize(static_cast<size_t>(written > 0 ? written : 0));
    return wide;
}

bool BeginsWithZero(const IP_ADDRESS_STRING& address)
{
    return address.String[0] == '0';
}

std::wstring FormatMacAddress(const BYTE* address)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (size_t i = 0; i < MAC_ADDRESS_BYTES; ++i) {
        if (i > 0) {
            text.push_back(L'-');
        }
        text.push_back(digits[address[i] >> 4]);
        text.push_back(digits[address[i] & 0x0F]);
    }
    return text;
}

ULONG QuerySystemAdapterTable(IP_ADAPTER_INFO* buffer, ULONG* size)
{
    return GetAdaptersInfo(buffer, size);
}

} // namespace

std::vector<SAdapterInfo> QualifyingAdapters(const IP_ADAPTER_INFO* first)
{
    std::vector<SAdapterInfo> qualifying;
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        // Only the first gateway counts; 0.0.0.0 stands for none.
        if (BeginsWithZero(adapter->GatewayList.IpAddress) || adapter->AddressLength < MIN_ADDRESS_LENGTH) {
            continue;
        }
        SAdapterInfo info;
        for (const IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr; ip = ip->Next) {
            if (!BeginsWithZero(ip->IpAddress)) {
                info.ipv4Addresses.push_back(FromAnsi(ip->IpAddress.String));
            }
        }
        if (info.ipv4Addresses.empty()) {
            continue;
        }
        info.adapterName = FromAnsi(adapter->AdapterName);
        info.description = FromAnsi(adapter->Description);
        info.macAddress = FormatMacAddress(adapter->Address);
        qualifying.push_back(std::move(info));
    }
    return qualifying;
}

bool CSMacAddressUtil::RefreshAdapters()
{
    return g_macAddressUtil.Refresh(QuerySystemAdapterTable);
}

bool CSMacAddressUtil::Refresh(const AdapterTableQuery& query)
{
    adapters.clear();
    ULONG size = 0;
    ULONG result = query(nullptr, &size);
    if (result == ERROR_NO_DATA) {
        return true;
    }
    for (int read = 0; read < MAX_TABLE_READS && result == ERROR_BUFFER_OVERFLOW; ++read) {
        const size_t count = (size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO);
        std::unique_ptr<IP_ADAPTER_INFO[]> table(new (std::nothrow) IP_ADAPTER_INFO[count]);
        if (table == nullptr) {
            return false;
        }
        size = static_cast<ULONG>(count * sizeof(IP_ADAPTER_INFO));
        result = query(table.get(), &size);
        if (result == NO_ERROR) {
            adapters = QualifyingAdapters(table.get());
            return true;
        }
    }
    return false;
}

bool CSMacAddressUtil::MacAddressString(const AdapterTableQuery& query, std::string* out)
{
    if (adapters.empty() && !Refresh(query)) {
        return false;
    }
    std::string text;
    if (!adapters.empty()) {
        const std::wstring& mac = adapters.front().macAddress;
        const int length =
            WideCharToMultiByte(CP_ACP, 0, mac.c_str(), static_cast<int>(mac.size()), nullptr, 0, nullptr, nullptr);
        if (length > 0) {
            text.resize(static_cast<size_t>(length));
            WideCharToMultiByte(CP_ACP, 0, mac.c_str(), static_cast<int>(mac.size()), text.data(), length, nullptr,
                                nullptr);
        }
    }
    if (out != nullptr) {
        *out = std::move(text);
    }
    return true;
}

bool GetMacAddressString(std::string* out)
{
    return g_macAddressUtil.MacAddressString(QuerySystemAdapterTable, out);
}
