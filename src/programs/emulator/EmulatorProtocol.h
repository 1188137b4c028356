#pragma once

#include "core/access/DeviceAccess.h"

#include <QByteArray>
#include <QByteArrayView>
#include <deque>
#include <set>

namespace orvex {

class VirtualDeviceAccess;

namespace emulator {
// Longest request line, without its newline.  Longer lines are answered with one BAD and
// dropped up to their newline.
constexpr qsizetype kMaxLineLength = 256;
} // namespace emulator

// Cuts a byte stream into request lines ending in "\n" (a "\r" before it is dropped), bounding
// the memory a peer can make us hold.
class LineFramer
{
public:
    struct Line
    {
        QByteArray text;
        bool overlong = false; // the line was longer than kMaxLineLength; `text` is empty
    };

    void append(QByteArrayView data);
    bool hasLine() const { return !m_lines.empty(); }
    Line takeLine();

private:
    void appendPartial(QByteArrayView data);

    QByteArray m_partial;
    bool m_discarding = false;
    std::deque<Line> m_lines;
};

// One connection's side of the emulator protocol: takes a request line and returns its reply
// line (both without the newline), working on the shared virtual devices.  The handles a
// session opens belong to it: other sessions cannot use them, and they are closed when the
// session ends.  Any input, however malformed, gets a BAD reply and leaves the session usable.
class EmulatorSession
{
public:
    explicit EmulatorSession(VirtualDeviceAccess &access);
    ~EmulatorSession();

    EmulatorSession(const EmulatorSession &) = delete;
    EmulatorSession &operator=(const EmulatorSession &) = delete;

    QByteArray handleLine(QByteArrayView line);
    QByteArray handle(const LineFramer::Line &line);

private:
    VirtualDeviceAccess &m_access;
    std::set<HidHandle> m_handles;
};

} // namespace orvex
