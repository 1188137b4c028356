// The hidapi backend against scripted composite devices behind its system seam, and the report
// descriptors it tells their interfaces apart by.

#include "Printers.h"
#include "ScriptedHidPlatform.h"
#include "core/access/DeviceProtocol.h"
#include "core/backends/hidapi/HidReportDescriptor.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace orvex::testing {
namespace {

using enum InterfaceKind;

TEST(HidReportDescriptor, GivesTheFirstUsagePageAndEveryReportsLengths)
{
    const std::pair<Report, const char *> cases[] = {
        {descriptors::kKeyboard, "1 0:8/1/0"},
        {descriptors::kVendor, "ff00 1:6/6/0"},
        // Numbered reports count their ID byte, in the directions they declare only.
        {{0x05, 0x0C, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x02, 0x81,
          0x02, 0x85, 0x05, 0x95, 0x3F, 0x91, 0x02, 0xB1, 0x02, 0xC0},
         "c 2:3/0/0 5:0/64/64"},
        // A pop restores the pushed state; a pop without a push changes nothing.
        {{0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4, 0x75,
          0x01, 0x81, 0x02, 0xB4, 0x91, 0x02, 0xB4, 0xB1, 0x02, 0xC0},
         "0 1:2/5/5"},
        // The page of the first top-level collection, not of a nested or a later one.
        {{0x06, 0x00, 0xFF, 0xA1, 0x01, 0x05, 0x01, 0xA1, 0x00, 0x75, 0x08,
          0x95, 0x02, 0x81, 0x02, 0xC0, 0xC0, 0x05, 0x09, 0xA1, 0x01, 0xC0},
         "ff00 0:2/0/0"},
        {{0xFE, 0x03, 0x10, 0x85, 0x07, 0x81, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02},
         "0 0:2/0/0"}, // long item
        // An item of no bits declares no report; one of feature bits only does.
        {{0x85, 0x03, 0x75, 0x08, 0x95, 0x00, 0x81, 0x02, 0x85, 0x04, 0x95, 0x02, 0xB1, 0x02},
         "0 4:0/0/3"},
        // Absurd sizes are held to what hidraw carries; a cut item ends the parse.
        {{0x85, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81,
          0x02},
         "0 1:16385/0/0"},
        {{0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x26, 0xFF}, "0 0:2/0/0"},
        {{}, "0"}};
    for (const auto &[descriptor, expected] : cases) {
        const HidReportLayout layout = parseReportDescriptor(descriptor);
        QString text = QString::number(layout.usagePage, 16);
        for (const auto &[id, n] : layout.reports)
            text += QString::asprintf(" %d:%d/%d/%d", id, n.input, n.output, n.feature);
        EXPECT_EQ(text, expected);
    }
    const HidReportLayout vendor = parseReportDescriptor(descriptors::kVendor);
    EXPECT_EQ(vendor.lengthsOf(1).output, 6);
    EXPECT_EQ(vendor.lengthsOf(2).output, 0); // a report it does not declare
}

// A hidapi backend on a scripted system of its own.
struct Backend
{
    HidHandle open()
    {
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(access.OpenHidDevice(0x6148, 6, 6, handle), hid::kSuccess);
        return handle;
    }
    HidInterfaceInfo chosen()
    {
        const auto listed = access.interfaces(0x6148);
        EXPECT_EQ(std::ranges::count_if(listed, &HidInterfaceInfo::chosen), 1);
        return *std::ranges::find_if(listed, &HidInterfaceInfo::chosen);
    }

    std::unique_ptr<ScriptedHidPlatform> owned = std::make_unique<ScriptedHidPlatform>();
    ScriptedHidPlatform &script = *owned;
    HidapiDeviceAccess access{std::move(owned)};
};

// The keyboard answers every request with a keystroke that starts with our report ID: in every
// order the system may list the interfaces in, only the vendor one is ever talked to.
TEST(HidapiBackend, TalksOnlyToTheVendorInterfaceInEveryEnumerationOrder)
{
    std::vector<InterfaceKind> order = {Keyboard, Joystick, Vendor};
    do {
        Backend each;
        each.script.addComposite(order);
        each.script.node(order[0]).collections = 2;
        HidReport reply{};
        HidHandle handle = each.open();
        EXPECT_EQ(each.access.WriteHidDevice(handle, writeRequest(508, 7), reply), hid::kSuccess);
        EXPECT_TRUE(each.script.node(Keyboard).written.empty());
        EXPECT_EQ(each.chosen(), (HidInterfaceInfo{each.script.node(Vendor).interface.path, 0xFF00,
                                                   1, 6, 6, true}));
        EXPECT_EQ(each.access.interfaces(0x6148).size(), 3u);
    } while (std::ranges::next_permutation(order).found);
}

// `copies` of `report` come before the device's own reply.
std::function<void(ScriptedNode &)> before(Report report, int copies = 1)
{
    return [report, copies](ScriptedNode &vendor) {
        vendor.onWrite = [&vendor, answer = vendor.onWrite, report, copies](const Report &r) {
            vendor.input.insert(vendor.input.end(), copies, report);
            answer(r);
        };
    };
}

// A reply is a report of our ID and length that came in time; whatever came before the request
// is stale and thrown away.
TEST(HidapiBackend, AnExchangeEndsWithTheDevicesOwnReplyOrAFailureWithinItsTimeOut)
{
    using Arrange = std::function<void(ScriptedNode &)>;
    const std::pair<Arrange, HidStatus> cases[] = {
        {[](ScriptedNode &vendor) {
             vendor.input.push_back({1, 0x82, 0x20, 0, 9, 0});
         },
         hid::kSuccess},
        {before({2, 0x82, 7, 7, 7, 0}), hid::kSuccess},
        {before(kCtrlAKeyboardReport), hid::kSuccess},
        {before({1, 0x82, 7}), hid::kSuccess},
        {before({2, 0, 0, 0, 0, 0}, 1000), hid::kTimeout},
        {[](ScriptedNode &vendor) { vendor.replyDelayMs = 999; }, hid::kSuccess},
        {[](ScriptedNode &vendor) { vendor.replyDelayMs = 1001; }, hid::kTimeout},
        {[](ScriptedNode &vendor) { vendor.replyDelayMs.reset(); }, hid::kTimeout},
        {[](ScriptedNode &vendor) { vendor.unplugAfterNextWrite = true; }, hid::kIoError},
        {[](ScriptedNode &vendor) { vendor.unplugged = true; }, hid::kIoError}};
    for (const auto &[arrange, status] : cases) {
        Backend backend;
        backend.script.addComposite({Keyboard, Vendor});
        backend.script.device.device(0).liveValues = {1, 2, 3, 4, 5, 6};
        HidHandle handle = backend.open();
        arrange(backend.script.node(Vendor));
        HidReport reply{9, 9, 9, 9, 9, 9};
        EXPECT_EQ(backend.access.WriteHidDevice(handle, readRequest(0x2000), reply), status);
        EXPECT_EQ(reply, (status == hid::kSuccess ? HidReport{1, 0x82, 1, 2, 3, 0}
                                                  : HidReport{9, 9, 9, 9, 9, 9}));
        EXPECT_LE(std::ranges::max(backend.script.node(Vendor).readTimeouts),
                  HidapiDeviceAccess::kReplyTimeoutMs);
    }
}

// Without an interface that declares our report, a vendor-defined usage page wins over the
// first interface; of two devices of one product the one first in the USB order is used,
// however the system lists them.
TEST(HidapiBackend, ChoosesAVendorPageThenTheFirstAndTheFirstDeviceInAStableOrder)
{
    Backend backend;
    ScriptedHidPlatform &script = backend.script;
    script.addComposite({Keyboard, Joystick});
    ScriptedNode &vendor = script.addNode(Vendor);
    vendor.descriptor = Report{0x06, 0x00, 0xFF, 0xA1, 0x01, 0x85, 0x01,
                               0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0}; // 8-byte input only
    ScriptedNode &exact = script.addNode(Vendor); // listed after it, but declares our reports
    EXPECT_EQ(backend.chosen().node, exact.interface.path);
    exact.unplugged = true;
    vendor.interface.usagePage = 0; // hidapi does not know it: the descriptor's page counts
    EXPECT_EQ(backend.chosen().node, vendor.interface.path);
    vendor.interface.usagePage = 0xFF00;
    script.node(Keyboard).descriptor.reset(); // unreadable: hidapi's usage page decides
    vendor.descriptor.reset();
    EXPECT_EQ(backend.chosen().node, vendor.interface.path);
    vendor.interface.usagePage = 0x0001;
    EXPECT_EQ(backend.chosen().node, script.node(Keyboard).interface.path);

    Backend two;
    two.script.addComposite({Keyboard, Vendor}, 0x6148, "usb1/1-4");
    two.script.addComposite({Vendor, Keyboard}, 0x6148, "usb1/1-2");
    HidHandle handle = two.open();
    HidReport reply{};
    EXPECT_EQ(two.access.WriteHidDevice(handle, writeRequest(0, 1), reply), hid::kSuccess);
    EXPECT_TRUE(two.script.node(Vendor, 0).written.empty());
    EXPECT_EQ(two.script.node(Vendor, 1).written.size(), 1u);
}

TEST(HidapiBackend, OpenFailuresSayWhyAndHandlesOwnTheirNodes)
{
    Backend backend;
    ScriptedHidPlatform &script = backend.script;
    script.addComposite({Keyboard, Vendor});
    HidHandle handle = kClosedHandle;
    const std::pair<int, HidStatus> refusals[] = {{EACCES, hid::kAccessDenied},
                                                  {EPERM, hid::kAccessDenied},
                                                  {EBUSY, hid::kInUse},
                                                  {ENODEV, hid::kNotPresent},
                                                  {EIO, hid::kIoError}};
    for (const auto &[error, status] : refusals) {
        script.node(Vendor).openError = error;
        EXPECT_EQ(backend.access.OpenHidDevice(0x6148, 6, 6, handle), status) << error;
    }
    script.node(Vendor).openError = 0;
    EXPECT_EQ(backend.access.OpenHidDevice(0x6149, 6, 6, handle), hid::kNotPresent);
    EXPECT_EQ(backend.access.OpenHidDevice(0x6148, 6, 64, handle), hid::kBadArgument);

    HidHandle first = backend.open();
    const HidHandle closed = first;
    EXPECT_EQ(backend.access.CloseHidDevice(first), hid::kSuccess);
    EXPECT_EQ(first, kClosedHandle);
    EXPECT_EQ(script.node(Vendor).openConnections, 0);
    EXPECT_EQ(script.node(Keyboard).openConnections, 0);
    HidHandle stale = closed;
    HidReport reply{};
    EXPECT_EQ(backend.access.WriteHidDevice(stale, readRequest(0), reply), hid::kBadHandle);
    EXPECT_EQ(backend.access.CloseHidDevice(stale), hid::kBadHandle);
}

// A restart resets the USB device its text names, and says so when the device is gone.
TEST(HidapiBackend, RestartsResetTheNamedUsbDevice)
{
    Backend backend;
    backend.script.resetStatus = hid::kNotPresent;
    EXPECT_EQ(backend.access.RestartHidDevice("vid_04b4&pid_6149"), hid::kNotPresent);
    EXPECT_EQ(backend.access.RestartHidDevice("x"), hid::kBadArgument);
    EXPECT_EQ(backend.access.RestartHidDevice(nullptr), hid::kBadArgument);
    EXPECT_EQ(backend.script.resets, (std::vector<UsbId>{{0x04B4, 0x6149}}));
}

} // namespace
} // namespace orvex::testing
