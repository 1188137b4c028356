#pragma once

#include "programs/ctl/Console.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace orvex {
class DeviceAccess;
}

namespace orvex::ctl::test {

// Makes sure a QCoreApplication exists (parsers, event loops and socket notifiers need one).
void ensureApplication();

// A console on memory buffers: standard input from `input`, both outputs collected.
class BufferConsole
{
public:
    explicit BufferConsole(const QByteArray &input = {}, bool terminal = false);

    Console &console() { return m_console; }
    QString out() const { return QString::fromUtf8(m_out.data()); }
    QString err() const { return QString::fromUtf8(m_err.data()); }

private:
    QByteArray m_inputData;
    QBuffer m_in;
    QBuffer m_out;
    QBuffer m_err;
    Console m_console;
};

struct RunResult
{
    int status = -1;
    QString out;
    QString err;
};

// Runs orvexctl in this process with the given arguments (without the program name).
RunResult runCtl(const QStringList &arguments, DeviceAccess *access = nullptr,
                 const QByteArray &input = {}, bool terminal = false);

QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &content);

} // namespace orvex::ctl::test
