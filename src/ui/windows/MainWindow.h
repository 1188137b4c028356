#pragma once

#include "core/config/ConfigModel.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DeviceLink.h"
#include "core/startup/Startup.h"

#include <QMainWindow>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

namespace orvex {

class AboutWindow;
class ConfigModel;
class FileCommands;
class FilePrompts;
class GraphView;
class SettingsDialog;
class StatusWindow;

// frmmain: six channel columns with live graphs and "Settings" buttons, the status bar with the
// device selection, and the menus.
//
// It shows what the device link and the configuration model announce, runs the transfers and
// is the view of start-up.  Messages and questions go through the FilePrompts it is given, so
// that tests can answer them.
class MainWindow : public QMainWindow, public TransferView, public StartupView
{
    Q_OBJECT

public:
    static constexpr int kChannelColumns = 6;
    static constexpr int kDelayItems = 31; // "Disabled", "1 sec" .. "30 sec"

    MainWindow(ConfigModel &model, DeviceLink &link, FileCommands &files, FilePrompts &prompts,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    void drawGraphs(const LiveSample &sample);
    void clearGraphs();
    void setSupressMenu(std::uint8_t powerOnDelay);

    StatusWindow *statusWindow() const { return m_statusWindow; }

    // Opens a configuration file that the desktop hands over (named on the command line,
    // dropped on the window, or passed on by another start) as File > Open opens the one chosen
    // in its dialog.  While a transfer runs or a modal window is open, the file waits until the
    // window is free again; a later file replaces a waiting one.
    void openFile(const QString &path);

    // Shows the window in front of the others, with its modal window, if one is open, on top.
    void bringToFront();

    // TransferView
    void showTransferStatus() override;
    void setTransferStatus(const QString &text) override;
    void hideTransferStatus() override;
    void processPendingEvents() override;
    void showMessage(const UserMessage &message) override;

public Q_SLOTS:
    void onNewTriggered();
    void onOpenTriggered();
    void onSaveTriggered();
    void onReadTriggered();
    void onWriteTriggered();
    void onExitTriggered();
    void onDeviceMenuTriggered(int index);
    void onDelayItemTriggered(int index);
    void onAboutTriggered();
    void onSettingsClicked(int index);

Q_SIGNALS:
    // The exit procedure has run: the devices are released and the program must end now.
    void programEnded();

    // A file handed over through openFile() went through File > Open's path (it may have
    // proved invalid); the unsaved-changes question did not stop it.
    void fileOpened(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool event(QEvent *event) override;

private:
    void createChannelColumns(QWidget *client);
    void createStatusBar(QWidget *client);
    void createMenus();
    QMenu *createFileMenu();
    QMenu *createOptionsMenu();

    void showLinkState(const LinkState &state);
    void showSample(const LiveSample &sample);
    void showConfiguration(const Configuration &configuration);
    void showSelectedDevice(int deviceNumber);

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
    OverviewInputs overviewInputs(const LiveSample &sample, int channel) const;

    void onDeviceBoxToggled(int index);
    void runTransfer(const std::function<std::optional<TransferResult>()> &start);
    void onTransferFinished();
    void setUserCommandsEnabled(bool enabled);
    void runExitProcedure();

    bool isBusy() const;
    std::optional<QString> acceptableDrop(const QDropEvent &event) const;
    void openWaitingFile();

    ConfigModel &m_model;
    DeviceLink &m_link;
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

    StatusWindow *m_statusWindow = nullptr;
    AboutWindow *m_aboutWindow = nullptr;
    SettingsDialog *m_settingsDialog = nullptr;
    bool m_transferRunning = false;
    bool m_showingLinkState = false; // the boxes follow the link rather than choose a device
    // A file handed over while the window was busy, opened as soon as it is free.
    std::optional<QString> m_waitingFile;

    // The channels' settings and the live sample the graphs are drawn from, as announced.
    std::array<ChannelSettings, kChannelColumns> m_channels{};
    LiveSample m_sample;
    // What each graph's picture was last composed from; empty after a clear.
    std::array<std::optional<OverviewInputs>, kChannelColumns> m_composedGraphs;
};

} // namespace orvex
