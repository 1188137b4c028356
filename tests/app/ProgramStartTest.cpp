// orvex-config itself, started where a display is missing.

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct ProgramRun
{
    int exitCode; // -1 when the program did not exit normally (a crash, an abort)
    QString err;
};

ProgramRun runProgram(const QStringList &arguments,
                      const QList<std::pair<QString, QString>> &variables)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const auto &[name, value] : variables)
        environment.insert(name, value);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ORVEX_CONFIG_PATH), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

const QString kNoDisplay = QStringLiteral(
    "orvex-config needs a desktop session, and no display was found; without one, run it as "
    "\"xvfb-run -a orvex-config\", or with QT_QPA_PLATFORM=offscreen for a smoke test\n");

TEST(ProgramStartTest, WithoutADisplayItSaysWhatItNeedsInOneLine)
{
    const QList<std::pair<QString, QString>> noDisplays[] = {
        {}, // no display named at all, as in an SSH session
        {{QStringLiteral("DISPLAY"), QStringLiteral(":4242")}}, // one that is not there
    };
    for (const auto &variables : noDisplays) {
        const ProgramRun run = runProgram({QStringLiteral("--simulate")}, variables);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.toStdString(), kNoDisplay.toStdString());
    }
}

TEST(ProgramStartTest, TheSmokeTestItSuggestsRuns)
{
    const ProgramRun run =
        runProgram({QStringLiteral("--simulate"), QStringLiteral("--quit-after-show")},
                   {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

} // namespace
