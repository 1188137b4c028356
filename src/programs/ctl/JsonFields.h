#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace orvex::ctl {

// How a value is quoted in a message: numbers as written, strings in quotes, the rest by kind.
QString describeJson(const QJsonValue &value);

// The fields of one JSON object at a path such as "channels[2]", read with messages that name
// the field, the value and what is wrong with it.  Every read that fails returns false (or
// nothing) and leaves the message in error().
class JsonFields
{
public:
    JsonFields(QJsonObject object, QString path);

    // False when the object holds a field not in `known`; the message lists the known ones.
    bool onlyKnown(const QStringList &known, const QString &whatHasThem);

    bool has(const QString &field) const { return m_object.contains(field); }
    QJsonValue value(const QString &field) const { return m_object.value(field); }

    // "channels[2].steps", or the field alone at the top.
    QString where(const QString &field) const;
    const QString &path() const { return m_path; }

    // A whole number in [min, max].
    std::optional<int> integer(const QString &field, int min, int max);

    // An array of exactly `length` bytes (0-255); the message for a wrong length is
    // "<where>: N entries, but <needs> exactly <length>: add|remove K".
    std::optional<QList<std::uint8_t>> bytes(const QString &field, int length,
                                             const QString &needs);

    // An array of exactly `length` strings.
    std::optional<QStringList> strings(const QString &field, int length, const QString &needs);

    // A name as text: a string, or a number written as JSON writes it (16, 0.5).
    std::optional<QString> name(const QString &field);

    // Records a failure; always false, so that callers can `return fail(...)`.
    bool fail(const QString &message);
    const QString &error() const { return m_error; }

private:
    std::optional<QJsonArray> array(const QString &field, int length, const QString &needs);

    QJsonObject m_object;
    QString m_path;
    QString m_error;
};

// Checks one value against [min, max]; on failure `reason` says why, without the field.
std::optional<int> jsonInteger(const QJsonValue &value, int min, int max, QString &reason);

} // namespace orvex::ctl
