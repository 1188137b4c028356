#include "programs/emulator/EmulatorProtocol.h"

#include "core/access/HardwareId.h"
#include "core/backends/emulator/EmulatorWire.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QList>
#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_map>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Line framing

void LineFramer::append(QByteArrayView data)
{
    while (!data.isEmpty()) {
        const qsizetype newline = data.indexOf('\n');
        if (newline < 0) {
            appendPartial(data);
            return;
        }
        appendPartial(data.first(newline));
        if (m_partial.endsWith('\r'))
            m_partial.chop(1);
        if (m_discarding || m_partial.size() > emulator::kMaxLineLength)
            m_lines.push_back(Line{{}, true});
        else
            m_lines.push_back(Line{m_partial, false});
        m_partial.clear();
        m_discarding = false;
        data = data.sliced(newline + 1);
    }
}

void LineFramer::appendPartial(QByteArrayView data)
{
    if (m_discarding)
        return;
    // One byte of slack for the "\r" of a "\r\n" line ending.
    if (m_partial.size() + data.size() > emulator::kMaxLineLength + 1) {
        m_discarding = true;
        m_partial.clear();
        return;
    }
    m_partial.append(data);
}

LineFramer::Line LineFramer::takeLine()
{
    Line line = std::move(m_lines.front());
    m_lines.pop_front();
    return line;
}

// ---------------------------------------------------------------------------------------------
// Hex and numbers

namespace {

// Plain decimal digits (no sign, no spaces), within [min, max].
std::optional<int> parseDecimal(QByteArrayView text, int min, int max)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

// Decimal, or hex with a 0x prefix, within [min, max].
std::optional<int> parseNumber(QByteArrayView text, int min, int max)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const QByteArrayView digits = text.sliced(2);
        if (digits.size() > 4)
            return std::nullopt;
        const std::optional<unsigned> value = parseHexDigits(digits, digits.size());
        if (!value || static_cast<int>(*value) < min || static_cast<int>(*value) > max)
            return std::nullopt;
        return static_cast<int>(*value);
    }
    return parseDecimal(text, min, max);
}

bool isPrintableAscii(QByteArrayView line)
{
    return std::ranges::all_of(line, [](char c) { return c == '\t' || (c >= 0x20 && c < 0x7F); });
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

using Arguments = QList<QByteArray>;

QByteArray ok()
{
    return QByteArrayLiteral("OK");
}

QByteArray ok(const QByteArray &value)
{
    return "OK " + value;
}

QByteArray err(HidStatus status)
{
    return "ERR " + QByteArray::number(status);
}

QByteArray bad(const char *reason)
{
    return QByteArray("BAD ") + reason;
}

constexpr int kMaxFaultDistance = 100'000'000;
constexpr int kMaxStatus = 999'999'999;

std::optional<int> parseDeviceNumber(QByteArrayView text)
{
    const std::optional<int> shown = parseDecimal(text, 1, 2);
    return shown ? std::optional<int>(*shown - 1) : std::nullopt;
}

const char *kindName(VirtualExchange::Kind kind)
{
    switch (kind) {
    case VirtualExchange::Kind::Open:
        return "open";
    case VirtualExchange::Kind::Close:
        return "close";
    case VirtualExchange::Kind::Transfer:
        return "xfer";
    case VirtualExchange::Kind::Restart:
        return "restart";
    }
    return "?";
}

QByteArray deviceName(int deviceNumber)
{
    return deviceNumber < 0 ? QByteArray("-") : QByteArray::number(deviceNumber + 1);
}

QByteArray attachText(const std::optional<bool> &attached)
{
    if (!attached)
        return "never";
    return *attached ? "yes" : "no";
}

// The state every command handler works on.
struct Context
{
    VirtualDeviceAccess &access;
    std::set<HidHandle> &handles;
};

using Handler = std::function<QByteArray(Context &, const Arguments &)>;

struct Command
{
    int argumentCount; // -1: variable, checked by the handler
    Handler run;
    const char *usage;
};

// --- The device operations: the client backend's side of the protocol ---

QByteArray openCommand(Context &context, const Arguments &args)
{
    const std::optional<unsigned> productId = parseHexDigits(args[0], 4);
    if (!productId)
        return bad("product id must be 4 hex digits");
    HidHandle handle = kClosedHandle;
    const HidStatus status = context.access.OpenHidDevice(static_cast<std::uint16_t>(*productId),
                                                          kReportLength, kReportLength, handle);
    if (status != hid::kSuccess)
        return err(status);
    context.handles.insert(handle);
    return ok(QByteArray::number(handle));
}

// A handle of this connection, or nothing: other connections' handles are not ours to use.
std::optional<HidHandle> ownHandle(Context &context, QByteArrayView text)
{
    const std::optional<int> handle = parseDecimal(text, 1, kMaxStatus);
    if (!handle || !context.handles.contains(*handle))
        return std::nullopt;
    return *handle;
}

QByteArray closeCommand(Context &context, const Arguments &args)
{
    if (!parseDecimal(args[0], 0, kMaxStatus))
        return bad("handle must be a decimal number");
    std::optional<HidHandle> handle = ownHandle(context, args[0]);
    if (!handle)
        return err(hid::kBadHandle);
    context.handles.erase(*handle);
    context.access.CloseHidDevice(*handle);
    return ok();
}

QByteArray transferCommand(Context &context, const Arguments &args)
{
    if (!parseDecimal(args[0], 0, kMaxStatus))
        return bad("handle must be a decimal number");
    HidReport request{};
    if (!reportFromHex(args[1], request))
        return bad("request must be 12 hex digits");
    std::optional<HidHandle> handle = ownHandle(context, args[0]);
    if (!handle)
        return err(hid::kBadHandle);
    HidReport reply{};
    const HidStatus status = context.access.WriteHidDevice(*handle, request, reply);
    return status == hid::kSuccess ? ok(reportToHex(reply)) : err(status);
}

QByteArray restartCommand(Context &context, const Arguments &args)
{
    const HidStatus status = context.access.RestartHidDevice(args[0].constData());
    return status == hid::kSuccess ? ok() : err(status);
}

// --- Control commands for scripts and tests ---

QByteArray plugCommand(Context &context, const Arguments &args, bool present)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    if (!number)
        return bad("device must be 1 or 2");
    context.access.setPresent(*number, present);
    return ok();
}

QByteArray liveCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    if (!number)
        return bad("device must be 1 or 2");
    std::array<std::uint8_t, 6> values{};
    for (std::size_t c = 0; c < values.size(); ++c) {
        const std::optional<int> value = parseNumber(args[static_cast<qsizetype>(c) + 1], 0, 255);
        if (!value)
            return bad("live values must be 0 to 255");
        values[c] = static_cast<std::uint8_t>(*value);
    }
    context.access.device(*number).liveValues = values;
    return ok();
}

QByteArray animateCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    if (!number)
        return bad("device must be 1 or 2");
    const QByteArray mode = args[1].toLower();
    if (mode != "on" && mode != "off")
        return bad("ANIMATE takes on or off");
    context.access.device(*number).animated = mode == "on";
    return ok();
}

QByteArray failCommand(Context &context, const Arguments &args)
{
    if (args.size() != 1 && args.size() != 2)
        return bad("usage: FAIL <k> [status]");
    const std::optional<int> distance = parseDecimal(args[0], 0, kMaxFaultDistance);
    if (!distance)
        return bad("k must be a decimal number");
    std::optional<int> status = hid::kIoError;
    if (args.size() == 2)
        status = parseDecimal(args[1], 1, kMaxStatus);
    if (!status)
        return bad("status must be a positive decimal number");
    context.access.failExchange(context.access.exchangeCount() + *distance, *status);
    return ok();
}

QByteArray unplugAtCommand(Context &context, const Arguments &args)
{
    const std::optional<int> distance = parseDecimal(args[0], 0, kMaxFaultDistance);
    const std::optional<int> number = parseDeviceNumber(args[1]);
    if (!distance || !number)
        return bad("usage: UNPLUGAT <k> <device>");
    context.access.unplugAtExchange(context.access.exchangeCount() + *distance, *number);
    return ok();
}

QByteArray refuseCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    const std::optional<int> status = parseDecimal(args[1], 0, kMaxStatus);
    if (!number || !status)
        return bad("usage: REFUSE <device> <status>");
    context.access.device(*number).openRefusal = *status;
    return ok();
}

QByteArray clearFaultsCommand(Context &context, const Arguments &)
{
    context.access.clearFaults();
    return ok();
}

QByteArray dumpCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    if (!number)
        return bad("device must be 1 or 2");
    const ConfigImage &memory = context.access.device(*number).memory;
    return ok(QByteArray(reinterpret_cast<const char *>(memory.data()), kImageSize).toHex());
}

QByteArray pokeCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    const std::optional<int> address = parseNumber(args[1], 0, kImageSize - 1);
    const std::optional<int> value = parseNumber(args[2], 0, 255);
    if (!number || !address || !value)
        return bad("usage: POKE <device> <address 0-511> <byte 0-255>");
    context.access.device(*number).memory[static_cast<std::size_t>(*address)] =
        static_cast<std::uint8_t>(*value);
    return ok();
}

QByteArray logCommand(Context &context, const Arguments &args)
{
    const auto &log = context.access.log();
    if (args.isEmpty())
        return ok(QByteArray::number(static_cast<qsizetype>(log.size())));
    if (args.size() != 1)
        return bad("usage: LOG [index]");
    const std::optional<int> index = parseDecimal(args[0], 0, kMaxStatus);
    if (!index || static_cast<std::size_t>(*index) >= log.size())
        return bad("no such log entry");
    const VirtualExchange &entry = log[static_cast<std::size_t>(*index)];
    return ok(QByteArray(kindName(entry.kind)) + ' ' + deviceName(entry.deviceNumber) + ' ' +
              QByteArray::number(entry.status) + ' ' + reportToHex(entry.request) + ' ' +
              reportToHex(entry.reply));
}

QByteArray logClearCommand(Context &context, const Arguments &)
{
    context.access.clearLog();
    return ok();
}

QByteArray stateCommand(Context &context, const Arguments &args)
{
    const std::optional<int> number = parseDeviceNumber(args[0]);
    if (!number)
        return bad("device must be 1 or 2");
    const VirtualDevice &device = context.access.device(*number);
    return ok("present=" + QByteArray::number(device.present ? 1 : 0) + " attached=" +
              attachText(device.attached) + " restarts=" + QByteArray::number(device.restartCount) +
              " handles=" + QByteArray::number(context.access.openHandleCount(*number)) +
              " animated=" + QByteArray::number(device.animated ? 1 : 0) +
              " refusal=" + QByteArray::number(device.openRefusal));
}

QByteArray exchangesCommand(Context &context, const Arguments &)
{
    return ok(QByteArray::number(context.access.exchangeCount()));
}

const std::unordered_map<std::string, Command> &commands();

QByteArray helpCommand(Context &, const Arguments &)
{
    QList<QByteArray> names;
    for (const auto &[name, command] : commands())
        names.append(QByteArray::fromStdString(name));
    std::ranges::sort(names);
    return ok(names.join(' '));
}

const std::unordered_map<std::string, Command> &commands()
{
    using namespace std::placeholders;
    static const std::unordered_map<std::string, Command> table = {
        {"OPEN", {1, openCommand, "OPEN <pid>"}},
        {"CLOSE", {1, closeCommand, "CLOSE <handle>"}},
        {"XFER", {2, transferCommand, "XFER <handle> <request>"}},
        {"RESTART", {1, restartCommand, "RESTART <hardware id>"}},
        {"PLUG", {1, std::bind(plugCommand, _1, _2, true), "PLUG <device>"}},
        {"UNPLUG", {1, std::bind(plugCommand, _1, _2, false), "UNPLUG <device>"}},
        {"LIVE", {7, liveCommand, "LIVE <device> <v1> <v2> <v3> <v4> <v5> <v6>"}},
        {"ANIMATE", {2, animateCommand, "ANIMATE <device> on|off"}},
        {"FAIL", {-1, failCommand, "FAIL <k> [status]"}},
        {"UNPLUGAT", {2, unplugAtCommand, "UNPLUGAT <k> <device>"}},
        {"REFUSE", {2, refuseCommand, "REFUSE <device> <status>"}},
        {"CLEARFAULTS", {0, clearFaultsCommand, "CLEARFAULTS"}},
        {"DUMP", {1, dumpCommand, "DUMP <device>"}},
        {"POKE", {3, pokeCommand, "POKE <device> <address> <byte>"}},
        {"LOG", {-1, logCommand, "LOG [index]"}},
        {"LOGCLEAR", {0, logClearCommand, "LOGCLEAR"}},
        {"STATE", {1, stateCommand, "STATE <device>"}},
        {"EXCHANGES", {0, exchangesCommand, "EXCHANGES"}},
        {"HELP", {0, helpCommand, "HELP"}},
    };
    return table;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Session

EmulatorSession::EmulatorSession(VirtualDeviceAccess &access)
    : m_access(access)
{}

EmulatorSession::~EmulatorSession()
{
    for (HidHandle handle : m_handles)
        m_access.CloseHidDevice(handle);
}

QByteArray EmulatorSession::handle(const LineFramer::Line &line)
{
    if (line.overlong)
        return bad("line too long");
    return handleLine(line.text);
}

QByteArray EmulatorSession::handleLine(QByteArrayView line)
{
    if (line.size() > emulator::kMaxLineLength)
        return bad("line too long");
    if (!isPrintableAscii(line))
        return bad("not a printable ASCII line");

    Arguments words = line.toByteArray().simplified().split(' ');
    if (words.size() == 1 && words.front().isEmpty())
        return bad("empty line");
    const std::string keyword = words.takeFirst().toUpper().toStdString();
    const auto found = commands().find(keyword);
    if (found == commands().end())
        return bad("unknown command");
    const Command &command = found->second;
    if (command.argumentCount >= 0 && words.size() != command.argumentCount)
        return QByteArray("BAD usage: ") + command.usage;

    Context context{m_access, m_handles};
    return command.run(context, words);
}

} // namespace orvex
