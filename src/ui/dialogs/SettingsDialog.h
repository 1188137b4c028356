#pragma once

#include "core/config/ChannelSettings.h"
#include "core/link/DeviceLink.h"

#include <QDialog>
#include <QPointF>
#include <QPointer>
#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace orvex {

class ConfigModel;
class KeyPicker;
class StepGraphView;

// The channel settings dialog.  It edits a working copy of one channel's record, shows the
// channel's live input against its steps, opens the key picker for a clicked step and stores the
// copy back only on OK.  The main window builds one for the whole run, hands it every live
// sample, and for every opening calls loadForm() and then exec(); OK, Cancel and the close box
// only hide it.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    SettingsDialog(ConfigModel &model, QWidget *mainWindow);
    ~SettingsDialog() override;

    // Prepares the dialog for channel `index` (0..5) without showing it.
    void loadForm(int index);

    // Stores a key and its modifiers for one section of the working copy; key 0 ("Not Used")
    // has no modifiers, so `keyOperators` is cleared for it, the caller's variable included.
    void setKey(int section, std::uint8_t key, std::uint8_t &keyOperators);

    int channelIndex() const { return m_channelIndex; }
    const ChannelSettings &workSettings() const { return m_workSettings; }
    std::uint8_t sections() const { return m_sections; }

    // The key picker while it exists (from the first click on the graph until it is closed).
    KeyPicker *keyPicker() const;

public Q_SLOTS:
    // The latest poll of the device link; the step graph shows it while the dialog is open.
    void showSample(const orvex::LiveSample &sample);

    void onGraphPressed(QPointF pos);
    void onOkClicked();
    void onCancelClicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    using Rule = void (SettingsDialog::*)();

    void buildControls();
    void buildKeyboardFrame();
    void buildJoystickFrame();
    void buildButtons();
    void nameControls();
    void fitLabelFont();
    void connectRules();
    void firstLoad();
    void fitToScreenHeight();
    void shortenBy(int pixels);

    void setBoxesFromMode();
    void selectEntry(QComboBox *list, int index, Rule rule);
    void addAxis(std::uint8_t code, const char *name);
    void selectAxis(std::uint8_t code);
    void drawStepGraph();
    void pickKey(int section);
    KeyPicker &ensureKeyPicker();

    // The rules, one per control.
    void onOutputBoxChanged();
    void applyOutputs();
    void onStepsChosen();
    void onHysteresisChosen();
    void onRepeatChosen();
    void onPreloadChosen();
    void onPeriodicChosen();
    void onAxisChosen();

    void setKeyboardListsEnabled(bool enabled);
    void setPeriodicEnabled(bool enabled);

    ConfigModel &m_model;

    StepGraphView *picGraph = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *lblSteps = nullptr;
    QComboBox *listSteps = nullptr;
    QLabel *lblHysteresis = nullptr;
    QComboBox *listHysteresis = nullptr;
    QLabel *lblPreload = nullptr;
    QComboBox *listPreload = nullptr;
    QLabel *lblRepeat = nullptr;
    QComboBox *listRepeat = nullptr;
    QLabel *lblPeriodic = nullptr;
    QComboBox *listPeriodic = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLabel *lblJoystick = nullptr;
    QComboBox *listJoystick = nullptr;
    std::array<QCheckBox *, 2> chkEnabled{}; // 0 Keyboard, 1 Joystick
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    QPointer<KeyPicker> m_keyPicker;

    int m_channelIndex = 0;
    ChannelSettings m_workSettings;
    std::uint8_t m_sections = 0;
    LiveSample m_sample;
    bool m_live = false; // open: from loadForm() until OK, Cancel or the close box
};

} // namespace orvex
