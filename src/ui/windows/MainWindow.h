#pragma once

#include "core/startup/Startup.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DevicePolling.h"

#include <QMainWindow>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace orvex {

class AboutWindow;
class ConfigModel;
class FileCommands;
class FilePrompts;
class GraphView;
class SettingsDialog;
class StatusWindow;
class VirtualDeviceAccess;

// frmmain: six channel columns with live graphs and "Settings" buttons, the status bar with the
// device selection, the menus, and the two timers that keep the device attached and polled.
//
// It is the view of the polling, of the transfers and of start-up.  Messages and questions go
// through the FilePrompts it is given, so that tests can answer them.
class MainWindow : public QMainWindow, public PollingView, public TransferView, public StartupView
{
    Q_OBJECT

public:
    static constexpr int kChannelColumns = 6;
    static constexpr int kDelayItems = 31; // "Disabled", "1 sec" .. "30 sec"

    // Tests drive the ticks themselves; the program lets the timers run.
    enum class Timers { Running, DrivenByCaller };

    MainWindow(ConfigModel &model, DevicePolling &polling, FileCommands &files,
               FilePrompts &prompts, Timers timers = Timers::Running, QWidget *parent = nullptr);
    ~MainWindow() override;

    // With the in-process virtual devices, every poll tick also moves their demo inputs.
    void setSimulatedDevices(VirtualDeviceAccess *devices) { m_simulatedDevices = devices; }

    void DrawGraphs();
    void ClearGraphs();
    void setSupressMenu();

    bool isWaitTimerEnabled() const { return m_waitTimerEnabled; }
    bool isTransferRunning() const { return m_transferRunning; }
    StatusWindow *statusWindow() const { return m_statusWindow; }

    // PollingView
    void clearGraphs() override { ClearGraphs(); }
    void drawGraphs() override { DrawGraphs(); }
    void setStatusText(const QString &text) override;
    void setWaitTimerEnabled(bool enabled) override;
    void showSelectedDevice(int deviceNumber) override;

    // TransferView
    void showTransferStatus() override;
    void setTransferStatus(const QString &text) override;
    void hideTransferStatus() override;
    void processPendingEvents() override;
    void showMessage(const UserMessage &message) override;

public Q_SLOTS:
    void tmrPollDevice_Timer();
    void tmrWaitForDevice_Timer();

    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuRead_Click();
    void mnuWrite_Click();
    void mnuExit_Click();
    void mnuDevice_Click(int index);
    void mnuSupressItem_Click(int index);
    void mnuAbout_Click();
    void cmdSettings_Click(int index);

Q_SIGNALS:
    // The exit procedure has run: devices are released and the program must end now.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createChannelColumns(QWidget *client);
    void createStatusBar(QWidget *client);
    void createMenus();
    QMenu *createFileMenu();
    QMenu *createOptionsMenu();
    void createTimers(Timers timers);

    // Everything an overview graph's picture is composed from.
    struct OverviewInputs
    {
        std::uint8_t value = 0;
        std::uint8_t direction = 0;
        std::uint8_t steps = 0;
        std::uint8_t hysteresis = 0;
        QSize size;
        bool operator==(const OverviewInputs &) const = default;
    };
    OverviewInputs overviewInputs(int channel) const;

    void chkID_Click(int index);
    void runTransfer(const std::function<TransferResult()> &transfer);
    void setUserCommandsEnabled(bool enabled);
    bool runExitProcedure();
    void applyWaitTimer();

    ConfigModel &m_model;
    DevicePolling &m_polling;
    FileCommands &m_files;
    FilePrompts &m_prompts;
    ConfigTransfer m_transfer;

    std::array<QLabel *, kChannelColumns> lblChannel{};
    std::array<GraphView *, kChannelColumns> picGraph{};
    std::array<QPushButton *, kChannelColumns> cmdSettings{};
    QWidget *picStatus = nullptr;
    QLabel *lblStatus = nullptr;
    QWidget *LineStatusDivider = nullptr;
    std::array<QCheckBox *, 2> chkID{};
    QLabel *lblBoardID = nullptr;

    QMenu *mnuFile = nullptr;
    QMenu *mnuOptions = nullptr;
    QMenu *mnuSuppress = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuNew = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuRead = nullptr;
    QAction *mnuWrite = nullptr;
    QAction *mnuExit = nullptr;
    std::array<QAction *, 2> mnuDevice{};
    std::array<QAction *, kDelayItems> mnuSupressItem{};
    QAction *mnuAbout = nullptr;

    QTimer *tmrWaitForDevice = nullptr;
    QTimer *tmrPollDevice = nullptr;
    bool m_timersRunning = true;
    bool m_waitTimerEnabled = false;

    StatusWindow *m_statusWindow = nullptr;
    AboutWindow *m_aboutWindow = nullptr;
    SettingsDialog *m_settingsDialog = nullptr;
    VirtualDeviceAccess *m_simulatedDevices = nullptr;
    bool m_transferRunning = false;

    // What each graph's picture was last composed from; empty after a clear.
    std::array<std::optional<OverviewInputs>, kChannelColumns> m_composedGraphs;
};

} // namespace orvex
