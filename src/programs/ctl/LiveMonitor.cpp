#include "programs/ctl/LiveMonitor.h"

#include "programs/ctl/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace orvex::ctl {

namespace {
constexpr int kColumnWidth = 4; // three digits and the direction mark
constexpr char kRedrawLine[] = "\r\x1b[K";

template <typename Bytes> QJsonArray toJsonArray(const Bytes &bytes)
{
    QJsonArray array;
    for (const auto byte : bytes)
        array.append(byte);
    return array;
}
} // namespace

QString LiveLine::header()
{
    QStringList columns;
    for (int channel = 1; channel <= 6; ++channel)
        columns << QStringLiteral("Ch%1").arg(channel).leftJustified(kColumnWidth);
    return columns.join(QStringLiteral("  "));
}

QString LiveLine::text(const LiveValues &values, const LiveDirections &directions)
{
    QStringList columns;
    for (std::size_t channel = 0; channel < values.size(); ++channel) {
        columns << QStringLiteral("%1%2")
                       .arg(int{values[channel]}, kColumnWidth - 1)
                       .arg(directionMark(directions[channel]));
    }
    return columns.join(QStringLiteral("  "));
}

QString LiveLine::json(const LiveValues &values, const LiveDirections &directions)
{
    const QJsonObject object{{QStringLiteral("values"), toJsonArray(values)},
                             {QStringLiteral("directions"), toJsonArray(directions)}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QChar LiveLine::directionMark(std::uint8_t direction)
{
    switch (direction) {
    case direction::kRising:
        return QLatin1Char('^');
    case direction::kFalling:
        return QLatin1Char('v');
    default:
        return QLatin1Char(' ');
    }
}

LiveMonitor::LiveMonitor(DeviceLink &link, Console &console, Options options)
    : m_link(link)
    , m_console(console)
    , m_options(options)
{
    connect(&m_link, &DeviceLink::sampled, this, &LiveMonitor::showSample);
    connect(&m_link, &DeviceLink::stateChanged, this, &LiveMonitor::showState);
    m_link.setEveryPollAnnounced(true); // one line per poll, changed or not
}

LiveMonitor::~LiveMonitor() = default;

bool LiveMonitor::start()
{
    m_link.waitForDeviceTick();
    m_link.waitUntilIdle();
    if (!m_link.isViewing())
        return false;
    if (m_console.outputIsTerminal() && !m_options.json)
        m_console.printLine(LiveLine::header());
    return true;
}

void LiveMonitor::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    endRedrawnLine();
    Q_EMIT finished();
}

void LiveMonitor::showSample(const LiveSample &sample)
{
    if (m_stopped || !sample.read)
        return;
    const QString line = m_options.json ? LiveLine::json(sample.values, sample.directions)
                                        : LiveLine::text(sample.values, sample.directions);
    // On a terminal the values are redrawn in place; anywhere else every poll is one line.
    if (m_console.outputIsTerminal() && !m_options.json) {
        m_console.out() << kRedrawLine << line << Qt::flush;
        m_lineOpen = true;
    } else {
        m_console.printLine(line);
    }
    ++m_pollCount;
    // Nobody reads the values any more (`orvexctl monitor | head`): end as on Ctrl+C.
    if (m_console.outputFailed() || (m_options.polls > 0 && m_pollCount >= m_options.polls))
        stop();
}

void LiveMonitor::showState(const LinkState &state)
{
    endRedrawnLine();
    m_console.errorLine(statusText(state));
}

void LiveMonitor::endRedrawnLine()
{
    if (!m_lineOpen)
        return;
    m_console.out() << '\n' << Qt::flush;
    m_lineOpen = false;
}

} // namespace orvex::ctl
