#include "programs/ctl/ConfigTable.h"

#include "core/config/ConfigModel.h"
#include "core/config/SettingNames.h"
#include "core/keys/KeyNames.h"

#include <QTextStream>

namespace orvex::ctl {

namespace {

constexpr int kLabelWidth = 22;

void writeRow(QTextStream &out, const QString &label, const QString &value)
{
    out << "  " << (label + QLatin1Char(':')).leftJustified(kLabelWidth) << value << '\n';
}

void writeChannel(QTextStream &out, int index, const ChannelSettings &channel)
{
    out << "Channel " << index + 1 << '\n';
    writeRow(out, QStringLiteral("Outputs"), outputsName(channel.mode));
    writeRow(out, QStringLiteral("Number of steps"), stepsName(channel.steps));
    writeRow(out, QStringLiteral("Hysteresis"), hysteresisName(channel.hysteresis));
    writeRow(out, QStringLiteral("Preload"), offOnName(channel.preload));
    writeRow(out, QStringLiteral("Key repeat"), offOnName(channel.repeat));
    writeRow(out, QStringLiteral("Periodic keystrokes"), periodicName(channel.periodic));
    writeRow(out, QStringLiteral("Joystick axis"), axisName(channel.axis));

    const int sections = sectionsForSteps(channel.steps);
    if (sections == 0)
        return;
    out << "  Step  Key\n";
    for (int s = 0; s < sections; ++s) {
        out << "  " << QString::number(s + 1).rightJustified(4) << "  "
            << keyLabel(channel.keys[s], channel.keyOperators[s]) << '\n';
    }
}

} // namespace

QString ConfigTable::format(const ConfigModel &model)
{
    QString text;
    QTextStream out(&text);
    out << "Power-on delay: " << powerOnDelayName(model.powerOnDelay()) << '\n';
    for (int c = 0; c < kChannelCount; ++c) {
        out << '\n';
        writeChannel(out, c, model.channel(c));
    }
    out.flush();
    return text;
}

} // namespace orvex::ctl
