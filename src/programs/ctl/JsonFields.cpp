#include "programs/ctl/JsonFields.h"

#include <cmath>
#include <limits>

namespace orvex::ctl {

QString describeJson(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::abs(number) < 1e15)
            return QString::number(static_cast<qint64>(number));
        return QString::number(number, 'g', 17);
    }
    case QJsonValue::String:
        return QStringLiteral("\"%1\"").arg(value.toString());
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

std::optional<int> jsonInteger(const QJsonValue &value, int min, int max, QString &reason)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number) {
        reason = QStringLiteral("%1 is not an integer").arg(describeJson(value));
        return std::nullopt;
    }
    if (number < min || number > max) {
        reason =
            QStringLiteral("%1 is out of range %2-%3").arg(describeJson(value)).arg(min).arg(max);
        return std::nullopt;
    }
    return static_cast<int>(number);
}

JsonFields::JsonFields(QJsonObject object, QString path)
    : m_object(std::move(object))
    , m_path(std::move(path))
{}

bool JsonFields::onlyKnown(const QStringList &known, const QString &whatHasThem)
{
    for (const QString &field : m_object.keys()) {
        if (!known.contains(field)) {
            return fail(QStringLiteral("%1: unknown field; %2 has %3")
                            .arg(where(field), whatHasThem, known.join(QStringLiteral(", "))));
        }
    }
    return true;
}

QString JsonFields::where(const QString &field) const
{
    return m_path.isEmpty() ? field : m_path + QLatin1Char('.') + field;
}

bool JsonFields::fail(const QString &message)
{
    m_error = message;
    return false;
}

std::optional<int> JsonFields::integer(const QString &field, int min, int max)
{
    QString reason;
    const std::optional<int> number = jsonInteger(value(field), min, max, reason);
    if (!number)
        fail(where(field) + QStringLiteral(": ") + reason);
    return number;
}

std::optional<QJsonArray> JsonFields::array(const QString &field, int length, const QString &needs)
{
    const QJsonValue entry = value(field);
    if (!entry.isArray()) {
        fail(QStringLiteral("%1: %2 is not an array").arg(where(field), describeJson(entry)));
        return std::nullopt;
    }
    const QJsonArray items = entry.toArray();
    if (items.size() != length) {
        const qsizetype difference = length - items.size();
        fail(QStringLiteral("%1: %2 entries, but %3 exactly %4: %5 %6")
                 .arg(where(field))
                 .arg(items.size())
                 .arg(needs)
                 .arg(length)
                 .arg(difference > 0 ? QStringLiteral("add") : QStringLiteral("remove"))
                 .arg(std::abs(difference)));
        return std::nullopt;
    }
    return items;
}

std::optional<QList<std::uint8_t>> JsonFields::bytes(const QString &field, int length,
                                                     const QString &needs)
{
    const std::optional<QJsonArray> items = array(field, length, needs);
    if (!items)
        return std::nullopt;
    QList<std::uint8_t> result;
    for (qsizetype i = 0; i < items->size(); ++i) {
        QString reason;
        const std::optional<int> byte =
            jsonInteger(items->at(i), 0, std::numeric_limits<std::uint8_t>::max(), reason);
        if (!byte) {
            fail(QStringLiteral("%1[%2]: %3").arg(where(field)).arg(i).arg(reason));
            return std::nullopt;
        }
        result.append(static_cast<std::uint8_t>(*byte));
    }
    return result;
}

std::optional<QStringList> JsonFields::strings(const QString &field, int length,
                                               const QString &needs)
{
    const std::optional<QJsonArray> items = array(field, length, needs);
    if (!items)
        return std::nullopt;
    QStringList result;
    for (qsizetype i = 0; i < items->size(); ++i) {
        if (!items->at(i).isString()) {
            fail(QStringLiteral("%1[%2]: %3 is not a string")
                     .arg(where(field))
                     .arg(i)
                     .arg(describeJson(items->at(i))));
            return std::nullopt;
        }
        result.append(items->at(i).toString());
    }
    return result;
}

std::optional<QString> JsonFields::name(const QString &field)
{
    const QJsonValue entry = value(field);
    if (entry.isString())
        return entry.toString();
    if (entry.isDouble() && std::isfinite(entry.toDouble()))
        return QString::number(entry.toDouble(), 'g', 15);
    fail(QStringLiteral("%1: %2 is not a name").arg(where(field), describeJson(entry)));
    return std::nullopt;
}

} // namespace orvex::ctl
