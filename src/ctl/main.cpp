#include "ctl/Console.h"
#include "ctl/OrvexCtl.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(orvex::ctl::OrvexCtl::programName());
    const auto console = orvex::ctl::Console::standard();
    orvex::ctl::OrvexCtl program(*console);
    return program.run(QCoreApplication::arguments());
}
