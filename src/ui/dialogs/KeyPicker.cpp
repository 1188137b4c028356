#include "ui/dialogs/KeyPicker.h"

#include "core/keys/KeyNames.h"
#include "ui/dialogs/FixedDialog.h"
#include "ui/dialogs/ScreenMetrics.h"
#include "ui/dialogs/Twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace orvex {

namespace {

constexpr QSize kClientSize{905, 328};      // 13575 x 4920 twips
constexpr QRect kFrameRect{0, 0, 905, 249}; // the keyboard area
constexpr QRect kScrollBarRect{0, 248, 905, 17};
constexpr int kFocusIntervalMs = 100;

struct OperatorBox
{
    const char *caption;
    QRect geometry;
};

// Index = bit number of the modifier; Alt sits on top and Ctrl at the bottom.
constexpr std::array<OperatorBox, 3> kOperatorBoxes{{
    {"Ctrl", rectFromTwips(240, 4560, 1215, 375)},
    {"Shift", rectFromTwips(240, 4260, 1215, 375)},
    {"Alt", rectFromTwips(240, 3960, 1215, 375)},
}};

bool isEnterKey(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           modifiers == Qt::NoModifier;
}

QString buttonText(const char *caption)
{
    // Captions are literal: a '&' would otherwise mark the next letter as an access key.
    return QString::fromLatin1(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

KeyPicker::KeyPicker(QWidget *owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmKeyboard"));
    setWindowTitle(QStringLiteral("Select a key"));
    setModal(true);
    setDesignSize(this, kClientSize);

    buildKeyboard();
    buildOperatorBoxes();

    tmrSetFocus = new QTimer(this);
    tmrSetFocus->setObjectName(QStringLiteral("tmrSetFocus"));
    tmrSetFocus->setInterval(kFocusIntervalMs);
    connect(tmrSetFocus, &QTimer::timeout, this, &KeyPicker::onFocusTimer);

    fitToScreenWidth();
}

void KeyPicker::buildKeyboard()
{
    picFrame = new QWidget(this);
    picFrame->setObjectName(QStringLiteral("picFrame"));
    picFrame->setGeometry(kFrameRect);

    // In a group the keys take the arrow keys to the nearest key in that direction on the
    // picture; without one, every arrow would only step through the tab order.
    m_keys = new QButtonGroup(this);
    m_keys->setExclusive(false);
    for (const KeyEntry &entry : keyTable()) {
        auto *button = new QPushButton(buttonText(entry.caption), picFrame);
        button->setObjectName(QStringLiteral("cmdKey%1").arg(entry.code));
        button->setGeometry(rectFromTwips(entry.left, entry.top, entry.width, entry.height));
        button->setToolTip(getKeyName(entry.code));
        button->setAccessibleName(getKeyName(entry.code));
        // A key is never the dialog's default button: Qt would make the first key focused the
        // default for good, and Enter on a modifier box would then pick that key.  Enter picks
        // only the key that has the focus (eventFilter), as Space does.
        button->setAutoDefault(false);
        button->installEventFilter(this);
        m_keys->addButton(button, entry.code);
        m_keyButtons[entry.code] = button;
    }
    connect(m_keys, &QButtonGroup::idClicked, this,
            [this](int code) { onKeyClicked(static_cast<std::uint8_t>(code)); });

    ScrollBar = new QScrollBar(Qt::Horizontal, this);
    ScrollBar->setObjectName(QStringLiteral("ScrollBar"));
    ScrollBar->setGeometry(kScrollBarRect);
    ScrollBar->setAccessibleName(QStringLiteral("Keyboard position"));
    ScrollBar->hide();
    connect(ScrollBar, &QScrollBar::valueChanged, this, &KeyPicker::onScrollBarMoved);
}

void KeyPicker::buildOperatorBoxes()
{
    for (std::size_t bit = 0; bit < kOperatorBoxes.size(); ++bit) {
        auto *box = new QCheckBox(QString::fromLatin1(kOperatorBoxes[bit].caption), this);
        box->setObjectName(QStringLiteral("chkOperator%1").arg(bit));
        box->setGeometry(kOperatorBoxes[bit].geometry);
        chkOperator[bit] = box;
    }
}

// On a screen narrower than the window the window takes the screen's width and the keyboard
// slides sideways under it with the scroll bar.
void KeyPicker::fitToScreenWidth()
{
    const QMargins frame = ScreenMetrics::frameMargins(this);
    const int outerWidth = width() + frame.left() + frame.right();
    const int screenWidth = ScreenMetrics::screenSize(this).width();
    const int overflow = outerWidth - screenWidth;
    if (screenWidth <= 0 || overflow <= 0)
        return;

    ScrollBar->show();
    ScrollBar->resize(std::max(0, picFrame->width() - ScrollBar->x() - overflow),
                      ScrollBar->height());
    ScrollBar->setRange(0, overflow);
    ScrollBar->setPageStep(overflow);
    ScrollBar->setSingleStep(picFrame->width() / 20);
    ScrollBar->setValue(0);
    setDesignSize(this, QSize(std::max(1, minimumWidth() - overflow), minimumHeight()));
}

void KeyPicker::onScrollBarMoved(int value)
{
    picFrame->move(-value, picFrame->y());
}

// Enter on a key picks it.  A key reached from the keyboard is slid into view when the keyboard
// is wider than the window.
bool KeyPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && isEnterKey(*static_cast<QKeyEvent *>(event))) {
        static_cast<QPushButton *>(watched)->click();
        return true;
    }
    if (event->type() == QEvent::FocusIn)
        scrollIntoView(static_cast<QWidget *>(watched));
    return QDialog::eventFilter(watched, event);
}

void KeyPicker::scrollIntoView(const QWidget *key)
{
    if (ScrollBar->isHidden())
        return;
    const int visibleWidth = width();
    const int value = ScrollBar->value();
    if (key->x() < value)
        ScrollBar->setValue(key->x());
    else if (key->geometry().right() + 1 > value + visibleWidth)
        ScrollBar->setValue(key->geometry().right() + 1 - visibleWidth);
}

void KeyPicker::setupKeyboard(int section, std::uint8_t key, std::uint8_t keyOperators)
{
    m_section = section;
    m_key = key;
    for (std::size_t bit = 0; bit < chkOperator.size(); ++bit)
        chkOperator[bit]->setChecked((keyOperators >> bit) & 1U);
    tmrSetFocus->start();
}

void KeyPicker::onFocusTimer()
{
    // The focus can only move once the picker is on screen; until then keep waiting.
    if (!isVisible())
        return;
    if (QPushButton *button = keyButton(m_key)) {
        // The focus is handed over for the keyboard, so it is shown as the keyboard's focus is:
        // the current key is framed before the user has pressed a key.
        setAttribute(Qt::WA_KeyboardFocusChange);
        button->setFocus(Qt::OtherFocusReason);
    }
    tmrSetFocus->stop();
}

std::uint8_t KeyPicker::tickedOperators() const
{
    std::uint8_t operators = 0;
    for (std::size_t bit = 0; bit < chkOperator.size(); ++bit) {
        if (chkOperator[bit]->isChecked())
            operators |= static_cast<std::uint8_t>(1U << bit);
    }
    return operators;
}

void KeyPicker::onKeyClicked(std::uint8_t code)
{
    m_key = code;
    tmrSetFocus->stop();
    Q_EMIT keyPicked(m_section, code, tickedOperators());
    accept();
}

void KeyPicker::closeEvent(QCloseEvent *event)
{
    // Closing picks nothing and unloads the picker; the next use builds it again.
    tmrSetFocus->stop();
    QDialog::done(Rejected);
    event->accept();
    deleteLater();
}

void KeyPicker::reject()
{
    // Escape dismisses the picker the way its close box does.
    close();
}

} // namespace orvex
