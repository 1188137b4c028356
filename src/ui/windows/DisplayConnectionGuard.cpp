#include "ui/windows/DisplayConnectionGuard.h"

#include <cstdio>
#include <cstdlib>

namespace orvex {

QString noDisplayText(const QString &program)
{
    return QStringLiteral("%1 needs a desktop session, and no display was found; without one, "
                          "run it as \"xvfb-run -a %1\", or with QT_QPA_PLATFORM=offscreen for a "
                          "smoke test")
        .arg(program);
}

DisplayConnectionGuard::DisplayConnectionGuard(QString program)
{
    s_program = std::move(program);
    s_held.clear();
    s_previous = qInstallMessageHandler(&DisplayConnectionGuard::hold);
}

DisplayConnectionGuard::~DisplayConnectionGuard()
{
    qInstallMessageHandler(s_previous);
    for (const HeldMessage &held : s_held) {
        const QMessageLogContext context(held.file.constData(), held.line,
                                         held.function.constData(), held.category.constData());
        if (s_previous != nullptr)
            s_previous(held.type, context, held.text);
    }
    s_held.clear();
}

void DisplayConnectionGuard::hold(QtMsgType type, const QMessageLogContext &context,
                                  const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(noDisplayText(s_program)));
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    s_held.push_back({type, QByteArray(context.file), context.line, QByteArray(context.function),
                      QByteArray(context.category), text});
}

} // namespace orvex
