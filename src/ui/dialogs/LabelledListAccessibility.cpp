#include "ui/dialogs/LabelledListAccessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace orvex {

namespace {

QString labelTextFor(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (parent == nullptr)
        return {};
    for (const QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() == control)
            return QString(label->text()).remove(QLatin1Char('&'));
    }
    return {};
}

// A list: the label's name, the current entry as its value, the entries' popup as its one child
// and the actions to open and close it, as Qt's own list has them.
class LabelledListAccessible : public QAccessibleWidget
{
public:
    explicit LabelledListAccessible(QComboBox *list)
        : QAccessibleWidget(list, QAccessible::ComboBox)
    {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            QString name = list()->accessibleName();
            if (name.isEmpty())
                name = labelTextFor(list());
            return name.isEmpty() ? list()->currentText() : name;
        }
        case QAccessible::Value:
            return list()->currentText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }

    int childCount() const override { return 1; }

    // Read with the label as the name, the current entry is found the way screen readers look
    // for it: as the selected item of the list's entries.  The list selects it only when it
    // pops up, so it is selected here for the reader too.
    QAccessibleInterface *child(int index) const override
    {
        if (index != 0)
            return nullptr;
        QAbstractItemView *entries = list()->view();
        const QModelIndex current = list()->model()->index(
            list()->currentIndex(), list()->modelColumn(), list()->rootModelIndex());
        // Selecting, not making it current: a current entry would report the focus.
        QItemSelectionModel *selection = entries->selectionModel();
        if (selection->selectedIndexes() != QModelIndexList{current})
            selection->select(current, QItemSelectionModel::ClearAndSelect);
        return QAccessible::queryAccessibleInterface(entries);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName != showMenuAction() && actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *listInterface(const QString &, QObject *object)
{
    auto *list = qobject_cast<QComboBox *>(object);
    if (list == nullptr || list->isEditable())
        return nullptr;
    return new LabelledListAccessible(list);
}

} // namespace

void installLabelledListAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(listInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace orvex
