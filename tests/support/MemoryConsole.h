#pragma once

// orvexctl's console on streams in memory, for running its commands inside a test, a benchmark
// or a fuzz target: `input` to read, what is written kept in `out` and `err`.

#include "programs/ctl/Console.h"

#include <QBuffer>
#include <QByteArray>

namespace orvex::testing {

struct MemoryConsole
{
    explicit MemoryConsole(QByteArray text = {}, bool terminal = false)
        : input(std::move(text))
        , terminal(terminal)
    {
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
    }

    QByteArray input;
    QBuffer in{&input}, out, err;
    bool terminal;
    ctl::Console console{in, out, err, terminal, terminal};
};

} // namespace orvex::testing
