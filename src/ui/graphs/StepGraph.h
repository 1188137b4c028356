#pragma once

#include "core/config/ChannelSettings.h"
#include "ui/graphs/BarPlates.h"

#include <QFont>
#include <QSize>
#include <QSizeF>
#include <QStaticText>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class QPainter;

namespace orvex {

class GraphCanvas;

// Everything the step graph of the settings dialog shows in one tick.
struct StepGraphInput
{
    int channelIndex = -1;                     // 0..5; any other value draws no bar
    const ChannelSettings *settings = nullptr; // the dialog's working copy
    std::uint8_t sections = 0;                 // number of bands (2 for Directional)
    std::uint8_t liveValue = 0;
    std::uint8_t liveDirection = 0;
    QString joystickText; // the selected axis, shown after "Joystick: "
};

// Paints the step graph: the live bar, the bands or direction arrows with each section's key,
// and the joystick axis.  It runs every 10 ms, so label texts, their measurements and their
// glyph layouts are kept between ticks and rebuilt only when a key, a modifier or a font changes.
class StepGraphPainter
{
public:
    // Labels use `labelFont` (normal for keys, bold for the joystick axis).
    explicit StepGraphPainter(const QFont &labelFont = QFont());

    void draw(GraphCanvas &canvas, const StepGraphInput &in);

private:
    struct Label
    {
        QStaticText text;
        QSizeF size;
    };
    struct SectionLabel
    {
        bool valid = false;
        std::uint8_t key = 0;
        std::uint8_t keyOperators = 0;
        Label label;
    };

    void drawBandsOrArrows(GraphCanvas &canvas, const StepGraphInput &in);
    void drawKeyLabels(QPainter &painter, const GraphCanvas &canvas, const StepGraphInput &in);
    void drawJoystickLabel(QPainter &painter, const GraphCanvas &canvas, const QString &axis);
    const Label &sectionLabel(int section, const ChannelSettings &settings);
    Label measured(const QString &text, const QFont &font) const;
    void drawLabel(QPainter &painter, const Label &label, QPoint centre, bool bold);

    QFont m_normalFont;
    QFont m_boldFont;
    std::array<SectionLabel, kMaxSections> m_sectionLabels;
    QString m_joystickAxis;
    Label m_joystickLabel;
    bool m_joystickLabelValid = false;
};

// Keeps the step graph's canvas at the picture StepGraphPainter draws for the newest tick,
// writing only the rows that change (see BarPlates): an input at rest costs nothing, a moving
// one the rows its bar crossed, and the labels are drawn again only when a setting changes.
class StepGraphComposer
{
public:
    explicit StepGraphComposer(const QFont &labelFont = QFont());

    // False, touching nothing, when the canvas already shows the picture of `in`.
    bool compose(GraphCanvas &canvas, const StepGraphInput &in);

private:
    // What the picture depends on besides the live value and the lit arrow.
    struct Key
    {
        bool hasBar = false;
        std::optional<ChannelSettings> settings;
        std::uint8_t sections = 0;
        QString joystickText;
        QSize size;
        bool operator==(const Key &) const = default;
    };

    StepGraphPainter m_painter;
    BarGraphComposer<Key> m_bars;
};

} // namespace orvex
