#include "core/config/SettingNames.h"

#include "core/config/ChannelSettings.h"

#include <QStringList>

namespace orvex {

namespace {
QString unknownValue(std::uint8_t value)
{
    return QStringLiteral("%1 (unknown)").arg(int{value});
}
} // namespace

QString stepsName(std::uint8_t steps)
{
    if (steps == kDirectionalSteps)
        return QStringLiteral("Directional");
    if (steps == 0)
        return QStringLiteral("none");
    const int sections = sectionsForSteps(steps);
    return sections == 0 ? unknownValue(steps) : QString::number(sections);
}

QString hysteresisName(std::uint8_t setting)
{
    static const char *const names[] = {"Low", "Medium", "High"};
    return setting < std::size(names) ? QString::fromLatin1(names[setting]) : unknownValue(setting);
}

QString offOnName(std::uint8_t value)
{
    switch (value) {
    case 0:
        return QStringLiteral("Off");
    case 1:
        return QStringLiteral("On");
    default:
        return unknownValue(value);
    }
}

QString periodicName(std::uint8_t periodic, const QLocale &locale)
{
    if (periodic == 0)
        return QStringLiteral("Disabled");
    // The user's decimal separator, but always the digits 0 to 9: QLocale would write
    // Arabic-Indic digits ("١٠٫٠") in front of the English " sec".
    QString number = QString::number(periodic / 10.0, 'f', 1);
    number.replace(QLatin1Char('.'), locale.decimalPoint());
    return number + QStringLiteral(" sec");
}

QString outputsName(std::uint8_t mode)
{
    QStringList outputs;
    if (isKeyboardEnabled(mode))
        outputs << QStringLiteral("Keyboard");
    if (isJoystickEnabled(mode))
        outputs << QStringLiteral("Joystick");
    if (mode > kModeBoth)
        return unknownValue(mode);
    return outputs.isEmpty() ? QStringLiteral("None") : outputs.join(QStringLiteral(", "));
}

QString axisName(std::uint8_t axis)
{
    if (const char *name = joystickAxisName(axis))
        return QString::fromLatin1(name);
    return QStringLiteral("0x%1 (unknown)").arg(int{axis}, 2, 16, QLatin1Char('0'));
}

QString powerOnDelayName(std::uint8_t delay)
{
    return delay == 0 ? QStringLiteral("Disabled") : QStringLiteral("%1 sec").arg(int{delay});
}

} // namespace orvex
