#include "CtlTestSupport.h"

#include "programs/ctl/OrvexCtl.h"

#include <QCoreApplication>
#include <QFile>

namespace orvex::ctl::test {

void ensureApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "ctl_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

BufferConsole::BufferConsole(const QByteArray &input, bool terminal)
    : m_inputData(input)
    , m_in(&m_inputData)
    , m_console(m_in, m_out, m_err, terminal, terminal)
{
    m_in.open(QIODevice::ReadOnly);
    m_out.open(QIODevice::WriteOnly);
    m_err.open(QIODevice::WriteOnly);
}

RunResult runCtl(const QStringList &arguments, DeviceAccess *access, const QByteArray &input,
                 bool terminal)
{
    ensureApplication();
    BufferConsole buffers(input, terminal);
    OrvexCtl program(buffers.console());
    program.setDeviceAccess(access);
    RunResult result;
    result.status = program.run(QStringList{QStringLiteral("orvexctl")} + arguments);
    buffers.console().out().flush();
    buffers.console().err().flush();
    result.out = buffers.out();
    result.err = buffers.err();
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

} // namespace orvex::ctl::test
