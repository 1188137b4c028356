// Reads and writes of the configuration against a virtual device whose memory, presence and
// failing exchanges all come from the fuzz input.  Whatever the device does, no handle is left
// behind, the model only changes after a complete read that decodes, and no failed exchange
// ever ends in a success message.

#include "FuzzSupport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigImage.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DeviceLink.h"
#include "core/link/DeviceTransport.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

using namespace orvex;
using namespace orvex::fuzz;

namespace {

class SilentTransferView : public TransferView
{
public:
    void showTransferStatus() override { shown = true; }
    void setTransferStatus(const QString &) override {}
    void hideTransferStatus() override { shown = false; }
    void processPendingEvents() override {}
    void showMessage(const UserMessage &message) override { messages.push_back(message); }

    bool shown = false;
    std::vector<UserMessage> messages;
};

// The fuzz input, read as a scenario.
struct Scenario
{
    explicit Scenario(InputReader &input)
    {
        const std::uint8_t flags = input.byte();
        write = flags & 1;
        viewing = flags & 2;
        selected = (flags >> 2) & 1;
        present = {(flags & 8) == 0, (flags & 16) == 0};
        std::ranges::generate(memory, [&input] { return input.byte(); });
        while (!input.atEnd()) {
            const int index = input.word() % 512;
            const std::uint8_t action = input.byte();
            faults.push_back({index, action});
        }
    }

    struct Fault
    {
        int index;
        std::uint8_t action;
    };

    bool write = false;
    bool viewing = false;
    int selected = 0;
    std::array<bool, 2> present{};
    ConfigImage memory{};
    std::vector<Fault> faults;
};

void injectFaults(VirtualDeviceAccess &devices, const Scenario &scenario)
{
    for (const Scenario::Fault &fault : scenario.faults) {
        switch (fault.action % 3) {
        case 0:
            devices.failExchange(fault.index, 1 + fault.action / 3);
            break;
        case 1:
            devices.unplugAtExchange(fault.index, scenario.selected);
            break;
        default:
            devices.unplugAtExchange(fault.index, 1 - scenario.selected);
            break;
        }
    }
}

bool anyExchangeFailed(const VirtualDeviceAccess &devices)
{
    return std::ranges::any_of(devices.transfers(), [](const VirtualExchange &exchange) {
        return exchange.status != hid::kSuccess;
    });
}

bool hasSignature(const ConfigImage &memory)
{
    return memory[image::kSignatureAddress] == image::kSignature[0] &&
           memory[image::kSignatureAddress + 1] == image::kSignature[1];
}

void checkHandles(const VirtualDeviceAccess &devices, DeviceLink &link)
{
    // Only the polling handle may stay open, and only while a device is viewed.
    link.waitUntilIdle();
    require(devices.openHandleCount() <= (link.isViewing() ? 1 : 0),
            "no handle is left open but the polling handle of a viewed device");
}

// The link's announcements need an event loop.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_config_transfer", *argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv); // lives as long as the fuzzer
}

void checkRead(TransferResult result, const VirtualDeviceAccess &devices,
               const ModelSnapshot &before, const ConfigModel &model, const ConfigImage &memory)
{
    if (result != TransferResult::Success) {
        require(before.matches(model), "a read that fails leaves the model as it was");
        return;
    }
    require(!anyExchangeFailed(devices), "a read with a failed exchange never succeeds");
    ConfigModel expected;
    require(decodeImage(expected, memory), "a successful read decoded the device's memory");
    require(expected.configuration() == model.configuration(),
            "a successful read loads the device's configuration");
}

void checkWrite(TransferResult result, const VirtualDeviceAccess &devices,
                const ModelSnapshot &before, const ConfigModel &model, const ConfigImage &memory,
                const ConfigImage &memoryBefore, bool written)
{
    require(before.matches(model), "a write never changes the model");
    require(written == (result == TransferResult::Success),
            "only a complete write marks the device written");
    if (result == TransferResult::Success) {
        require(!anyExchangeFailed(devices), "a write with a failed exchange never succeeds");
        require(hasSignature(memory), "a complete write stores the signature");
        const ConfigImage image = encodeImage(model);
        for (int c = 0; c < kChannelCount; ++c) {
            const int b = image::blockStart(c);
            require(std::equal(image.begin() + b + image::kHeaderOffset,
                               image.begin() + b + image::kHeaderOffset + image::kHeaderSize,
                               memory.begin() + b + image::kHeaderOffset),
                    "a complete write stores every header");
        }
        return;
    }
    require(memory == memoryBefore || !hasSignature(memory),
            "a write that breaks off leaves the signature cleared");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputReader input({data, size});
    const Scenario scenario(input);
    ensureApplication();

    VirtualDeviceAccess devices;
    ConfigModel model;
    loadDistinctiveModel(model);
    DeviceLink link(devices, model);
    SilentTransferView view;
    ConfigTransfer transfer(link, model, view);

    VirtualDevice &target = devices.device(scenario.selected);
    target.memory = scenario.memory;
    link.selectDevice(scenario.selected);
    if (scenario.viewing)
        link.waitForDeviceTick();
    link.waitUntilIdle();
    for (int number = 0; number < 2; ++number)
        devices.setPresent(number, scenario.present[static_cast<std::size_t>(number)]);
    // The viewed device may be the other one when the selected one was refused at attach time.
    const int used = link.deviceNumber();
    const ConfigImage memoryBefore = devices.device(used).memory;

    devices.clearLog();
    injectFaults(devices, scenario);
    testing::makeUnsavedChange(model);
    const ModelSnapshot before(model);
    const TransferResult result = runToEnd(transfer, [&] {
        return scenario.write ? transfer.writeToDevice() : transfer.readFromDevice(nullptr);
    });
    link.waitUntilIdle();

    require(!view.shown, "the status window is gone after every transfer");
    require(view.messages.size() == 1, "every transfer ends in exactly one message");
    const bool successText = view.messages.front().title == kShortTitle;
    require(successText == (result == TransferResult::Success),
            "the success message comes only with success");
    require(!link.isTransferRunning(), "the transfer is over");
    require(model.configChanged(), "a transfer never touches configChanged");
    checkHandles(devices, link);

    const ConfigImage &memory = devices.device(used).memory;
    if (scenario.write) {
        checkWrite(result, devices, before, model, memory, memoryBefore, link.wasWritten(used));
    } else {
        require(memory == memoryBefore, "a read never changes the device");
        checkRead(result, devices, before, model, memory);
    }

    // Polling goes on: a poll either draws from the viewed device or falls back to searching.
    link.pollDevice();
    checkHandles(devices, link);
    return 0;
}
