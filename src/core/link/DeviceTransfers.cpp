#include "core/link/DeviceTransfers.h"

#include "core/config/ChannelSettings.h"
#include "core/config/UserMessage.h"
#include "core/link/DeviceMessages.h"
#include "core/link/DeviceTransport.h"

#include <utility>

namespace orvex {

namespace {

constexpr std::uint8_t kClearedSignature = 0;

int headerAddress(int channel, int index)
{
    return image::blockStart(channel) + image::kHeaderOffset + index;
}

// Number of section-pair bytes a channel moves, from its steps byte in the image.
int sectionPairBytes(const ConfigImage &image, int channel)
{
    return 2 * sectionsForSteps(image[headerAddress(channel, 0)]);
}

QString deviceLabel(int deviceNumber)
{
    return QString::number(deviceNumber + 1);
}

// The two progress lines of one transfer direction ("Reading" or "Writing"): the first counts
// channel headers, the second section-pair bytes.
class ProgressText
{
public:
    explicit ProgressText(QString verb)
        : m_verb(std::move(verb))
    {}

    // Before the header of `channel` moves.
    QString header(int channel) const
    {
        return text(percentText(channel, kChannelCount), percent(0));
    }

    // Before section-pair byte `done` of `total` moves.
    QString data(int done, int total) const { return text(percent(100), percentText(done, total)); }

    QString finished() const { return text(percent(100), percent(100)); }

private:
    static QString percent(int value) { return QString::number(value) + QLatin1Char('%'); }

    QString text(const QString &configurationPercent, const QString &dataPercent) const
    {
        return m_verb + QStringLiteral(" configuration - ") + configurationPercent + kLineBreak +
               m_verb + QStringLiteral(" data - ") + dataPercent;
    }

    QString m_verb;
};

// One transfer's private handle of the device, closed on every way out.
class TransferSession
{
public:
    TransferSession(DeviceTransport &transport, TransferDirection direction, int deviceNumber,
                    const TransferProgress &progress)
        : m_transport(transport)
        , m_progress(progress)
        , m_text(direction == TransferDirection::Read ? QStringLiteral("Reading")
                                                      : QStringLiteral("Writing"))
    {
        m_outcome.direction = direction;
        m_outcome.deviceNumber = deviceNumber;
    }

    ~TransferSession() { closeHandle(); }

    TransferSession(const TransferSession &) = delete;
    TransferSession &operator=(const TransferSession &) = delete;

    const ProgressText &text() const { return m_text; }
    TransferOutcome &outcome() { return m_outcome; }

    // The device could not be opened: absent, or held by another program, which is said so
    // rather than calling a plugged-in device missing.
    bool open()
    {
        const HidStatus status = m_transport.openDevice(m_handle, m_outcome.deviceNumber);
        if (status == hid::kSuccess)
            return true;
        fail(TransferResult::NotFound,
             deviceUnavailableText(m_transport.access(), m_outcome.deviceNumber, status));
        return false;
    }

    std::uint8_t readByte(int address) { return m_transport.readDeviceByte(m_handle, address); }

    // Whether any read since the transfer began failed (the transport's sticky flag).
    bool readFailed() const { return m_transport.deviceError; }

    bool writeByte(int address, std::uint8_t value)
    {
        return m_transport.writeDeviceByte(m_handle, address, value) == hid::kSuccess;
    }

    void setStatus(const QString &text) { m_progress(text); }

    void closeHandle()
    {
        if (DeviceTransport::isOpen(m_handle))
            m_transport.closeDevice(m_handle);
        m_handle = kClosedHandle;
    }

    TransferOutcome fail(TransferResult result, const QString &text)
    {
        closeHandle();
        m_outcome.result = result;
        m_outcome.failureText = text;
        return m_outcome;
    }

    QString deviceLabel() const { return orvex::deviceLabel(m_outcome.deviceNumber); }

private:
    DeviceTransport &m_transport;
    const TransferProgress &m_progress;
    ProgressText m_text;
    HidHandle m_handle = kClosedHandle;
    TransferOutcome m_outcome;
};

// The configured part of an image in the order the device moves it, one byte per exchange: the
// six channel headers (which say how many section bytes follow), the power-on delay, then each
// channel's section pairs, with the progress shown before each header and each section byte.
// The first failed exchange stops the walk: with the device gone, every further one would only
// wait for its time-out.
class ConfiguredBytes
{
public:
    // `image` is read for the step counts as the walk goes, so a read may fill it on the way.
    ConfiguredBytes(TransferSession &session, const ConfigImage &image)
        : m_session(session)
        , m_image(image)
    {}

    // `move(address)` moves one byte and says whether its exchange succeeded.
    template <typename Move> bool moveHeaders(Move move)
    {
        for (int channel = 0; channel < kChannelCount; ++channel) {
            m_session.setStatus(m_session.text().header(channel));
            for (int index = 0; index < image::kHeaderSize; ++index) {
                if (!move(headerAddress(channel, index)))
                    return false;
            }
            m_total += sectionPairBytes(m_image, channel);
        }
        return true;
    }

    template <typename Move> bool moveSections(Move move)
    {
        int done = 0;
        for (int channel = 0; channel < kChannelCount; ++channel) {
            const int start = image::blockStart(channel);
            for (int offset = 0; offset < sectionPairBytes(m_image, channel); ++offset) {
                m_session.setStatus(m_session.text().data(done, m_total));
                ++done;
                if (!move(start + offset))
                    return false;
            }
        }
        m_session.setStatus(m_session.text().finished());
        return true;
    }

private:
    TransferSession &m_session;
    const ConfigImage &m_image;
    int m_total = 0;
};

// The signature goes first, so that a device whose write breaks off is not left looking
// configured, and comes back last, when everything else is stored.
bool writeSignature(TransferSession &session, const std::uint8_t (&signature)[2])
{
    return session.writeByte(image::kSignatureAddress, signature[0]) &&
           session.writeByte(image::kSignatureAddress + 1, signature[1]);
}

} // namespace

TransferOutcome readConfiguration(DeviceTransport &transport, int deviceNumber,
                                  const TransferProgress &progress)
{
    TransferSession session(transport, TransferDirection::Read, deviceNumber, progress);
    transport.deviceError = false;
    if (!session.open())
        return session.outcome();

    ConfigImage &image = session.outcome().image;
    const auto readByte = [&session, &image](int address) {
        image[address] = session.readByte(address);
        return !session.readFailed();
    };
    ConfiguredBytes bytes(session, image);
    if (!bytes.moveHeaders(readByte) || !readByte(image::kPowerOnDelayAddress) ||
        !bytes.moveSections(readByte)) {
        return session.fail(
            TransferResult::ReadError,
            QStringLiteral("Error while reading from the ORVEX (%1)").arg(session.deviceLabel()));
    }
    session.closeHandle();
    return session.outcome();
}

TransferOutcome writeConfiguration(DeviceTransport &transport, int deviceNumber,
                                   const ConfigImage &image, const TransferProgress &progress)
{
    TransferSession session(transport, TransferDirection::Write, deviceNumber, progress);
    if (!session.open())
        return session.outcome();

    const auto writeByte = [&session, &image](int address) {
        return session.writeByte(address, image[address]);
    };
    ConfiguredBytes bytes(session, image);
    static constexpr std::uint8_t kCleared[2] = {kClearedSignature, kClearedSignature};
    const bool complete = writeSignature(session, kCleared) && bytes.moveHeaders(writeByte) &&
                          writeByte(image::kPowerOnDelayAddress) && bytes.moveSections(writeByte) &&
                          writeSignature(session, image::kSignature);
    if (!complete) {
        return session.fail(
            TransferResult::WriteError,
            QStringLiteral("Error while writing to the ORVEX (%1)").arg(session.deviceLabel()));
    }
    session.closeHandle();
    return session.outcome();
}

QString percentText(int done, int total)
{
    if (total <= 0)
        return QStringLiteral("100%");
    // done * 100 / total rounded half away from zero, in whole numbers so that 1/8 is 13%.
    const long long scaled = 200LL * done;
    const long long twiceTotal = 2LL * total;
    const long long rounded =
        scaled >= 0 ? (scaled + total) / twiceTotal : -((-scaled + total) / twiceTotal);
    return QString::number(rounded) + QLatin1Char('%');
}

} // namespace orvex
