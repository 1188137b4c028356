#include "ui/graphs/GraphAccessibility.h"

#include "core/config/ChannelSettings.h"
#include "core/keys/KeyNames.h"
#include "core/link/DeviceLink.h"
#include "ui/graphs/GraphView.h"
#include "ui/graphs/StepGraphView.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPointer>
#include <QStringList>
#include <array>

namespace orvex {

namespace {

constexpr int kLargestInput = 255;

// The live input as a read-only value from 0 to 255.
class InputValue : public QAccessibleValueInterface
{
public:
    explicit InputValue(const GraphView *view)
        : m_view(view)
    {}

    QVariant currentValue() const override { return int(m_view->readingValue()); }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return kLargestInput; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 0; }

private:
    const GraphView *m_view;
};

// An overview graph of the main window.
class LevelGraphAccessible : public QAccessibleWidget, public InputValue
{
public:
    explicit LevelGraphAccessible(GraphView *view)
        : QAccessibleWidget(view, QAccessible::ProgressBar)
        , InputValue(view)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        const auto *view = static_cast<const GraphView *>(widget());
        if (t == QAccessible::Value)
            return QString::number(view->readingValue());
        if (t == QAccessible::Description)
            return view->readingText();
        return QAccessibleWidget::text(t);
    }
};

// One section of the step graph, named with its key.  Sections are counted from the lowest;
// the list shows them from the top, as the graph draws them.
class SectionAccessible : public QAccessibleInterface
{
public:
    SectionAccessible(StepGraphView *view, int section)
        : m_view(view)
        , m_section(section)
    {}

    bool isValid() const override
    {
        return !m_view.isNull() && m_view->hasKeys() && m_section < sectionCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return parent()->window(); }

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_view.data());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        const ChannelSettings &settings = *m_view->shown().settings;
        const QString key =
            spokenKeyText(settings.keys[m_section], settings.keyOperators[m_section]);
        if (settings.steps == kDirectionalSteps)
            return (m_section == 1 ? QStringLiteral("Rising: ") : QStringLiteral("Falling: ")) +
                   key;
        return QStringLiteral("Step %1: %2").arg(m_section + 1).arg(key);
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect band = m_view->sectionRect(m_section);
        return band.translated(m_view->mapToGlobal(m_view->contentsRect().topLeft()));
    }

    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.focusable = true;
        if (m_view.isNull() || !m_view->isVisible())
            state.invisible = true;
        if (isValid() && m_view->selectedSection() == m_section) {
            state.selected = true;
            state.focused = m_view->hasFocus();
        }
        return state;
    }

private:
    int sectionCount() const { return std::min<int>(m_view->shown().sections, kMaxSections); }

    QPointer<StepGraphView> m_view;
    int m_section;
};

// The step graph of the settings dialog: a list of its sections, the live input as its value.
class StepGraphAccessible : public QAccessibleWidget, public InputValue
{
public:
    explicit StepGraphAccessible(StepGraphView *view)
        : QAccessibleWidget(view, QAccessible::List)
        , InputValue(view)
    {}

    ~StepGraphAccessible() override
    {
        for (const QAccessible::Id id : m_sections) {
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(view()->readingValue());
        if (t == QAccessible::Description)
            return description();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override
    {
        return view()->hasKeys() ? std::min<int>(view()->shown().sections, kMaxSections) : 0;
    }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        const int section = childCount() - 1 - index;
        QAccessible::Id &id = m_sections[section];
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(new SectionAccessible(view(), section));
        return QAccessible::accessibleInterface(id);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int index = 0; index < childCount(); ++index) {
            if (this->child(index) == child)
                return index;
        }
        return -1;
    }

    QAccessibleInterface *focusChild() const override
    {
        if (!view()->hasFocus())
            return nullptr;
        return child(childCount() - 1 - view()->selectedSection());
    }

private:
    StepGraphView *view() const { return static_cast<StepGraphView *>(widget()); }

    // "Input 128 of 255, in step 5 of 8, Joystick: X": the input, where it is among the
    // sections, and the axis the joystick output drives.
    QString description() const
    {
        const StepGraphInput &shown = view()->shown();
        QStringList parts{
            QStringLiteral("Input %1 of %2").arg(view()->readingValue()).arg(kLargestInput)};
        if (view()->hasKeys()) {
            if (shown.settings->steps == kDirectionalSteps)
                parts << movementText(shown.liveDirection).toLower();
            else if (const int section = view()->inputSection(); section >= 0)
                parts << QStringLiteral("in step %1 of %2").arg(section + 1).arg(childCount());
        }
        if (shown.settings != nullptr && isJoystickEnabled(shown.settings->mode))
            parts << QStringLiteral("Joystick: ") + shown.joystickText;
        return parts.join(QStringLiteral(", "));
    }

    mutable std::array<QAccessible::Id, kMaxSections> m_sections{};
};

QAccessibleInterface *graphInterface(const QString &, QObject *object)
{
    if (auto *stepGraph = qobject_cast<StepGraphView *>(object))
        return new StepGraphAccessible(stepGraph);
    if (auto *graph = qobject_cast<GraphView *>(object))
        return new LevelGraphAccessible(graph);
    return nullptr;
}

} // namespace

void installGraphAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(graphInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

QString movementText(std::uint8_t direction)
{
    switch (direction) {
    case direction::kRising:
        return QStringLiteral("Rising");
    case direction::kFalling:
        return QStringLiteral("Falling");
    default:
        return QStringLiteral("Not moving");
    }
}

QString spokenKeyText(std::uint8_t key, std::uint8_t keyOperators)
{
    // Every modifier the picture shows, also in front of "Not Used".
    QString text;
    if (keyOperators & kOperatorCtrl)
        text += QStringLiteral("Ctrl+");
    if (keyOperators & kOperatorShift)
        text += QStringLiteral("Shift+");
    if (keyOperators & kOperatorAlt)
        text += QStringLiteral("Alt+");
    return text + getKeyName(key);
}

} // namespace orvex
