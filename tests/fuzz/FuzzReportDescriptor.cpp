// Report descriptors come from devices: any bytes must parse without a read
// out of bounds or undefined behaviour, and the layout must agree with itself
// and with the bytes it came from.
#include "hid/linux/ReportDescriptor.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace lumidra::hid::hidraw;

namespace {

using TSizes = std::map<std::uint8_t, std::uint32_t>;

// The largest payload whose length, with the ID byte, fits 16 bits.
constexpr std::uint32_t MaxReportBytes = 65534;

bool SameGathered(const TReportLayout& a, const TReportLayout& b) {
    return a.NumberedReports == b.NumberedReports && a.Usage == b.Usage && a.UsagePage == b.UsagePage &&
           a.CollectionCount == b.CollectionCount && a.InputBytes == b.InputBytes && a.OutputBytes == b.OutputBytes &&
           a.FeatureBytes == b.FeatureBytes && a.InputReportByteLength == b.InputReportByteLength &&
           a.OutputReportByteLength == b.OutputReportByteLength &&
           a.FeatureReportByteLength == b.FeatureReportByteLength;
}

bool SameLayout(const TReportLayout& a, const TReportLayout& b) {
    return a.Error == b.Error && a.ErrorOffset == b.ErrorOffset && SameGathered(a, b);
}

// Whether the bytes hold a Report ID item (1, 2 or 4 data bytes) of value `id`
// anywhere: a report numbered `id` cannot come from anything else.
bool MentionsReportId(std::span<const std::uint8_t> data, std::uint8_t id) {
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i + 1] != id) continue;
        const std::size_t rest = data.size() - i - 2;
        if (data[i] == 0x85) return true;
        if (data[i] == 0x86 && rest >= 1 && data[i + 2] == 0) return true;
        if (data[i] == 0x87 && rest >= 3 && data[i + 2] == 0 && data[i + 3] == 0 && data[i + 4] == 0) return true;
    }
    return false;
}

// One kind of report: each fits a 16-bit length with its ID byte, the summary
// length is the largest plus that byte, and IDs other than 0 need a Report ID
// item in the bytes.
void CheckKind(std::span<const std::uint8_t> data, const TSizes& sizes, std::uint16_t byteLength, bool numbered) {
    std::uint32_t largest = 0;
    for (const auto& [id, bytes] : sizes) {
        FUZZ_CHECK(bytes <= MaxReportBytes);
        largest = std::max(largest, bytes);
        if (id != 0) {
            FUZZ_CHECK(numbered);
            FUZZ_CHECK(MentionsReportId(data, id));
        }
    }
    FUZZ_CHECK(byteLength == (sizes.empty() ? 0u : largest + 1));
}

// A report of a prefix never outgrows the same report of the whole: the
// whole reads the same items in the same state, and sizes only grow.
bool Within(const TSizes& part, const TSizes& whole) {
    for (const auto& [id, bytes] : part) {
        const auto it = whole.find(id);
        if (it == whole.end() || bytes > it->second) return false;
    }
    return true;
}

void CheckPrefix(std::span<const std::uint8_t> data, std::size_t length, const TReportLayout& whole) {
    const auto part = ParseReportDescriptor(data.first(length));
    FUZZ_CHECK(Within(part.InputBytes, whole.InputBytes));
    FUZZ_CHECK(Within(part.OutputBytes, whole.OutputBytes));
    FUZZ_CHECK(Within(part.FeatureBytes, whole.FeatureBytes));
    FUZZ_CHECK(part.CollectionCount <= whole.CollectionCount);
    FUZZ_CHECK(!part.NumberedReports || whole.NumberedReports);
    if (!part.Ok()) FUZZ_CHECK(part.ErrorOffset <= length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::span<const std::uint8_t> data(bytes, size);
    const auto layout = ParseReportDescriptor(data);

    FUZZ_CHECK(SameLayout(layout, ParseReportDescriptor(data)));

    CheckKind(data, layout.InputBytes, layout.InputReportByteLength, layout.NumberedReports);
    CheckKind(data, layout.OutputBytes, layout.OutputReportByteLength, layout.NumberedReports);
    CheckKind(data, layout.FeatureBytes, layout.FeatureReportByteLength, layout.NumberedReports);
    // Every item takes at least one byte.
    FUZZ_CHECK(layout.CollectionCount <= size);
    if (layout.CollectionCount == 0) FUZZ_CHECK(layout.Usage == 0 && layout.UsagePage == 0);

    if (layout.Ok()) {
        FUZZ_CHECK(layout.ErrorOffset == 0);
    } else {
        FUZZ_CHECK(layout.ErrorOffset <= size);
        // What an error leaves is what the items before the failing one gave:
        // the bytes up to it alone give the same, at most with a collection
        // left open.
        const auto before = ParseReportDescriptor(data.first(layout.ErrorOffset));
        FUZZ_CHECK(before.Ok() || before.Error == TDescriptorError::UnbalancedCollection);
        FUZZ_CHECK(SameGathered(before, layout));
    }

    // A descriptor cut short never claims more than the whole one.
    CheckPrefix(data, size / 2, layout);
    if (size > 0) CheckPrefix(data, size - 1, layout);
    return 0;
}
