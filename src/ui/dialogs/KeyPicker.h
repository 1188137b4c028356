#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QScrollBar;
class QTimer;

namespace orvex {

// The on-screen keyboard that picks the key and modifiers of one step.  The settings dialog
// prepares it with setupKeyboard() and shows it modally; a click on a key reports the choice
// through keyPicked() and hides the picker, which is then reused.  Closing it picks nothing and
// deletes it, so the next use builds a fresh one.  From the keyboard, the arrow keys move
// between the keys as they lie on the picture, Enter or Space picks the key that has the focus,
// and Escape closes the picker; screen readers hear each key's full name.
class KeyPicker : public QDialog
{
    Q_OBJECT

public:
    explicit KeyPicker(QWidget *owner);

    // Ticks the Ctrl, Shift and Alt boxes from the modifier bits and, once the picker shows,
    // moves the focus to the button of the current key.
    void setupKeyboard(int section, std::uint8_t key, std::uint8_t keyOperators);

    int section() const { return m_section; }
    std::uint8_t key() const { return m_key; }

    // The button of a key code, or nullptr for a code without one.
    QPushButton *keyButton(std::uint8_t code) const { return m_keyButtons[code]; }

Q_SIGNALS:
    void keyPicked(int section, std::uint8_t key, std::uint8_t keyOperators);

public Q_SLOTS:
    void onFocusTimer();
    void onKeyClicked(std::uint8_t code);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildKeyboard();
    void buildOperatorBoxes();
    void fitToScreenWidth();
    void onScrollBarMoved(int value);
    void scrollIntoView(const QWidget *key);
    std::uint8_t tickedOperators() const;

    QWidget *picFrame = nullptr;
    QScrollBar *ScrollBar = nullptr;
    std::array<QCheckBox *, 3> chkOperator{}; // Ctrl, Shift, Alt: bits 1, 2, 4
    QTimer *tmrSetFocus = nullptr;
    QButtonGroup *m_keys = nullptr;
    std::array<QPushButton *, 256> m_keyButtons{};

    int m_section = 0;
    std::uint8_t m_key = 0;
};

} // namespace orvex
