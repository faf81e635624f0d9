#include "hid/linux/ReportDescriptor.h"

#include <algorithm>
#include <vector>

namespace lumidra::hid::hidraw {

namespace {

// Item types of the short item prefix byte (bits 2-3).
constexpr int MainItem = 0;
constexpr int GlobalItem = 1;
constexpr int LocalItem = 2;

// Main item tags.
constexpr int TagInput = 0x8;
constexpr int TagOutput = 0x9;
constexpr int TagCollection = 0xA;
constexpr int TagFeature = 0xB;
constexpr int TagEndCollection = 0xC;

// Global item tags.
constexpr int TagUsagePage = 0x0;
constexpr int TagReportSize = 0x7;
constexpr int TagReportId = 0x8;
constexpr int TagReportCount = 0x9;
constexpr int TagPush = 0xA;
constexpr int TagPop = 0xB;

// Local item tags.
constexpr int TagUsage = 0x0;

constexpr std::uint8_t LongItemPrefix = 0xFE;

// Deep enough for any real descriptor; the kernel itself allows fewer.
constexpr std::size_t MaxPushDepth = 16;

// A report's payload must leave room for the ID byte in a 16-bit length.
constexpr std::uint64_t MaxReportBits = 65534ull * 8;

struct TGlobalState {
    std::uint16_t UsagePage = 0;
    std::uint32_t ReportSize = 0;
    std::uint32_t ReportCount = 0;
    std::uint8_t ReportId = 0;
};

std::uint16_t LengthWithIdByte(const std::map<std::uint8_t, std::uint64_t>& bits) {
    std::uint64_t largest = 0;
    for (const auto& [id, count] : bits) largest = std::max(largest, count);
    if (bits.empty()) return 0;
    return static_cast<std::uint16_t>((largest + 7) / 8 + 1);
}

std::map<std::uint8_t, std::uint32_t> ToBytes(const std::map<std::uint8_t, std::uint64_t>& bits) {
    std::map<std::uint8_t, std::uint32_t> bytes;
    for (const auto& [id, count] : bits) bytes[id] = static_cast<std::uint32_t>((count + 7) / 8);
    return bytes;
}

}  // namespace

// The descriptor's items in one pass, each kind of item a case of one switch
// over the global and local state the item grammar defines: the state is the
// function's, and the cases are short.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
TReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    TReportLayout layout;
    TGlobalState global;
    std::vector<TGlobalState> pushed;
    std::map<std::uint8_t, std::uint64_t> inputBits, outputBits, featureBits;
    bool haveUsage = false;
    std::uint32_t firstUsage = 0;
    std::uint8_t firstUsageSize = 0;
    int depth = 0;
    bool topSeen = false;

    const std::size_t size = descriptor.size();
    std::size_t pos = 0;
    auto fail = [&](TDescriptorError error, std::size_t offset) {
        layout.Error = error;
        layout.ErrorOffset = offset;
    };

    while (pos < size && layout.Ok()) {
        const std::size_t itemStart = pos;
        const std::uint8_t prefix = descriptor[pos];

        if (prefix == LongItemPrefix) {
            // Long items carry vendor data this parser has no use for; skip them whole.
            if (size - pos < 3) {
                fail(TDescriptorError::Truncated, itemStart);
                break;
            }
            const std::size_t dataSize = descriptor[pos + 1];
            if (size - pos - 3 < dataSize) {
                fail(TDescriptorError::Truncated, itemStart);
                break;
            }
            pos += 3 + dataSize;
            continue;
        }

        const std::size_t dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        const int type = (prefix >> 2) & 0x3;
        const int tag = prefix >> 4;
        if (size - pos - 1 < dataSize) {
            fail(TDescriptorError::Truncated, itemStart);
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i)
            value |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        pos += 1 + dataSize;

        switch (type) {
            case MainItem: {
                std::map<std::uint8_t, std::uint64_t>* bits = nullptr;
                if (tag == TagInput)
                    bits = &inputBits;
                else if (tag == TagOutput)
                    bits = &outputBits;
                else if (tag == TagFeature)
                    bits = &featureBits;

                if (bits) {
                    // Looked up without inserting: an item that fails must not
                    // leave an empty report behind in the layout.
                    const auto found = bits->find(global.ReportId);
                    const std::uint64_t total = found == bits->end() ? 0 : found->second;
                    const std::uint64_t added = static_cast<std::uint64_t>(global.ReportSize) * global.ReportCount;
                    if (added > MaxReportBits - total)
                        fail(TDescriptorError::ReportTooLong, itemStart);
                    else
                        (*bits)[global.ReportId] = total + added;
                } else if (tag == TagCollection) {
                    if (depth == 0 && !topSeen) {
                        topSeen = true;
                        // A 32-bit usage carries its own page in the high half.
                        layout.UsagePage = (haveUsage && firstUsageSize == 4)
                                               ? static_cast<std::uint16_t>(firstUsage >> 16)
                                               : global.UsagePage;
                        layout.Usage = haveUsage ? static_cast<std::uint16_t>(firstUsage) : 0;
                    }
                    ++depth;
                    if (layout.CollectionCount < 0xFFFF) ++layout.CollectionCount;
                } else if (tag == TagEndCollection) {
                    if (depth == 0)
                        fail(TDescriptorError::UnbalancedCollection, itemStart);
                    else
                        --depth;
                }
                // Local items apply to the next main item only.
                haveUsage = false;
                break;
            }
            case GlobalItem:
                switch (tag) {
                    case TagUsagePage: global.UsagePage = static_cast<std::uint16_t>(value); break;
                    case TagReportSize: global.ReportSize = value; break;
                    case TagReportCount: global.ReportCount = value; break;
                    case TagReportId:
                        if (value == 0 || value > 255) {
                            fail(TDescriptorError::BadReportId, itemStart);
                        } else {
                            global.ReportId = static_cast<std::uint8_t>(value);
                            layout.NumberedReports = true;
                        }
                        break;
                    case TagPush:
                        if (pushed.size() >= MaxPushDepth)
                            fail(TDescriptorError::StackOverflow, itemStart);
                        else
                            pushed.push_back(global);
                        break;
                    case TagPop:
                        if (pushed.empty()) {
                            fail(TDescriptorError::StackUnderflow, itemStart);
                        } else {
                            global = pushed.back();
                            pushed.pop_back();
                        }
                        break;
                    default: break;  // logical/physical ranges, units: not needed here
                }
                break;
            case LocalItem:
                if (tag == TagUsage && !haveUsage) {
                    haveUsage = true;
                    firstUsage = value;
                    firstUsageSize = static_cast<std::uint8_t>(dataSize);
                }
                break;
            default: break;  // reserved item type: skipped like the kernel does
        }
    }

    if (layout.Ok() && depth != 0) fail(TDescriptorError::UnbalancedCollection, size);

    layout.InputBytes = ToBytes(inputBits);
    layout.OutputBytes = ToBytes(outputBits);
    layout.FeatureBytes = ToBytes(featureBits);
    layout.InputReportByteLength = LengthWithIdByte(inputBits);
    layout.OutputReportByteLength = LengthWithIdByte(outputBits);
    layout.FeatureReportByteLength = LengthWithIdByte(featureBits);
    return layout;
}

}  // namespace lumidra::hid::hidraw
