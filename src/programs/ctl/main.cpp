#include "programs/ctl/Console.h"
#include "programs/ctl/OrvexCtl.h"

#include <QCoreApplication>
#include <csignal>

int main(int argc, char *argv[])
{
    // A closed pipe shows up as a failed write, so the monitor can still release the device.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(orvex::ctl::OrvexCtl::programName());
    const auto console = orvex::ctl::Console::standard();
    orvex::ctl::OrvexCtl program(*console);
    return program.run(QCoreApplication::arguments());
}
