#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace orvex {

// The one line the program says when it finds no display to open its windows on.
QString noDisplayText(const QString &program);

// Guards the connection to the display while QApplication is built.  Without a display (an SSH
// session, a container) Qt ends the program with several lines about its platform plugins and a
// core dump.  The guard holds Qt's messages back meanwhile: on the fatal one it says
// noDisplayText() instead and ends the program with status 1; once the connection stands it
// hands the held messages on unchanged.
class DisplayConnectionGuard
{
public:
    explicit DisplayConnectionGuard(QString program);
    ~DisplayConnectionGuard();

    DisplayConnectionGuard(const DisplayConnectionGuard &) = delete;
    DisplayConnectionGuard &operator=(const DisplayConnectionGuard &) = delete;

private:
    struct HeldMessage
    {
        QtMsgType type;
        QByteArray file;
        int line;
        QByteArray function;
        QByteArray category;
        QString text;
    };

    static void hold(QtMsgType type, const QMessageLogContext &context, const QString &text);

    static inline QString s_program;
    static inline std::vector<HeldMessage> s_held;
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace orvex
