#pragma once

#include <QMargins>
#include <QSize>
#include <optional>

class QWidget;

namespace orvex {

// The screen a window opens on and the window manager's frame around it, as the editing windows
// need them to fit themselves to small screens.  Tests pretend a small screen through the
// override.
class ScreenMetrics
{
public:
    // The size of the screen `window` is on (the primary screen while it has none).
    static QSize screenSize(const QWidget *window);

    // The frame around the client area.  A window that is not on screen yet has no frame of its
    // own, so the frame of the nearest owner that is on screen (in the end the main window)
    // stands in for it: the window manager draws the same title bar.  Only when no owner is on
    // screen does the style's estimate of a title bar and border serve.
    static QMargins frameMargins(const QWidget *window);

    // Replaces the real screen size until reset with std::nullopt.
    static void setScreenSizeOverride(std::optional<QSize> size);

private:
    static std::optional<QSize> s_override;
};

} // namespace orvex
