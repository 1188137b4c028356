// The HID report descriptor parser on any bytes: it reads them as the kernel hands them over
// from sysfs, so nothing may make it read outside them or report a length hidraw cannot carry.

#include "FuzzSupport.h"
#include "core/backends/hidapi/HidReportDescriptor.h"

#include <vector>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // An exact copy, so that AddressSanitizer stops any read one byte past the end.
    const std::vector<std::uint8_t> descriptor(data, data + size);
    const HidReportLayout layout = parseReportDescriptor(descriptor);

    fuzz::require(layout.reports.size() <= 256, "at most one entry per report ID");
    for (const auto &[reportId, lengths] : layout.reports) {
        const int limit = kMaxHidReportBytes + (reportId != 0 ? 1 : 0);
        for (int length : {lengths.input, lengths.output, lengths.feature})
            fuzz::require(length >= 0 && length <= limit, "report lengths bounded");
        fuzz::require(lengths.input + lengths.output + lengths.feature > 0,
                      "only reports with a direction are listed");
    }
    // Items only ever add to a report, so a descriptor cut short declares no more than the
    // whole one: a cut item must end the parse, not be read from beyond the cut.
    const std::span<const std::uint8_t> whole(descriptor);
    const HidReportLayout prefix = parseReportDescriptor(whole.first(whole.size() / 2));
    for (const auto &[reportId, lengths] : prefix.reports) {
        const HidReportLayout::Lengths full = layout.lengthsOf(reportId);
        fuzz::require(full.input >= lengths.input && full.output >= lengths.output &&
                          full.feature >= lengths.feature,
                      "a longer descriptor never declares less");
    }
    return 0;
}
