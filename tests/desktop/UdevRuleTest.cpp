#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// The rule lines of the shipped file, without comments and blank lines.
QStringList ruleLines()
{
    QFile file(QStringLiteral(ORVEX_TEST_UDEV_RULE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            lines.append(trimmed);
    }
    return lines;
}

// The key/operator/value triples of one rule line, e.g. ATTRS{idVendor} == 04b4.
struct Assignment
{
    QString key;
    QString op;
    QString value;
};

std::vector<Assignment> parse(const QString &line)
{
    static const QRegularExpression pair(QString::fromLatin1(
        R"re(^\s*([A-Z]+(?:\{[A-Za-z_]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$))re"));
    std::vector<Assignment> result;
    QString rest = line;
    while (!rest.isEmpty()) {
        const QRegularExpressionMatch match = pair.match(rest);
        if (!match.hasMatch())
            return {}; // not a well-formed rule
        result.push_back({match.captured(1), match.captured(2), match.captured(3)});
        rest = rest.mid(match.capturedLength());
    }
    return result;
}

bool has(const std::vector<Assignment> &rule, const QString &key, const QString &op,
         const QString &value)
{
    return std::any_of(rule.begin(), rule.end(), [&](const Assignment &a) {
        return a.key == key && a.op == op && a.value == value;
    });
}

TEST(UdevRuleTest, EveryLineIsWellFormed)
{
    const QStringList lines = ruleLines();
    ASSERT_FALSE(lines.isEmpty());
    for (const QString &line : lines)
        EXPECT_FALSE(parse(line).empty()) << line.toStdString();
}

// Both products, through both node kinds, to the seat's user with uaccess.
TEST(UdevRuleTest, CoversBothProductsOnHidrawAndUsbNodesWithUaccess)
{
    std::vector<std::vector<Assignment>> rules;
    for (const QString &line : ruleLines())
        rules.push_back(parse(line));

    for (const QString &product : {QStringLiteral("6148"), QStringLiteral("6149")}) {
        const auto covers = [&](const QString &subsystem, const QString &attribute) {
            return std::any_of(rules.begin(), rules.end(), [&](const auto &rule) {
                return has(rule, QStringLiteral("SUBSYSTEM"), QStringLiteral("=="), subsystem) &&
                       has(rule, attribute + QStringLiteral("{idVendor}"), QStringLiteral("=="),
                           QStringLiteral("04b4")) &&
                       has(rule, attribute + QStringLiteral("{idProduct}"), QStringLiteral("=="),
                           product) &&
                       has(rule, QStringLiteral("TAG"), QStringLiteral("+="),
                           QStringLiteral("uaccess"));
            });
        };
        EXPECT_TRUE(covers(QStringLiteral("hidraw"), QStringLiteral("ATTRS")))
            << product.toStdString();
        EXPECT_TRUE(covers(QStringLiteral("usb"), QStringLiteral("ATTR")) ||
                    covers(QStringLiteral("usb"), QStringLiteral("ATTRS")))
            << product.toStdString();
    }
}

TEST(UdevRuleTest, GrantsNothingToEveryone)
{
    for (const QString &line : ruleLines()) {
        for (const Assignment &a : parse(line)) {
            EXPECT_NE(a.key, QStringLiteral("MODE")) << line.toStdString();
            EXPECT_NE(a.key, QStringLiteral("GROUP")) << line.toStdString();
            EXPECT_NE(a.key, QStringLiteral("RUN")) << line.toStdString();
        }
    }
}

TEST(UdevRuleTest, SortsBeforeTheSeatRules)
{
    // uaccess is applied by 73-seat-late.rules, so the tag must be set by a lower number.
    const QString name = QStringLiteral(ORVEX_TEST_UDEV_RULE).section(QLatin1Char('/'), -1);
    EXPECT_LT(name, QStringLiteral("73-seat-late.rules"));
    EXPECT_TRUE(name.endsWith(QStringLiteral(".rules")));
}

} // namespace
