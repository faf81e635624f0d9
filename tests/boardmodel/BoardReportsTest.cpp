// The board's wire rules: what it declares, what it receives, what it sends.
#include "boardmodel/BoardReports.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace lumidra::boardmodel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Range(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), first);
    return b;
}

TEST(BoardDescriptor, DeclaresOne64ByteInputAndOutputWithoutReportIds) {
    const auto d = BoardReportDescriptor();
    const Bytes bytes(d.begin(), d.end());
    // Walk the short items: no Report ID item (0x85), and exactly one Input
    // and one Output main item, each preceded by size 8 x count 64.
    int inputs = 0, outputs = 0;
    std::uint32_t size = 0, count = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::uint8_t prefix = bytes[i];
        const std::size_t len = (prefix & 3) == 3 ? 4 : (prefix & 3);
        ASSERT_LE(i + 1 + len, bytes.size()) << "item at " << i << " runs past the end";
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < len; ++k) value |= std::uint32_t(bytes[i + 1 + k]) << (8 * k);
        const std::uint8_t tag = prefix & 0xFC;
        EXPECT_NE(tag, 0x84) << "report ID item at " << i;
        if (tag == 0x74) size = value;
        if (tag == 0x94) count = value;
        if (tag == 0x80 || tag == 0x90) {
            EXPECT_EQ(size * count, 8u * ReportSize) << "main item at " << i;
            (tag == 0x80 ? inputs : outputs)++;
        }
        i += 1 + len;
    }
    EXPECT_EQ(inputs, 1);
    EXPECT_EQ(outputs, 1);
    // Vendor-defined usage page 0xFF00 first, as the board's firmware declares it.
    EXPECT_EQ((Bytes{bytes[0], bytes[1], bytes[2]}), (Bytes{0x06, 0x00, 0xFF}));
}

TEST(BoardOutput, ReportIdZeroIsDroppedAsOnTheUsbWire) {
    Bytes written = Range(65, 0x10);
    written[0] = 0;
    const Bytes received = OutputAsReceived(written);
    ASSERT_EQ(received.size(), 64u);
    EXPECT_EQ(received, Bytes(written.begin() + 1, written.end()));

    // A non-zero first byte is data for a board without numbered reports.
    written[0] = 0x7F;
    EXPECT_EQ(OutputAsReceived(written), written);
    // Short writes reach the board short: the log shows exactly what came.
    EXPECT_EQ(OutputAsReceived(Bytes{0, 1, 2}), (Bytes{1, 2}));
    EXPECT_TRUE(OutputAsReceived(Bytes{}).empty());
}

TEST(BoardInput, AlwaysExactly64BytesZeroPadded) {
    const auto short_ = MakeInputReport(Bytes{0xAA, 0xBB});
    ASSERT_TRUE(short_);
    EXPECT_EQ((*short_)[0], 0xAA);
    EXPECT_EQ((*short_)[1], 0xBB);
    for (std::size_t i = 2; i < ReportSize; ++i) EXPECT_EQ((*short_)[i], 0) << i;

    const Bytes full = Range(64, 1);
    const auto exact = MakeInputReport(full);
    ASSERT_TRUE(exact);
    EXPECT_EQ(Bytes(exact->begin(), exact->end()), full);

    EXPECT_FALSE(MakeInputReport(Range(65, 0)));
}

TEST(BoardInput, StatusReportLayout) {
    TBoardStatus s;
    s.Analog1 = 0x03FF;  // full scale
    s.Analog2 = 0x0102;
    s.Inputs = 0x0A;
    s.KeyStatus = 1;
    s.JobAck = 3;
    s.KeyId = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const TReport r = MakeStatusReport(s);

    Bytes expected(64, 0);
    expected[0] = 0xFF;  // low byte first
    expected[1] = 0x03;
    expected[2] = 0x02;
    expected[3] = 0x01;
    expected[4] = 0x0A;
    expected[5] = 1;
    expected[6] = 3;
    // The key id as shown, first byte at index 15 down to the last at index 8.
    const Bytes wireKey{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    std::copy(wireKey.begin(), wireKey.end(), expected.begin() + 8);
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);
}

TEST(BoardInput, SequenceNumberInLastFourBytes) {
    TReport r{};
    r.fill(0x5A);
    StampSequence(r, 0x12345678);
    EXPECT_EQ(r[59], 0x5A);  // untouched before the number
    EXPECT_EQ((Bytes{r[60], r[61], r[62], r[63]}), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(ReadSequence(r), 0x12345678u);
    StampSequence(r, 0xFFFFFFFF);
    EXPECT_EQ(ReadSequence(r), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace lumidra::boardmodel
