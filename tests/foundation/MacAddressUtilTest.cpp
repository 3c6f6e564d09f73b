#include "foundation/MacAddressUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <initializer_list>

namespace {

struct Adapter {
    const char* gateway;
    std::vector<BYTE> address;
    std::vector<const char*> ipv4;
    const char* name = "{ADAPTER}";
};

// A synthetic adapter table, chained as the system chains it.
class AdapterTable {
public:
    AdapterTable(std::initializer_list<Adapter> list)
    {
        for (const Adapter& a : list) {
            IP_ADAPTER_INFO& info = adapters.emplace_back();
            info = {};
            std::strncpy(info.AdapterName, a.name, sizeof info.AdapterName - 1);
            std::strncpy(info.Description, "Synthetic adapter", sizeof info.Description - 1);
            std::strncpy(info.GatewayList.IpAddress.String, a.gateway, sizeof info.GatewayList.IpAddress.String - 1);
            info.AddressLength = static_cast<UINT>(a.address.size());
            std::memcpy(info.Address, a.address.data(), std::min(a.address.size(), sizeof info.Address));
            IP_ADDR_STRING* entry = &info.IpAddressList;
            for (size_t i = 0; i < a.ipv4.size(); ++i) {
                if (i > 0) {
                    entry->Next = &extraAddresses.emplace_back();
                    *entry->Next = {};
                    entry = entry->Next;
                }
                std::strncpy(entry->IpAddress.String, a.ipv4[i], sizeof entry->IpAddress.String - 1);
            }
            if (adapters.size() > 1) {
                adapters[adapters.size() - 2].Next = &info;
            }
        }
    }

    const IP_ADAPTER_INFO* First() const { return adapters.empty() ? nullptr : &adapters.front(); }

private:
    std::deque<IP_ADAPTER_INFO> adapters;
    std::deque<IP_ADDR_STRING> extraAddresses;
};

const std::vector<BYTE> MAC_A = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::vector<BYTE> MAC_B = {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03};

std::vector<std::wstring> MacsOf(const std::vector<SAdapterInfo>& adapters)
{
    std::vector<std::wstring> macs;
    for (const auto& a : adapters) {
        macs.push_back(a.macAddress);
    }
    return macs;
}

TEST(MachineIdentity, OnlyAdaptersWithGatewayAddressAndIpv4AddressQualifyInTableOrder)
{
    struct Case {
        const char* name;
        AdapterTable table;
        std::vector<std::wstring> macs;
    };
    const Case cases[] = {
        {"no adapters", AdapterTable{}, {}},
        {"gateway 0.0.0.0 first",
         AdapterTable{{"0.0.0.0", MAC_B, {"192.0.2.7"}}, {"192.0.2.1", MAC_A, {"192.0.2.8"}}},
         {L"00-1A-2B-3C-4D-5E"}},
        {"both qualify",
         AdapterTable{{"192.0.2.1", MAC_B, {"192.0.2.7"}}, {"192.0.2.1", MAC_A, {"192.0.2.8"}}},
         {L"AA-BB-CC-01-02-03", L"00-1A-2B-3C-4D-5E"}},
        {"empty gateway text counts as a gateway", AdapterTable{{"", MAC_A, {"192.0.2.8"}}}, {L"00-1A-2B-3C-4D-5E"}},
        {"five-byte address",
         AdapterTable{{"192.0.2.1", {0x00, 0x1A, 0x2B, 0x3C, 0x4D}, {"192.0.2.8"}}},
         {L"00-1A-2B-3C-4D-00"}},
        {"four-byte address", AdapterTable{{"192.0.2.1", {0x00, 0x1A, 0x2B, 0x3C}, {"192.0.2.8"}}}, {}},
        {"only ipv4 address 0.0.0.0", AdapterTable{{"192.0.2.1", MAC_A, {"0.0.0.0"}}}, {}},
        {"0.0.0.0 then a real ipv4 address",
         AdapterTable{{"192.0.2.1", MAC_A, {"0.0.0.0", "192.0.2.8"}}},
         {L"00-1A-2B-3C-4D-5E"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MacsOf(QualifyingAdapters(c.table.First())), c.macs) << c.name;
    }
}

TEST(MachineIdentity, RecordHoldsNameDescriptionAndTheIpv4AddressesThatDoNotBeginWithZero)
{
    const AdapterTable table{{"192.0.2.1", MAC_A, {"192.0.2.8", "0.0.0.0", "198.51.100.3"}, "{4D36E972}"}};
    const auto adapters = QualifyingAdapters(table.First());
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].adapterName, L"{4D36E972}");
    EXPECT_EQ(adapters[0].description, L"Synthetic adapter");
    EXPECT_EQ(adapters[0].ipv4Addresses, (std::vector<std::wstring>{L"192.0.2.8", L"198.51.100.3"}));
}

// Answers like GetAdaptersInfo from a synthetic table, or with a fixed error.
struct FakeSystem {
    const AdapterTable* table = nullptr;
    ULONG sizeError = ERROR_BUFFER_OVERFLOW;
    ULONG readError = NO_ERROR;
    int growthsLeft = 0;
    int calls = 0;

    AdapterTableQuery Query()
    {
        return [this](IP_ADAPTER_INFO* buffer, ULONG* size) -> ULONG {
            ++calls;
            const ULONG needed = sizeof(IP_ADAPTER_INFO) * (growthsLeft + 1);
            if (buffer == nullptr) {
                *size = needed;
                return sizeError;
            }
            if (growthsLeft > 0) {
                --growthsLeft;
                *size = sizeof(IP_ADAPTER_INFO) * (growthsLeft + 1);
                return ERROR_BUFFER_OVERFLOW;
            }
            if (readError != NO_ERROR) {
                return readError;
            }
            // The first record in the buffer; the rest stay chained behind it.
            *buffer = *table->First();
            return NO_ERROR;
        };
    }
};

TEST(MachineIdentity, IdIsTheFirstQualifyingAdapterAndStaysOnceFound)
{
    const AdapterTable plugged{{"0.0.0.0", MAC_B, {"192.0.2.7"}}, {"192.0.2.1", MAC_A, {"192.0.2.8"}}};
    FakeSystem system;
    system.table = &plugged;
    CSMacAddressUtil util;
    std::string id;
    ASSERT_TRUE(util.MacAddressString(system.Query(), &id));
    EXPECT_EQ(id, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(system.calls, 2);

    // Unplugged: the table is no longer read and the id does not change.
    system.sizeError = ERROR_NO_DATA;
    id.clear();
    ASSERT_TRUE(util.MacAddressString(system.Query(), &id));
    EXPECT_EQ(id, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(system.calls, 2);
}

TEST(MachineIdentity, NoAdapterGivesAnEmptyIdAndIsAskedAgainNextTime)
{
    FakeSystem system;
    system.sizeError = ERROR_NO_DATA;
    CSMacAddressUtil util;
    ASSERT_TRUE(util.Refresh(system.Query()));
    EXPECT_TRUE(util.Adapters().empty());

    std::string id = "previous";
    ASSERT_TRUE(util.MacAddressString(system.Query(), &id));
    EXPECT_EQ(id, "");
    const int callsBefore = system.calls;
    ASSERT_TRUE(util.MacAddressString(system.Query(), &id));
    EXPECT_EQ(system.calls, callsBefore + 1);
}

TEST(MachineIdentity, UnreadableTableIsAFailureWithAnEmptyListAndTheIdUnchanged)
{
    const AdapterTable plugged{{"192.0.2.1", MAC_A, {"192.0.2.8"}}};
    struct Case {
        const char* name;
        ULONG sizeError;
        ULONG readError;
    };
    const Case cases[] = {
        {"size query refused", ERROR_NOT_SUPPORTED, NO_ERROR},
        {"size query answers success without a buffer", NO_ERROR, NO_ERROR},
        {"read refused", ERROR_BUFFER_OVERFLOW, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        FakeSystem good;
        good.table = &plugged;
        CSMacAddressUtil util;
        ASSERT_TRUE(util.Refresh(good.Query()));
        ASSERT_EQ(util.Adapters().size(), 1u);

        FakeSystem bad;
        bad.table = &plugged;
        bad.sizeError = c.sizeError;
        bad.readError = c.readError;
        EXPECT_FALSE(util.Refresh(bad.Query())) << c.name;
        EXPECT_TRUE(util.Adapters().empty()) << c.name;
        std::string id = "kept";
        EXPECT_FALSE(util.MacAddressString(bad.Query(), &id)) << c.name;
        EXPECT_EQ(id, "kept") << c.name;
    }
}

TEST(MachineIdentity, TableThatGrowsBetweenSizeQueryAndReadIsReadWithTheNewSize)
{
    const AdapterTable plugged{{"192.0.2.1", MAC_A, {"192.0.2.8"}}};
    FakeSystem system;
    system.table = &plugged;
    system.growthsLeft = 2;
    CSMacAddressUtil util;
    ASSERT_TRUE(util.Refresh(system.Query()));
    EXPECT_EQ(MacsOf(util.Adapters()), std::vector<std::wstring>{L"00-1A-2B-3C-4D-5E"});

    // A table that never stops growing is given up.
    FakeSystem runaway;
    runaway.table = &plugged;
    runaway.growthsLeft = 1000;
    EXPECT_FALSE(util.Refresh(runaway.Query()));
}

TEST(MachineIdentity, SystemTableReadsAndGivesTheFirstListedAddressOrNothing)
{
    ASSERT_TRUE(CSMacAddressUtil::RefreshAdapters());
    std::string id;
    ASSERT_TRUE(GetMacAddressString(&id));
    const auto& adapters = g_macAddressUtil.Adapters();
    if (adapters.empty()) {
        EXPECT_EQ(id, "");
        return;
    }
    EXPECT_EQ(id.size(), 17u);
    EXPECT_EQ(std::wstring(id.begin(), id.end()), adapters.front().macAddress);
}

} // namespace
