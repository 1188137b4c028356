#include "programs/ctl/Console.h"

#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace orvex::ctl {

namespace {

// Owns the QFile wrappers of the standard streams next to the console that uses them.
class StandardConsole : public Console
{
public:
    StandardConsole(std::unique_ptr<QFile> in, std::unique_ptr<QFile> out,
                    std::unique_ptr<QFile> err)
        : Console(*in, *out, *err, isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1)
        , m_in(std::move(in))
        , m_outFile(std::move(out))
        , m_errFile(std::move(err))
    {}

private:
    std::unique_ptr<QFile> m_in;
    std::unique_ptr<QFile> m_outFile;
    std::unique_ptr<QFile> m_errFile;
};

std::unique_ptr<QFile> openStandardStream(FILE *stream, QIODevice::OpenMode mode)
{
    auto file = std::make_unique<QFile>();
    // Unbuffered, so that progress written without a newline reaches the terminal at once.
    file->open(stream, mode | QIODevice::Unbuffered);
    return file;
}

} // namespace

Console::Console(QIODevice &input, QIODevice &output, QIODevice &error, bool outputIsTerminal,
                 bool errorIsTerminal)
    : m_input(input)
    , m_out(&output)
    , m_err(&error)
    , m_outputIsTerminal(outputIsTerminal)
    , m_errorIsTerminal(errorIsTerminal)
{}

std::unique_ptr<Console> Console::standard()
{
    return std::make_unique<StandardConsole>(openStandardStream(stdin, QIODevice::ReadOnly),
                                             openStandardStream(stdout, QIODevice::WriteOnly),
                                             openStandardStream(stderr, QIODevice::WriteOnly));
}

void Console::printLine(const QString &text)
{
    m_out << text << '\n' << Qt::flush;
}

void Console::errorLine(const QString &text)
{
    m_err << text << '\n' << Qt::flush;
}

} // namespace orvex::ctl
