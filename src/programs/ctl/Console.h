#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QTextStream>
#include <memory>

namespace orvex::ctl {

// The three standard streams of the program, and whether they are terminals.  Tests hand in
// buffers instead of the process's streams.
class Console
{
public:
    Console(QIODevice &input, QIODevice &output, QIODevice &error, bool outputIsTerminal,
            bool errorIsTerminal);
    virtual ~Console() = default; // standard() hands out a subclass that owns the streams

    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // The process's own streams; terminal detection through isatty().
    static std::unique_ptr<Console> standard();

    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // A complete line on standard output or standard error, flushed at once so that a reader
    // on the other end of a pipe sees it immediately.
    void printLine(const QString &text);
    void errorLine(const QString &text);

    QByteArray readAllInput() { return m_input.readAll(); }

    // True once a write to standard output failed, e.g. because the reader of a pipe is gone.
    bool outputFailed() const { return m_out.status() == QTextStream::WriteFailed; }

    bool outputIsTerminal() const { return m_outputIsTerminal; }
    bool errorIsTerminal() const { return m_errorIsTerminal; }

private:
    QIODevice &m_input;
    QTextStream m_out;
    QTextStream m_err;
    bool m_outputIsTerminal;
    bool m_errorIsTerminal;
};

} // namespace orvex::ctl
