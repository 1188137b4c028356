#include "core/backends/hidapi/HidReportDescriptor.h"

#include <algorithm>
#include <vector>

namespace orvex {

namespace {

// Item types and the tags of the items that matter here (HID 1.11, section 6.2.2).
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

namespace tag {
constexpr std::uint8_t kInput = 0x8;
constexpr std::uint8_t kOutput = 0x9;
constexpr std::uint8_t kCollection = 0xA;
constexpr std::uint8_t kFeature = 0xB;
constexpr std::uint8_t kEndCollection = 0xC;

constexpr std::uint8_t kUsagePage = 0x0;
constexpr std::uint8_t kReportSize = 0x7;
constexpr std::uint8_t kReportId = 0x8;
constexpr std::uint8_t kReportCount = 0x9;
constexpr std::uint8_t kPush = 0xA;
constexpr std::uint8_t kPop = 0xB;
} // namespace tag

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kLongItemHeader = 3; // prefix, data size, long item tag

// Kernels keep a handful of pushed states; a descriptor that pushes more is broken, and the
// extra pushes are ignored rather than letting the descriptor grow memory without bound.
constexpr std::size_t kMaxPushedStates = 16;

constexpr std::uint64_t kMaxReportBits = 8ULL * kMaxHidReportBytes;

struct GlobalState
{
    std::uint16_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

struct ReportBits
{
    std::uint64_t input = 0;
    std::uint64_t output = 0;
    std::uint64_t feature = 0;
};

std::uint32_t littleEndian(std::span<const std::uint8_t> data)
{
    std::uint32_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;)
        value = value << 8 | data[i];
    return value;
}

void addBits(std::uint64_t &total, const GlobalState &state)
{
    const std::uint64_t bits = std::uint64_t{state.reportSize} * state.reportCount;
    total = std::min(total + std::min(bits, kMaxReportBits), kMaxReportBits);
}

// A report the descriptor does not declare in one direction has no length there, not even the
// ID byte.
int lengthInBytes(std::uint64_t bits, std::uint8_t reportId)
{
    if (bits == 0)
        return 0;
    return static_cast<int>((bits + 7) / 8) + (reportId != 0 ? 1 : 0);
}

class DescriptorParser
{
public:
    HidReportLayout parse(std::span<const std::uint8_t> descriptor)
    {
        std::size_t position = 0;
        while (position < descriptor.size()) {
            const std::uint8_t prefix = descriptor[position];
            if (prefix == kLongItemPrefix) {
                if (descriptor.size() - position < kLongItemHeader)
                    break;
                const std::size_t itemSize = kLongItemHeader + descriptor[position + 1];
                if (descriptor.size() - position < itemSize)
                    break;
                position += itemSize;
                continue;
            }
            static constexpr std::size_t kDataSizes[] = {0, 1, 2, 4};
            const std::size_t dataSize = kDataSizes[prefix & 0x3];
            if (descriptor.size() - position - 1 < dataSize)
                break;
            const std::uint32_t data = littleEndian(descriptor.subspan(position + 1, dataSize));
            item(static_cast<ItemType>((prefix >> 2) & 0x3), static_cast<std::uint8_t>(prefix >> 4),
                 data);
            position += 1 + dataSize;
        }
        return layout();
    }

private:
    void item(ItemType type, std::uint8_t itemTag, std::uint32_t data)
    {
        if (type == kGlobal)
            globalItem(itemTag, data);
        else if (type == kMain)
            mainItem(itemTag);
    }

    void globalItem(std::uint8_t itemTag, std::uint32_t data)
    {
        switch (itemTag) {
        case tag::kUsagePage:
            m_state.usagePage = static_cast<std::uint16_t>(data);
            break;
        case tag::kReportSize:
            m_state.reportSize = data;
            break;
        case tag::kReportId:
            m_state.reportId = static_cast<std::uint8_t>(data);
            break;
        case tag::kReportCount:
            m_state.reportCount = data;
            break;
        case tag::kPush:
            if (m_stack.size() < kMaxPushedStates)
                m_stack.push_back(m_state);
            break;
        case tag::kPop:
            if (!m_stack.empty()) {
                m_state = m_stack.back();
                m_stack.pop_back();
            }
            break;
        default:
            break;
        }
    }

    void mainItem(std::uint8_t itemTag)
    {
        switch (itemTag) {
        case tag::kInput:
            addBits(m_bits[m_state.reportId].input, m_state);
            break;
        case tag::kOutput:
            addBits(m_bits[m_state.reportId].output, m_state);
            break;
        case tag::kFeature:
            addBits(m_bits[m_state.reportId].feature, m_state);
            break;
        case tag::kCollection:
            if (m_depth == 0 && !m_topLevelSeen) {
                m_usagePage = m_state.usagePage;
                m_topLevelSeen = true;
            }
            ++m_depth;
            break;
        case tag::kEndCollection:
            m_depth = std::max(0, m_depth - 1);
            break;
        default:
            break;
        }
    }

    HidReportLayout layout() const
    {
        HidReportLayout result;
        result.usagePage = m_usagePage;
        for (const auto &[reportId, bits] : m_bits) {
            // Main items of no size declare nothing.
            if (bits.input == 0 && bits.output == 0 && bits.feature == 0)
                continue;
            result.reports[reportId] = {lengthInBytes(bits.input, reportId),
                                        lengthInBytes(bits.output, reportId),
                                        lengthInBytes(bits.feature, reportId)};
        }
        return result;
    }

    GlobalState m_state;
    std::vector<GlobalState> m_stack;
    std::map<std::uint8_t, ReportBits> m_bits;
    std::uint16_t m_usagePage = 0;
    bool m_topLevelSeen = false;
    int m_depth = 0;
};

} // namespace

HidReportLayout::Lengths HidReportLayout::lengthsOf(std::uint8_t reportId) const
{
    const auto found = reports.find(reportId);
    return found == reports.end() ? Lengths{} : found->second;
}

HidReportLayout parseReportDescriptor(std::span<const std::uint8_t> descriptor)
{
    return DescriptorParser().parse(descriptor);
}

} // namespace orvex
