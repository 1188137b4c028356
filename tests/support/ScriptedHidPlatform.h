#pragma once

// A scripted stand-in for hidapi, sysfs and libusb behind the hidapi backend: composite ORVEX
// devices whose keyboard, joystick and vendor interfaces are hidraw nodes with real report
// descriptors.  The vendor node answers like the device (its memory and live values live in a
// VirtualDeviceAccess); the keyboard node types, and every node can be made late, silent,
// chatty or unplugged.
//
// Time is the script's own: a reply declares how long after its request it arrives, and a read
// that waits gets it when it arrives within the read's time-out, without anybody waiting for
// real (letTimePass does, where a benchmark wants it).  The device thread may call it while a
// test looks on: every call holds the script's lock, and a read can be held until the test
// lets it go, so that a test can act while an exchange is in flight.

#include "core/backends/hidapi/HidPlatform.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvex::testing {

using Report = std::vector<std::uint8_t>;

// The report descriptors of a composite ORVEX's three interfaces.
namespace descriptors {
// Boot keyboard without report IDs: 8-byte input (modifiers, reserved, six keys), 1-byte LEDs.
inline const Report kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
// Joystick without report IDs: two 8-bit axes and eight buttons, 3-byte input.
inline const Report kJoystick = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x09, 0x30, 0x09, 0x31,
                                 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x02, 0x81,
                                 0x02, 0x05, 0x09, 0x19, 0x01, 0x29, 0x08, 0x15, 0x00, 0x25,
                                 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};
// The vendor interface: report ID 1, five data bytes each way (6-byte reports with the ID).
inline const Report kVendor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15,
                               0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x05, 0x09, 0x01,
                               0x81, 0x02, 0x95, 0x05, 0x09, 0x01, 0x91, 0x02, 0xC0};
} // namespace descriptors

// A keyboard report with Left Ctrl and "A" held: its first byte equals our report ID.
inline const Report kCtrlAKeyboardReport = {0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00};

enum class InterfaceKind { Keyboard, Joystick, Vendor };

// One hidraw node.
struct ScriptedNode
{
    InterfaceKind kind = InterfaceKind::Vendor;
    std::uint16_t productId = 0x6148;
    HidInterface interface;
    std::optional<Report> descriptor; // nothing: sysfs cannot be read
    int openError = 0;                // errno of a refused open
    std::size_t collections = 1;      // hidapi lists a node once for each of its collections
    bool acceptsOutput = true;        // a write to a node without output reports fails
    std::function<void(const Report &request)> onWrite; // what the device does with a request

    std::deque<Report> input; // input reports waiting to be read
    // How long after a request its reply arrives; nothing: the device never answers.
    std::optional<int> replyDelayMs = 0;
    bool unplugged = false;
    bool unplugAfterNextWrite = false;

    std::vector<Report> written;
    std::vector<int> readTimeouts; // the time-out of every read, in order
    int openConnections = 0;

    // Replies on their way, with the node's time at which they arrive.
    std::deque<std::pair<long, Report>> inFlight;
    long clockMs = 0;
};

class ScriptedHidPlatform : public HidPlatform
{
public:
    // The device behind the vendor nodes: Device 1 and Device 2 (memory, live values, attach).
    VirtualDeviceAccess device;

    // Called with the time a read spends waiting, in milliseconds: benchmarks wait for real.
    std::function<void(int ms)> letTimePass;

    std::vector<UsbId> resets;
    HidStatus resetStatus = hid::kSuccess;

    ScriptedNode &addNode(InterfaceKind kind, std::uint16_t productId = 0x6148,
                          const std::string &physicalDevice = "usb1/1-1")
    {
        ScriptedNode &node = m_nodes.emplace_back();
        node.kind = kind;
        node.productId = productId;
        const int number = static_cast<int>(m_nodes.size()) - 1;
        node.interface = {"/dev/hidraw" + std::to_string(number), interfaceNumber(kind),
                          usagePage(kind), physicalDevice};
        switch (kind) {
        case InterfaceKind::Keyboard:
            node.descriptor = descriptors::kKeyboard;
            // The device types whatever it is sent: a request gets a keystroke back.
            node.onWrite = [&node](const Report &) {
                node.input.push_back(kCtrlAKeyboardReport);
            };
            break;
        case InterfaceKind::Joystick:
            node.descriptor = descriptors::kJoystick;
            node.acceptsOutput = false;
            break;
        case InterfaceKind::Vendor:
            node.descriptor = descriptors::kVendor;
            node.onWrite = [this, &node](const Report &request) {
                answer(node, request);
            };
            break;
        }
        return node;
    }

    // A composite ORVEX whose interfaces the system lists in this order.
    void addComposite(const std::vector<InterfaceKind> &order, std::uint16_t productId = 0x6148,
                      const std::string &physicalDevice = "usb1/1-1")
    {
        for (InterfaceKind kind : order)
            addNode(kind, productId, physicalDevice);
    }

    ScriptedNode &node(InterfaceKind kind, std::size_t which = 0)
    {
        for (ScriptedNode &each : m_nodes) {
            if (each.kind == kind && which-- == 0)
                return each;
        }
        throw std::out_of_range("no such scripted node");
    }

    std::vector<HidInterface> enumerate(std::uint16_t vendorId, std::uint16_t productId) override
    {
        const std::lock_guard lock(m_mutex);
        std::vector<HidInterface> found;
        for (const ScriptedNode &each : m_nodes) {
            if (vendorId == 0x04B4 && each.productId == productId && !each.unplugged)
                found.insert(found.end(), each.collections, each.interface);
        }
        return found;
    }

    std::optional<std::vector<std::uint8_t>> reportDescriptor(const std::string &path) override
    {
        const std::lock_guard lock(m_mutex);
        const ScriptedNode *found = byPath(path);
        return found != nullptr ? found->descriptor : std::nullopt;
    }

    OpenResult open(const std::string &path) override
    {
        const std::lock_guard lock(m_mutex);
        ScriptedNode *found = byPath(path);
        if (found == nullptr || found->unplugged)
            return {nullptr, ENOENT};
        if (found->openError != 0)
            return {nullptr, found->openError};
        return {std::make_unique<Connection>(*found, *this), 0};
    }

    HidStatus resetUsbDevice(UsbId id) override
    {
        const std::lock_guard lock(m_mutex);
        resets.push_back(id);
        return resetStatus;
    }

    // A read of a vendor node, after `passing` more of them, waits before it looks for its
    // reply until release().
    void holdRead(int passing = 0)
    {
        const std::lock_guard lock(m_mutex);
        m_readsBeforeHold = passing;
    }

    // Waits until a read is held; false when none came within a few seconds.
    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_held; });
    }

    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_readsBeforeHold = -1;
            m_held = false;
        }
        m_changed.notify_all();
    }

    // Changes the script while the device thread may be using it.
    template <typename Change> void change(Change change)
    {
        const std::lock_guard lock(m_mutex);
        change(*this);
    }

    // A composite Device 1 behind the real hidapi backend, for the device link.
    static std::pair<std::unique_ptr<HidapiDeviceAccess>, ScriptedHidPlatform *> device1()
    {
        auto platform = std::make_unique<ScriptedHidPlatform>();
        ScriptedHidPlatform *script = platform.get();
        script->addComposite(
            {InterfaceKind::Keyboard, InterfaceKind::Joystick, InterfaceKind::Vendor});
        return {std::make_unique<HidapiDeviceAccess>(std::move(platform)), script};
    }

private:
    class Connection : public HidConnection
    {
    public:
        Connection(ScriptedNode &node, ScriptedHidPlatform &platform)
            : m_node(node)
            , m_platform(platform)
        {
            ++m_node.openConnections;
        }
        ~Connection() override
        {
            const std::lock_guard lock(m_platform.m_mutex);
            --m_node.openConnections;
        }

        int write(std::span<const std::uint8_t> report) override
        {
            const std::lock_guard lock(m_platform.m_mutex);
            if (m_node.unplugged || !m_node.acceptsOutput)
                return -1;
            const Report request(report.begin(), report.end());
            m_node.written.push_back(request);
            if (m_node.unplugAfterNextWrite) {
                m_node.unplugged = true;
                return static_cast<int>(report.size());
            }
            if (m_node.onWrite)
                m_node.onWrite(request);
            return static_cast<int>(report.size());
        }

        int read(std::span<std::uint8_t> buffer, int timeoutMs) override
        {
            std::unique_lock lock(m_platform.m_mutex);
            m_platform.holdIfAsked(lock, m_node);
            m_node.readTimeouts.push_back(timeoutMs);
            if (m_node.unplugged)
                return -1;
            const int waited = arrive(timeoutMs);
            if (waited > 0 && m_platform.letTimePass) {
                lock.unlock();
                m_platform.letTimePass(waited);
                lock.lock();
            }
            if (m_node.input.empty())
                return 0;
            const Report report = m_node.input.front();
            m_node.input.pop_front();
            const std::size_t size = std::min(report.size(), buffer.size());
            std::copy_n(report.begin(), size, buffer.begin());
            return static_cast<int>(size);
        }

    private:
        // Lets the node's time run until the first reply on its way arrives, or for the whole
        // time-out when none arrives within it; returns the time that passed.
        int arrive(int timeoutMs)
        {
            if (!m_node.input.empty())
                return 0;
            if (m_node.inFlight.empty() ||
                m_node.inFlight.front().first > m_node.clockMs + timeoutMs) {
                m_node.clockMs += timeoutMs;
                return timeoutMs;
            }
            const auto [arrival, report] = m_node.inFlight.front();
            m_node.inFlight.pop_front();
            const int waited = static_cast<int>(std::max(0L, arrival - m_node.clockMs));
            m_node.clockMs = std::max(m_node.clockMs, arrival);
            m_node.input.push_back(report);
            return waited;
        }

        ScriptedNode &m_node;
        ScriptedHidPlatform &m_platform;
    };

    void holdIfAsked(std::unique_lock<std::mutex> &lock, const ScriptedNode &node)
    {
        if (m_readsBeforeHold < 0 || node.kind != InterfaceKind::Vendor || m_readsBeforeHold-- > 0)
            return;
        m_held = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_held; });
    }

    static int interfaceNumber(InterfaceKind kind) { return static_cast<int>(kind); }

    static std::uint16_t usagePage(InterfaceKind kind)
    {
        return kind == InterfaceKind::Vendor ? 0xFF00 : 0x0001;
    }

    ScriptedNode *byPath(const std::string &path)
    {
        const auto found = std::ranges::find_if(
            m_nodes, [&path](const ScriptedNode &each) { return each.interface.path == path; });
        return found == m_nodes.end() ? nullptr : &*found;
    }

    // The device's own answer, from the virtual ORVEX with this product identifier.
    void answer(ScriptedNode &node, const Report &request)
    {
        HidHandle &handle = m_deviceHandles[node.productId];
        if (handle == kClosedHandle)
            device.OpenHidDevice(node.productId, kReportLength, kReportLength, handle);
        HidReport ours{};
        std::copy_n(request.begin(), std::min(request.size(), ours.size()), ours.begin());
        HidReport reply{};
        if (device.WriteHidDevice(handle, ours, reply) == hid::kSuccess && node.replyDelayMs)
            node.inFlight.emplace_back(node.clockMs + *node.replyDelayMs,
                                       Report(reply.begin(), reply.end()));
    }

    std::list<ScriptedNode> m_nodes; // nodes never move: connections refer to them
    std::map<std::uint16_t, HidHandle> m_deviceHandles;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_readsBeforeHold = -1; // -1: no read is held
    bool m_held = false;
};

} // namespace orvex::testing
