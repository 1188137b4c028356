// orvex-bench-emulator-command SOCKET LINE...: sends control lines to a running orvex-emulator
// (for example "LIVE 1 10 60 110 160 210 250") and prints each reply; fails on the first reply
// that is not OK.  bench/run uses it to hold the emulated inputs steady.

#include "core/backends/emulator/EmulatorClient.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: orvex-bench-emulator-command SOCKET LINE...\n");
        return 2;
    }
    orvex::EmulatorClient client(arguments.first());
    for (const QString &line : arguments.mid(1)) {
        const std::optional<QByteArray> reply = client.roundTrip(line.toUtf8());
        if (!reply) {
            std::fprintf(stderr, "no reply to \"%s\"\n", qPrintable(line));
            return 1;
        }
        std::printf("%s\n", reply->constData());
        if (!reply->startsWith("OK"))
            return 1;
    }
    return 0;
}
