#include "ui/graphs/StepGraphView.h"

#include "core/graph/GraphGeometry.h"
#include "core/link/DeviceLink.h"
#include "ui/graphs/GraphElements.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace orvex {

StepGraphView::StepGraphView(QWidget *parent)
    : GraphView(parent)
    , m_composer(font())
{
    // Reached with Tab; a click opens the key picker as before and leaves the focus alone.
    setFocusPolicy(Qt::TabFocus);
}

void StepGraphView::draw(const StepGraphInput &in)
{
    m_composer.compose(canvas(), in);
    m_input = in;
    setReading(in.liveValue, QString());
    if (m_selected >= sectionCount())
        m_selected = std::max(0, sectionCount() - 1);
    refresh();
}

bool StepGraphView::hasKeys() const
{
    return m_input.settings != nullptr && isKeyboardEnabled(m_input.settings->mode);
}

int StepGraphView::sectionCount() const
{
    return std::clamp<int>(m_input.sections, 0, kMaxSections);
}

void StepGraphView::selectSection(int section)
{
    const int chosen = std::clamp(section, 0, std::max(0, sectionCount() - 1));
    if (chosen == m_selected)
        return;
    m_selected = chosen;
    update();
    announceSelection();
}

int StepGraphView::inputSection() const
{
    if (m_input.settings == nullptr || sectionCount() == 0)
        return -1;
    if (m_input.settings->steps == kDirectionalSteps) {
        switch (m_input.liveDirection) {
        case direction::kRising:
            return 1;
        case direction::kFalling:
            return 0;
        default:
            return -1;
        }
    }
    return std::min(m_input.liveValue * sectionCount() / 256, sectionCount() - 1);
}

// Section 0 is the lowest band; the bands split the height as the step boundaries do.
QRect StepGraphView::sectionRect(int section) const
{
    const int sections = sectionCount();
    const int height = drawingAreaSize().height();
    if (section < 0 || section >= sections)
        return {};
    const int top = graph::boundaryRow(sections - 1 - section, sections, height);
    const int bottom = graph::boundaryRow(sections - section, sections, height);
    return {0, top, drawingAreaSize().width(), bottom - top};
}

void StepGraphView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        selectSection(m_selected + 1);
        break;
    case Qt::Key_Down:
        selectSection(m_selected - 1);
        break;
    case Qt::Key_Home:
        selectSection(sectionCount() - 1);
        break;
    case Qt::Key_End:
        selectSection(0);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (hasKeys())
            Q_EMIT sectionActivated(m_selected);
        break;
    default:
        GraphView::keyPressEvent(event);
        return;
    }
    event->accept();
}

// The chosen section is framed only while the graph has the focus, so the picture is the
// graph's own at every other time.
void StepGraphView::paintEvent(QPaintEvent *event)
{
    GraphView::paintEvent(event);
    if (!hasFocus() || !hasKeys())
        return;
    const QRect band = sectionRect(m_selected);
    if (band.isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(QPen(graph::colours::keyLabel, 1, Qt::DotLine));
    painter.drawRect(band.translated(contentsRect().topLeft()).adjusted(1, 1, -2, -2));
}

void StepGraphView::focusInEvent(QFocusEvent *event)
{
    GraphView::focusInEvent(event);
    update();
}

void StepGraphView::focusOutEvent(QFocusEvent *event)
{
    GraphView::focusOutEvent(event);
    update();
}

// Screen readers follow the chosen section as they follow the current item of a list.
void StepGraphView::announceSelection()
{
    if (!hasFocus() || !hasKeys())
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(sectionCount() - 1 - m_selected);
    QAccessible::updateAccessibility(&event);
}

} // namespace orvex
