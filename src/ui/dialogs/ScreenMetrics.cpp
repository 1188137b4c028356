#include "ui/dialogs/ScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace orvex {

namespace {

// A window on screen has its real frame (none at all without a window manager).
QMargins realFrame(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

QMargins styleEstimate(const QWidget *window)
{
    const QStyle *style = window->style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return {border, title + border, border, border};
}

} // namespace

std::optional<QSize> ScreenMetrics::s_override;

QSize ScreenMetrics::screenSize(const QWidget *window)
{
    if (s_override)
        return *s_override;
    const QScreen *screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().size() : QSize();
}

QMargins ScreenMetrics::frameMargins(const QWidget *window)
{
    for (const QWidget *w = window; w != nullptr;
         w = w->parentWidget() != nullptr ? w->parentWidget()->window() : nullptr) {
        if (w->isVisible())
            return realFrame(w);
    }
    return styleEstimate(window);
}

void ScreenMetrics::setScreenSizeOverride(std::optional<QSize> size)
{
    s_override = size;
}

} // namespace orvex
