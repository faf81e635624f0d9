#include "hid/linux/ReportDescriptor.h"
#include "tests/hid_linux/Fixtures.h"

#include <gtest/gtest.h>

#include <random>

namespace lumidra::hid::hidraw {
namespace {

namespace fx = lumidra::testing::fixtures;
using Bytes = std::vector<std::uint8_t>;

TEST(ReportDescriptor, BoardHas65ByteInputAndOutputReports) {
    const auto layout = ParseReportDescriptor(fx::BoardReportDescriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_FALSE(layout.NumberedReports);
    EXPECT_EQ(layout.InputReportByteLength, 65);
    EXPECT_EQ(layout.OutputReportByteLength, 65);
    EXPECT_EQ(layout.FeatureReportByteLength, 0);
    EXPECT_EQ(layout.UsagePage, 0xFF00);
    EXPECT_EQ(layout.Usage, 0x01);
    EXPECT_EQ(layout.InputBytes, (std::map<std::uint8_t, std::uint32_t>{{0, 64}}));
}

TEST(ReportDescriptor, KeyboardCountsBitsAcrossItems) {
    const auto layout = ParseReportDescriptor(fx::KeyboardReportDescriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_FALSE(layout.NumberedReports);
    EXPECT_EQ(layout.InputReportByteLength, 9);   // 8 + 8 + 6 * 8 bits = 8 bytes
    EXPECT_EQ(layout.OutputReportByteLength, 2);  // 5 LED bits + 3 padding bits
    EXPECT_EQ(layout.UsagePage, 0x01);
    EXPECT_EQ(layout.Usage, 0x06);
}

TEST(ReportDescriptor, NumberedReportsAreSizedPerReportId) {
    const auto layout = ParseReportDescriptor(fx::MouseReportDescriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_TRUE(layout.NumberedReports);
    EXPECT_EQ(layout.InputBytes, (std::map<std::uint8_t, std::uint32_t>{{2, 7}, {3, 4}, {0x11, 19}}));
    EXPECT_EQ(layout.OutputBytes, (std::map<std::uint8_t, std::uint32_t>{{0x11, 19}}));
    EXPECT_EQ(layout.InputReportByteLength, 20);  // largest report + its ID byte
    EXPECT_EQ(layout.OutputReportByteLength, 20);
    // The first top-level collection names the device, not the later ones
    // nor the nested physical collection.
    EXPECT_EQ(layout.UsagePage, 0x01);
    EXPECT_EQ(layout.Usage, 0x02);
    EXPECT_EQ(layout.CollectionCount, 4);
}

TEST(ReportDescriptor, PartialBytesRoundUpAndFeatureReportsCount) {
    const Bytes descriptor = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor page, collection
                              0x75, 0x03, 0x95, 0x03, 0x81, 0x02,        // 9 input bits -> 2 bytes
                              0x75, 0x08, 0x95, 0x05, 0xB1, 0x02,        // 5 feature bytes
                              0xC0};
    const auto layout = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_EQ(layout.InputReportByteLength, 3);
    EXPECT_EQ(layout.OutputReportByteLength, 0);
    EXPECT_EQ(layout.FeatureReportByteLength, 6);
    EXPECT_EQ(layout.UsagePage, 0xFFA0);
}

TEST(ReportDescriptor, PushAndPopRestoreGlobalState) {
    const Bytes descriptor = {0x05, 0x01, 0x09, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x04,  // 8 bits x 4
                              0xA4,                                                        // Push
                              0x75, 0x10, 0x95, 0x02,                                      // 16 bits x 2
                              0x81, 0x02,                                                  // 4 bytes
                              0xB4,                                                        // Pop: back to 8 x 4
                              0x81, 0x02,                                                  // 4 more bytes
                              0xC0};
    const auto layout = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_EQ(layout.InputReportByteLength, 9);
}

TEST(ReportDescriptor, LongItemsAreSkippedAndExtendedUsagesCarryTheirPage) {
    const Bytes descriptor = {0xFE, 0x03, 0x42, 0xAA, 0xBB, 0xCC,  // long item, 3 data bytes
                              0x0B, 0x05, 0x00, 0x0C, 0x00,        // Usage (Consumer 0x000C : 0x0005), 4 bytes
                              0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
    const auto layout = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_EQ(layout.UsagePage, 0x000C);
    EXPECT_EQ(layout.Usage, 0x0005);
    EXPECT_EQ(layout.InputReportByteLength, 3);
}

TEST(ReportDescriptor, EmptyDescriptorHasNoReports) {
    const auto layout = ParseReportDescriptor({});
    EXPECT_TRUE(layout.Ok());
    EXPECT_EQ(layout.InputReportByteLength, 0);
    EXPECT_EQ(layout.OutputReportByteLength, 0);
}

TEST(ReportDescriptor, StructuralFaultsAreReportedWithTheirOffset) {
    struct Case {
        const char* what;
        Bytes bytes;
        TDescriptorError error;
        std::size_t offset;
    };
    const Case cases[] = {
        {"truncated short item", {0x05, 0x01, 0x26, 0xFF}, TDescriptorError::Truncated, 2},
        {"truncated long item", {0xFE, 0x05, 0x00, 0x01}, TDescriptorError::Truncated, 0},
        {"long item header cut", {0xFE, 0x05}, TDescriptorError::Truncated, 0},
        {"report id 0", {0x85, 0x00}, TDescriptorError::BadReportId, 0},
        {"report id 256", {0x86, 0x00, 0x01}, TDescriptorError::BadReportId, 0},
        {"pop without push", {0x05, 0x01, 0xB4}, TDescriptorError::StackUnderflow, 2},
        {"end without collection", {0xC0}, TDescriptorError::UnbalancedCollection, 0},
        {"collection left open", {0xA1, 0x01, 0x75, 0x08}, TDescriptorError::UnbalancedCollection, 4},
        {"report too long",
         {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02},
         TDescriptorError::ReportTooLong,
         10},
    };
    for (const auto& c : cases) {
        const auto layout = ParseReportDescriptor(c.bytes);
        EXPECT_EQ(layout.Error, c.error) << c.what;
        EXPECT_EQ(layout.ErrorOffset, c.offset) << c.what;
    }

    Bytes deep;
    for (int i = 0; i < 17; ++i) deep.push_back(0xA4);
    EXPECT_EQ(ParseReportDescriptor(deep).Error, TDescriptorError::StackOverflow);
}

TEST(ReportDescriptor, LongestRepresentableReportStillFits) {
    // 65534 payload bytes + the ID byte = 65535, the largest 16-bit length.
    const Bytes descriptor = {0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02};
    const auto layout = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(layout.Ok());
    EXPECT_EQ(layout.InputReportByteLength, 65535);
    const Bytes oneMore = {0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02};
    EXPECT_EQ(ParseReportDescriptor(oneMore).Error, TDescriptorError::ReportTooLong);
}

TEST(ReportDescriptor, AnItemTooLongToCountLeavesNoReportBehind) {
    // Report Count 112 x Report Size 38208 bits overflows the 16-bit length:
    // the failing Output item must not show up as an empty output report.
    const Bytes descriptor = {0x95, 0x70, 0x76, 0x40, 0x95, 0x91, 0x02};
    const auto layout = ParseReportDescriptor(descriptor);
    EXPECT_EQ(layout.Error, TDescriptorError::ReportTooLong);
    EXPECT_EQ(layout.ErrorOffset, 5u);
    EXPECT_TRUE(layout.OutputBytes.empty());
    EXPECT_EQ(layout.OutputReportByteLength, 0);

    // One that overflows a report already counted keeps that report's size.
    const Bytes grown = {0x85, 0x04, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02,  // report 4: 2 bytes
                         0x95, 0x70, 0x76, 0x40, 0x95, 0x81, 0x02};       // too many bits more
    const auto second = ParseReportDescriptor(grown);
    EXPECT_EQ(second.Error, TDescriptorError::ReportTooLong);
    EXPECT_EQ(second.InputBytes, (std::map<std::uint8_t, std::uint32_t>{{4, 2}}));
    EXPECT_EQ(second.InputReportByteLength, 3);
}

TEST(ReportDescriptor, TruncatedBoardDescriptorFails) {
    // Cut inside "Logical Maximum (255)" of the input item.
    const Bytes cut(fx::BoardReportDescriptor.begin(), fx::BoardReportDescriptor.begin() + 13);
    const auto layout = ParseReportDescriptor(cut);
    EXPECT_EQ(layout.Error, TDescriptorError::Truncated);
    EXPECT_EQ(layout.ErrorOffset, 11u);
    EXPECT_EQ(layout.InputReportByteLength, 0);
}

TEST(ReportDescriptor, EveryPrefixParsesWithinTheFullLengths) {
    // A descriptor cut anywhere must neither crash nor claim longer reports
    // than the whole descriptor has; a cut inside the top collection fails.
    for (const Bytes* full : {&fx::BoardReportDescriptor, &fx::KeyboardReportDescriptor, &fx::MouseReportDescriptor}) {
        const auto whole = ParseReportDescriptor(*full);
        ASSERT_TRUE(whole.Ok());
        for (std::size_t n = 7; n < full->size(); ++n) {
            const auto layout = ParseReportDescriptor(std::span(full->data(), n));
            if (n < 60) {
                EXPECT_FALSE(layout.Ok()) << "prefix " << n;
            }
            EXPECT_LE(layout.InputReportByteLength, whole.InputReportByteLength);
            EXPECT_LE(layout.OutputReportByteLength, whole.OutputReportByteLength);
        }
    }
}

TEST(ReportDescriptor, RandomBytesNeverReadPastTheEnd) {
    // Run under the address sanitizer, this catches any read beyond the span.
    std::mt19937 random(20140001);
    int failures = 0;
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(random() % 64);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        // A copy on the heap of exactly that size, so an overrun is caught.
        auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), exact.get());
        const auto layout = ParseReportDescriptor(std::span(exact.get(), bytes.size()));
        if (!layout.Ok()) {
            ++failures;
            EXPECT_LE(layout.ErrorOffset, bytes.size());
        }
    }
    EXPECT_GT(failures, 0);  // random data is mostly malformed
}

}  // namespace
}  // namespace lumidra::hid::hidraw
