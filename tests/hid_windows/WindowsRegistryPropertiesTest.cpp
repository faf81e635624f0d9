// The 26 registry properties: which are read, in which order, into which
// buffers, and how each kind of value is taken out of its buffer.
#include "hid/windows/WindowsRegistryProperties.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace lumidra::hid {
namespace {

// SPDRP_ codes and the buffer each is read into, in the order of the calls.
const std::vector<std::pair<std::uint32_t, std::uint32_t>> ExpectedReads = {
    {15, 4},     {7, 1024},  {8, 1024},   {2, 16384}, {10, 4},    {0, 1024},  {9, 1024},  {12, 1024}, {1, 16384},
    {18, 16384}, {11, 1024}, {17, 16384}, {4, 1024},  {28, 1024}, {21, 4},    {19, 1024}, {27, 1024}, {25, 4},
    {22, 1024},  {26, 4},    {20, 4},     {13, 1024}, {14, 1024}, {24, 1024}, {16, 4},    {30, 1024},
};

TEST(WindowsRegistryProperties, ReadsTheTwentySixPropertiesInOrderIntoPresetBuffers) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reads;
    const auto properties = ReadRegistryProperties([&](std::uint32_t code, std::uint8_t* buffer, std::uint32_t size) {
        reads.emplace_back(code, size);
        // Absent property: the buffer must come preset to "nothing".
        for (std::uint32_t i = 0; i < size; ++i) EXPECT_EQ(buffer[i], 0) << code << " @" << i;
        return false;
    });
    EXPECT_EQ(reads, ExpectedReads);
    // Nothing there: zero numbers, empty texts, empty lists.
    EXPECT_EQ(properties.Capabilities, 0u);
    EXPECT_EQ(properties.UINumber, 0u);
    EXPECT_TRUE(properties.Class.empty());
    EXPECT_TRUE(properties.UINumberDescFormat.empty());
    EXPECT_TRUE(properties.HardwareID.empty());
    EXPECT_TRUE(properties.UpperFilters.empty());
}

// Writes a value that names its own code, so a property stored in the wrong
// member shows.
bool WriteOwnCode(std::uint32_t code, std::uint8_t* buffer, std::uint32_t size) {
    const std::string name = "p" + std::to_string(code);
    if (size == RegistryNumberBytes) {
        const std::uint32_t value = 1000 + code;
        std::memcpy(buffer, &value, sizeof(value));
    } else if (size == RegistryTextBytes) {
        std::memcpy(buffer, name.c_str(), name.size() + 1);
    } else {
        // Ends at the first empty entry, whatever follows it.
        const std::string list = name + "a" + '\0' + name + "b" + '\0' + '\0' + "later" + '\0';
        std::memcpy(buffer, list.data(), list.size());
    }
    return true;
}

TEST(WindowsRegistryProperties, EachPropertyLandsInItsOwnMember) {
    const auto p = ReadRegistryProperties(&WriteOwnCode);
    using List = std::vector<std::string>;
    EXPECT_EQ(p.Capabilities, 1015u);
    EXPECT_EQ(p.Class, "p7");
    EXPECT_EQ(p.ClassGUID, "p8");
    EXPECT_EQ(p.CompatibleIDs, (List{"p2a", "p2b"}));
    EXPECT_EQ(p.ConfigFlags, 1010u);
    EXPECT_EQ(p.DeviceDesc, "p0");
    EXPECT_EQ(p.Driver, "p9");
    EXPECT_EQ(p.FriendlyName, "p12");
    EXPECT_EQ(p.HardwareID, (List{"p1a", "p1b"}));
    EXPECT_EQ(p.LowerFilters, (List{"p18a", "p18b"}));
    EXPECT_EQ(p.Mfg, "p11");
    EXPECT_EQ(p.UpperFilters, (List{"p17a", "p17b"}));
    EXPECT_EQ(p.Address, "p28");
    EXPECT_EQ(p.BusNumber, 1021u);
    EXPECT_EQ(p.BusTypeGUID, "p19");
    EXPECT_EQ(p.Characteristics, "p27");
    EXPECT_EQ(p.DevType, 1025u);
    EXPECT_EQ(p.EnumeratorName, "p22");
    EXPECT_EQ(p.Exclusive, 1026u);
    EXPECT_EQ(p.LegacyBusType, 1020u);
    EXPECT_EQ(p.LocationInformation, "p13");
    EXPECT_EQ(p.PhysicalDeviceObjectName, "p14");
    EXPECT_EQ(p.SecuritySDS, "p24");
    EXPECT_EQ(p.Service, "p4");
    EXPECT_EQ(p.UINumber, 1016u);
    EXPECT_EQ(p.UINumberDescFormat, "p30");
}

TEST(WindowsRegistryProperties, ValuesWithoutTerminatorStayInsideTheirBuffer) {
    // A text filling its whole buffer, and a list whose last entry runs to the
    // end: nothing past the buffer, nothing from an earlier property.
    const auto p = ReadRegistryProperties([](std::uint32_t code, std::uint8_t* buffer, std::uint32_t size) {
        if (code == 8) std::memset(buffer, 'g', size);  // ClassGUID, read before DeviceDesc
        if (code == 0) std::memcpy(buffer, "desc", 4);  // no NUL of its own
        if (code == 1) {
            std::memset(buffer, 'h', size);
            buffer[2] = 0;
        }
        return true;
    });
    EXPECT_EQ(p.ClassGUID, std::string(RegistryTextBytes, 'g'));
    EXPECT_EQ(p.DeviceDesc, "desc");
    ASSERT_EQ(p.HardwareID.size(), 2u);
    EXPECT_EQ(p.HardwareID[0], "hh");
    EXPECT_EQ(p.HardwareID[1], std::string(RegistryTextListBytes - 3, 'h'));
}

}  // namespace
}  // namespace lumidra::hid
