#pragma once

#include "ui/graphs/GraphView.h"
#include "ui/graphs/StepGraph.h"

namespace orvex {

// The settings dialog's step graph as a control of its own.  It paints what StepGraphComposer
// composes and keeps what it showed, so that assistive technology can read it: the live input,
// the section the input is in and the key of every section.  From the keyboard it takes the
// focus, Up and Down choose a section (framed while the graph has the focus), and Enter or
// Space ask for that section's key.
class StepGraphView : public GraphView
{
    Q_OBJECT

public:
    explicit StepGraphView(QWidget *parent = nullptr);

    // Composes and shows one tick.  `in.settings` must outlive the next draw().
    void draw(const StepGraphInput &in);

    // What the last draw() showed.
    const StepGraphInput &shown() const { return m_input; }

    // Whether the sections carry keys: only with the keyboard output on.
    bool hasKeys() const;

    // The section the keyboard has chosen, 0 for the lowest.
    int selectedSection() const { return m_selected; }
    void selectSection(int section);

    // The section the live input is in: its band, or for Directional the key of the reported
    // direction (1 rising, 0 falling); -1 when no section applies.
    int inputSection() const;

    // The band of a section in the drawing area's pixels.
    QRect sectionRect(int section) const;

Q_SIGNALS:
    // Enter or Space on the chosen section.
    void sectionActivated(int section);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int sectionCount() const;
    void announceSelection();

    StepGraphComposer m_composer;
    StepGraphInput m_input;
    int m_selected = 0;
};

} // namespace orvex
