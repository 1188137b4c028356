#include "ui/graphs/StepGraph.h"

#include "core/graph/GraphGeometry.h"
#include "core/keys/KeyNames.h"
#include "ui/graphs/GraphCanvas.h"
#include "ui/graphs/GraphElements.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace orvex {

namespace {

QFont withWeight(QFont font, bool bold)
{
    font.setBold(bold);
    return font;
}

bool isChannel(int index)
{
    return index >= 0 && index < kChannelCount;
}

} // namespace

StepGraphPainter::StepGraphPainter(const QFont &labelFont)
    : m_normalFont(withWeight(labelFont, false))
    , m_boldFont(withWeight(labelFont, true))
{}

void StepGraphPainter::draw(GraphCanvas &canvas, const StepGraphInput &in)
{
    if (isChannel(in.channelIndex))
        graph::drawBackgroundAndBar(canvas, in.liveValue, graph::colours::stepBar);
    else
        graph::drawBackground(canvas);
    if (in.settings == nullptr)
        return;

    const bool keyboard = isKeyboardEnabled(in.settings->mode);
    const bool joystick = isJoystickEnabled(in.settings->mode);
    if (keyboard)
        drawBandsOrArrows(canvas, in);
    if ((!keyboard && !joystick) || canvas.image().isNull())
        return;

    // Text goes over the finished shapes, so one painter serves every label of the tick.
    QPainter painter(&canvas.paintDevice());
    if (keyboard)
        drawKeyLabels(painter, canvas, in);
    if (joystick)
        drawJoystickLabel(painter, canvas, in.joystickText);
}

void StepGraphPainter::drawBandsOrArrows(GraphCanvas &canvas, const StepGraphInput &in)
{
    const ChannelSettings &settings = *in.settings;
    if (settings.steps == kDirectionalSteps)
        graph::drawDirectionArrows(canvas, in.liveDirection, settings.hysteresis);
    else
        graph::drawStepBoundaries(canvas, std::min<int>(in.sections, kMaxSections),
                                  settings.hysteresis);
}

void StepGraphPainter::drawKeyLabels(QPainter &painter, const GraphCanvas &canvas,
                                     const StepGraphInput &in)
{
    const ChannelSettings &settings = *in.settings;
    const int width = canvas.width();
    const int height = canvas.height();
    if (settings.steps == kDirectionalSteps) {
        const graph::ArrowGeometry g = graph::arrowGeometry(width, height, settings.hysteresis);
        for (const int section : {0, 1})
            drawLabel(painter, sectionLabel(section, settings),
                      graph::directionalLabelPoint(section, g, width, height), false);
        return;
    }
    const int sections = std::min<int>(in.sections, kMaxSections);
    for (int k = 0; k < sections; ++k)
        drawLabel(painter, sectionLabel(k, settings),
                  graph::sectionLabelPoint(k, sections, width, height), false);
}

void StepGraphPainter::drawJoystickLabel(QPainter &painter, const GraphCanvas &canvas,
                                         const QString &axis)
{
    if (!m_joystickLabelValid || axis != m_joystickAxis) {
        m_joystickAxis = axis;
        m_joystickLabel = measured(QStringLiteral("Joystick: ") + axis, m_boldFont);
        m_joystickLabelValid = true;
    }
    const QPoint centre(graph::nearest(canvas.width() / 2.0),
                        graph::nearest(canvas.height() / 2.0));
    drawLabel(painter, m_joystickLabel, centre, true);
}

const StepGraphPainter::Label &StepGraphPainter::sectionLabel(int section,
                                                              const ChannelSettings &settings)
{
    SectionLabel &cached = m_sectionLabels[section];
    const std::uint8_t key = settings.keys[section];
    const std::uint8_t keyOperators = settings.keyOperators[section];
    if (!cached.valid || cached.key != key || cached.keyOperators != keyOperators) {
        cached.label = measured(keyLabel(key, keyOperators), m_normalFont);
        cached.key = key;
        cached.keyOperators = keyOperators;
        cached.valid = true;
    }
    return cached.label;
}

StepGraphPainter::Label StepGraphPainter::measured(const QString &text, const QFont &font) const
{
    Label label;
    label.text.setText(text);
    label.text.setTextFormat(Qt::PlainText); // key names such as ", <" are not markup
    label.text.setPerformanceHint(QStaticText::AggressiveCaching);
    label.text.prepare(QTransform(), font);
    const QFontMetricsF metrics(font);
    label.size = QSizeF(metrics.horizontalAdvance(text), metrics.height());
    return label;
}

void StepGraphPainter::drawLabel(QPainter &painter, const Label &label, QPoint centre, bool bold)
{
    painter.setFont(bold ? m_boldFont : m_normalFont);
    painter.setPen(bold ? graph::colours::joystickLabel : graph::colours::keyLabel);
    const QPointF topLeft(centre.x() - label.size.width() / 2.0,
                          centre.y() - label.size.height() / 2.0);
    painter.drawStaticText(topLeft, label.text);
}

StepGraphComposer::StepGraphComposer(const QFont &labelFont)
    : m_painter(labelFont)
{}

bool StepGraphComposer::compose(GraphCanvas &canvas, const StepGraphInput &in)
{
    const ChannelSettings *settings = in.settings;
    const Key key{isChannel(in.channelIndex), settings ? std::optional(*settings) : std::nullopt,
                  in.sections, in.joystickText, canvas.size()};
    const bool arrows =
        settings && isKeyboardEnabled(settings->mode) && settings->steps == kDirectionalSteps;
    return m_bars.compose(canvas, key, litArrow(arrows, in.liveDirection), in.liveValue,
                          [this, &in](GraphCanvas &plate, std::uint8_t value) {
                              StepGraphInput at = in;
                              at.liveValue = value;
                              m_painter.draw(plate, at);
                          });
}

} // namespace orvex
