#include "core/config/SettingNames.h"

#include "core/config/ChannelSettings.h"
#include "core/config/ConfigModel.h"

#include <QStringList>
#include <cmath>

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

namespace {

QString normalized(const QString &name)
{
    return name.simplified().toLower();
}

// The code in [first, last] whose name is `name`.
template <typename NameOf>
std::optional<std::uint8_t> codeNamed(const QString &name, int first, int last, NameOf nameOf)
{
    const QString wanted = normalized(name);
    for (int code = first; code <= last; ++code) {
        if (normalized(nameOf(static_cast<std::uint8_t>(code))) == wanted)
            return static_cast<std::uint8_t>(code);
    }
    return std::nullopt;
}

// "5 sec" and "5" alike; the unit is what the names print.
QString withoutSeconds(const QString &name)
{
    QString text = normalized(name);
    if (text.endsWith(QLatin1String("sec")))
        text.chop(3);
    return text.trimmed();
}

} // namespace

std::optional<std::uint8_t> stepsFromName(const QString &name)
{
    return codeNamed(name, 1, kDirectionalSteps, stepsName);
}

std::optional<std::uint8_t> hysteresisFromName(const QString &name)
{
    return codeNamed(name, 0, 2, hysteresisName);
}

std::optional<std::uint8_t> offOnFromName(const QString &name)
{
    return codeNamed(name, 0, 1, offOnName);
}

std::optional<std::uint8_t> outputsFromName(const QString &name)
{
    // The outputs are a set: "Joystick, Keyboard" is "Keyboard, Joystick".
    const auto outputSet = [](const QString &text) {
        QStringList words = normalized(text).split(QLatin1Char(','));
        for (QString &word : words)
            word = word.trimmed();
        words.sort();
        return words;
    };
    const QStringList wanted = outputSet(name);
    for (int mode = 0; mode <= kModeBoth; ++mode) {
        if (outputSet(outputsName(static_cast<std::uint8_t>(mode))) == wanted)
            return static_cast<std::uint8_t>(mode);
    }
    return std::nullopt;
}

std::optional<std::uint8_t> axisFromName(const QString &name)
{
    for (const JoystickAxis &axis : joystickAxes()) {
        if (normalized(QString::fromLatin1(axis.name)) == normalized(name))
            return axis.code;
    }
    // Any byte is an axis to the device; the names print the others as "0x12 (unknown)".
    QString text = normalized(name);
    if (text.endsWith(QLatin1String("(unknown)")))
        text = text.chopped(9).trimmed();
    if (!text.startsWith(QLatin1String("0x")) || text.size() < 3 || text.size() > 4)
        return std::nullopt;
    bool ok = false;
    const uint code = text.mid(2).toUInt(&ok, 16);
    return ok ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(code)) : std::nullopt;
}

std::optional<std::uint8_t> powerOnDelayFromName(const QString &name)
{
    if (normalized(name) == QLatin1String("disabled"))
        return 0;
    bool ok = false;
    const uint seconds = withoutSeconds(name).toUInt(&ok);
    if (!ok || seconds > kMaxPowerOnDelay)
        return std::nullopt;
    return static_cast<std::uint8_t>(seconds);
}

std::optional<std::uint8_t> periodicFromName(const QString &name)
{
    if (normalized(name) == QLatin1String("disabled"))
        return 0;
    bool ok = false;
    const double tenths = QLocale::c().toDouble(withoutSeconds(name), &ok) * 10;
    const double rounded = std::round(tenths);
    // Tenths of a second only: 0.25 has no code, while 0.3 must not fail on 2.9999999.
    constexpr double kTolerance = 1e-6;
    if (!ok || !std::isfinite(tenths) || std::abs(tenths - rounded) > kTolerance || rounded < 0 ||
        rounded > kMaxPeriodic)
        return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

} // namespace orvex
