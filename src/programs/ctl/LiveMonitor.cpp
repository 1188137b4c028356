#include "programs/ctl/LiveMonitor.h"

#include "programs/ctl/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace orvex::ctl {

namespace {
constexpr int kPollIntervalMs = 10;
constexpr int kWaitIntervalMs = 1000;
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
    case DevicePolling::kDirectionRising:
        return QLatin1Char('^');
    case DevicePolling::kDirectionFalling:
        return QLatin1Char('v');
    default:
        return QLatin1Char(' ');
    }
}

LiveMonitor::LiveMonitor(DevicePolling &polling, Console &console, Options options)
    : m_polling(polling)
    , m_console(console)
    , m_options(options)
{
    m_pollTimer.setInterval(kPollIntervalMs);
    m_waitTimer.setInterval(kWaitIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &LiveMonitor::pollTick);
    connect(&m_waitTimer, &QTimer::timeout, this, &LiveMonitor::waitTick);
    m_polling.setView(this);
}

LiveMonitor::~LiveMonitor()
{
    m_polling.setView(nullptr);
}

bool LiveMonitor::start()
{
    m_polling.waitForDeviceTick();
    if (!m_polling.deviceAttached)
        return false;
    if (m_console.outputIsTerminal() && !m_options.json)
        m_console.printLine(LiveLine::header());
    m_pollTimer.start();
    return true;
}

void LiveMonitor::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_pollTimer.stop();
    m_waitTimer.stop();
    endRedrawnLine();
    Q_EMIT finished();
}

void LiveMonitor::pollTick()
{
    if (m_stopped)
        return;
    if (m_beforePoll)
        m_beforePoll();
    m_polling.pollDevice();
}

void LiveMonitor::waitTick()
{
    if (!m_stopped)
        m_polling.waitForDeviceTick();
}

void LiveMonitor::clearGraphs()
{
    endRedrawnLine();
}

void LiveMonitor::drawGraphs()
{
    const QString line = m_options.json
                             ? LiveLine::json(m_polling.liveValue, m_polling.liveDirection)
                             : LiveLine::text(m_polling.liveValue, m_polling.liveDirection);
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

void LiveMonitor::setStatusText(const QString &text)
{
    endRedrawnLine();
    m_console.errorLine(text);
}

void LiveMonitor::setWaitTimerEnabled(bool enabled)
{
    if (enabled && !m_stopped)
        m_waitTimer.start();
    else
        m_waitTimer.stop();
}

void LiveMonitor::showSelectedDevice(int)
{
    // The status text that follows names the device; there is nothing else to update.
}

void LiveMonitor::endRedrawnLine()
{
    if (!m_lineOpen)
        return;
    m_console.out() << '\n' << Qt::flush;
    m_lineOpen = false;
}

} // namespace orvex::ctl
