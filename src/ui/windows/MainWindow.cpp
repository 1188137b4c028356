#include "ui/windows/MainWindow.h"

#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/config/SettingNames.h"
#include "ui/dialogs/FixedDialog.h"
#include "ui/dialogs/SettingsDialog.h"
#include "ui/graphs/GraphAccessibility.h"
#include "ui/graphs/GraphView.h"
#include "ui/windows/AboutWindow.h"
#include "ui/windows/StatusWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QWindow>

namespace orvex {

namespace {

// The window's design grid: each channel column is 88 pixels wide, starting 8 pixels in.
constexpr int kColumnLeft = 8;
constexpr int kColumnPitch = 88;
constexpr int kColumnWidth = 81;
constexpr QSize kClientSize{536, 361};

QString deviceCaption(int deviceNumber)
{
    return QStringLiteral("Device %1").arg(deviceNumber + 1);
}

QAction *addMenuAction(QMenu *menu, const QString &name, const QString &caption,
                       const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void addSeparator(QMenu *menu, const QString &name)
{
    menu->addSeparator()->setObjectName(name);
}

} // namespace

MainWindow::MainWindow(ConfigModel &model, DeviceLink &link, FileCommands &files,
                       FilePrompts &prompts, QWidget *parent)
    : QMainWindow(parent)
    , m_model(model)
    , m_link(link)
    , m_files(files)
    , m_prompts(prompts)
    , m_transfer(link, model, *this)
    , m_channels(model.channels())
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(kMainWindowTitle);
    m_files.setWindowTitle(kMainWindowTitle);

    m_graphFrames = new FramePacer(this);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientSize);
    setCentralWidget(client);
    createChannelColumns(client);
    createStatusBar(client);
    createMenus();
    // The window keeps the size of its design: client area plus menu bar.  Where the window
    // system imposes sizes it may grow, with the design in its top left corner.
    layout()->setSizeConstraint(windowSystemImposesSizes() ? QLayout::SetMinimumSize
                                                           : QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    m_statusWindow = new StatusWindow(this);
    setAcceptDrops(true);

    connect(&m_model, &ConfigModel::configurationChanged, this, &MainWindow::showConfiguration);
    connect(&m_link, &DeviceLink::stateChanged, this, &MainWindow::showLinkState);
    connect(&m_link, &DeviceLink::sampled, this, &MainWindow::showSample);
    connect(&m_link, &DeviceLink::released, this, &MainWindow::programEnded);
    connect(&m_transfer, &ConfigTransfer::finished, this, &MainWindow::onTransferFinished);
    setSupressMenu(m_model.powerOnDelay());
}

MainWindow::~MainWindow() = default;

void MainWindow::createChannelColumns(QWidget *client)
{
    for (int i = 0; i < kChannelColumns; ++i) {
        const int left = kColumnLeft + kColumnPitch * i;

        lblChannel[i] = new QLabel(QStringLiteral("Channel %1").arg(i + 1), client);
        lblChannel[i]->setObjectName(QStringLiteral("lblChannel%1").arg(i));
        lblChannel[i]->setGeometry(left, 8, kColumnWidth, 17);

        picGraph[i] = new GraphView(client);
        picGraph[i]->setObjectName(QStringLiteral("picGraph%1").arg(i));
        picGraph[i]->move(left, 24);
        picGraph[i]->setDesignSize(QSize(kColumnWidth, 265));
        picGraph[i]->setFramePacer(m_graphFrames);
        picGraph[i]->setAccessibleName(QStringLiteral("Channel %1 input").arg(i + 1));

        cmdSettings[i] = new QPushButton(QStringLiteral("Settings"), client);
        cmdSettings[i]->setObjectName(QStringLiteral("cmdSettings%1").arg(i));
        cmdSettings[i]->setGeometry(left, 296, kColumnWidth, 33);
        cmdSettings[i]->setAutoDefault(false);
        cmdSettings[i]->setAccessibleName(QStringLiteral("Channel %1 Settings").arg(i + 1));
        connect(cmdSettings[i], &QPushButton::clicked, this, [this, i] { onSettingsClicked(i); });
    }
}

void MainWindow::createStatusBar(QWidget *client)
{
    picStatus = new QWidget(client);
    picStatus->setObjectName(QStringLiteral("picStatus"));
    picStatus->setGeometry(0, 336, 536, 25);

    lblStatus = new QLabel(QStringLiteral("Status"), picStatus);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(1, 1, 424, 25);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblStatus->setIndent(4);

    // A one-pixel line in the palette's button-shadow colour, following palette changes.
    LineStatusDivider = new QWidget(picStatus);
    LineStatusDivider->setObjectName(QStringLiteral("LineStatusDivider"));
    LineStatusDivider->setGeometry(432, 2, 1, 20);
    LineStatusDivider->setBackgroundRole(QPalette::Dark);
    LineStatusDivider->setAutoFillBackground(true);

    for (int i = 0; i < 2; ++i) {
        chkID[i] = new QCheckBox(picStatus);
        chkID[i]->setObjectName(QStringLiteral("chkID%1").arg(i));
        chkID[i]->setToolTip(QStringLiteral("View %1").arg(deviceCaption(i)));
        chkID[i]->setAccessibleName(deviceCaption(i));
    }
    chkID[0]->setGeometry(440, 4, 17, 17);
    chkID[1]->setGeometry(512, 5, 17, 17);
    chkID[0]->setChecked(true);

    lblBoardID = new QLabel(deviceCaption(0), picStatus);
    lblBoardID->setObjectName(QStringLiteral("lblBoardID"));
    // Wider than its 49-pixel design so that "Device 1" fits in the desktop's font; it still
    // ends before the second box.
    lblBoardID->setGeometry(456, 5, 55, 17);

    // toggled() runs for user clicks and for changes made from code, and only on a real change.
    for (int i = 0; i < 2; ++i)
        connect(chkID[i], &QCheckBox::toggled, this, [this, i] { onDeviceBoxToggled(i); });
}

void MainWindow::createMenus()
{
    menuBar()->addMenu(createFileMenu());
    menuBar()->addMenu(createOptionsMenu());

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = addMenuAction(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About"));
    mnuAbout->setMenuRole(QAction::AboutRole);
    connect(mnuAbout, &QAction::triggered, this, &MainWindow::onAboutTriggered);
}

QMenu *MainWindow::createFileMenu()
{
    mnuFile = new QMenu(QStringLiteral("&File"), this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuNew = addMenuAction(mnuFile, QStringLiteral("mnuNew"), QStringLiteral("&New"),
                           QKeySequence(Qt::CTRL | Qt::Key_N));
    addSeparator(mnuFile, QStringLiteral("mnuLine1"));
    mnuOpen = addMenuAction(mnuFile, QStringLiteral("mnuOpen"), QStringLiteral("&Open"),
                            QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuSave = addMenuAction(mnuFile, QStringLiteral("mnuSave"), QStringLiteral("&Save"),
                            QKeySequence(Qt::CTRL | Qt::Key_S));
    addSeparator(mnuFile, QStringLiteral("mnuLine2"));
    mnuRead = addMenuAction(mnuFile, QStringLiteral("mnuRead"), QStringLiteral("&Read from ORVEX"),
                            QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuWrite = addMenuAction(mnuFile, QStringLiteral("mnuWrite"), QStringLiteral("&Write to ORVEX"),
                             QKeySequence(Qt::CTRL | Qt::Key_W));
    addSeparator(mnuFile, QStringLiteral("mnuLine3"));
    mnuExit = addMenuAction(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));
    mnuExit->setMenuRole(QAction::QuitRole);

    connect(mnuNew, &QAction::triggered, this, &MainWindow::onNewTriggered);
    connect(mnuOpen, &QAction::triggered, this, &MainWindow::onOpenTriggered);
    connect(mnuSave, &QAction::triggered, this, &MainWindow::onSaveTriggered);
    connect(mnuRead, &QAction::triggered, this, &MainWindow::onReadTriggered);
    connect(mnuWrite, &QAction::triggered, this, &MainWindow::onWriteTriggered);
    connect(mnuExit, &QAction::triggered, this, &MainWindow::onExitTriggered);
    return mnuFile;
}

QMenu *MainWindow::createOptionsMenu()
{
    mnuOptions = new QMenu(QStringLiteral("&Options"), this);
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    for (int i = 0; i < 2; ++i) {
        mnuDevice[i] = addMenuAction(mnuOptions, QStringLiteral("mnuDevice%1").arg(i),
                                     QStringLiteral("Device &%1").arg(i + 1));
        mnuDevice[i]->setCheckable(true);
        connect(mnuDevice[i], &QAction::triggered, this, [this, i] { onDeviceMenuTriggered(i); });
    }
    mnuDevice[0]->setChecked(true);
    addSeparator(mnuOptions, QStringLiteral("mnuLine4"));

    mnuSuppress = mnuOptions->addMenu(QStringLiteral("&Delay keystrokes at power on"));
    mnuSuppress->setObjectName(QStringLiteral("mnuSuppress"));
    for (int i = 0; i < kDelayItems; ++i) {
        mnuSupressItem[i] = addMenuAction(mnuSuppress, QStringLiteral("mnuSupressItem%1").arg(i),
                                          powerOnDelayName(static_cast<std::uint8_t>(i)));
        mnuSupressItem[i]->setCheckable(true);
        connect(mnuSupressItem[i], &QAction::triggered, this,
                [this, i] { onDelayItemTriggered(i); });
    }
    return mnuOptions;
}

// ---- graphs and the link ----------------------------------------------------------------------

// Runs at every successful poll.  A graph whose value, direction and settings are those of the
// picture it already shows is left as it is, so a viewed device whose inputs rest costs no
// drawing at all; a moving one costs the rows its bar moved across.
void MainWindow::drawGraphs(const LiveSample &sample)
{
    for (int i = 0; i < kChannelColumns; ++i) {
        const ChannelSettings &settings = m_channels[i];
        const OverviewInputs inputs{sample.values[i], sample.directions[i], settings.steps,
                                    settings.hysteresis};
        if (!m_overviews[i].compose(picGraph[i]->canvas(), inputs))
            continue;
        picGraph[i]->refresh();
        picGraph[i]->setReading(inputs.value, movementText(inputs.direction));
    }
}

void MainWindow::clearGraphs()
{
    for (int i = 0; i < kChannelColumns; ++i) {
        picGraph[i]->clear();
        m_overviews[i].forget();
    }
}

void MainWindow::showSample(const LiveSample &sample)
{
    m_sample = sample;
    if (sample.read && m_windowExposed)
        drawGraphs(sample);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    windowHandle()->installEventFilter(this);
}

// A minimised window, and where the platform tells a covered one, is not exposed: nobody can see
// its graphs, so they are not composed.  As it comes back they catch up with the newest sample
// before it is painted.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle()) {
        const bool exposed = windowHandle()->isExposed();
        if (exposed && !m_windowExposed && m_sample.read)
            drawGraphs(m_sample);
        m_windowExposed = exposed;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Searching clears the graphs until the next device answers; the boxes always show the device
// the link has selected, which a search that finds the other device changes.
void MainWindow::showLinkState(const LinkState &state)
{
    showSelectedDevice(state.deviceNumber);
    if (!state.viewing)
        clearGraphs();
    lblStatus->setText(statusText(state));
}

void MainWindow::showSelectedDevice(int deviceNumber)
{
    if (deviceNumber < 0 || deviceNumber > 1)
        return;
    // Runs the device selection, which names the device, when the box changes; the link
    // already has this selection, and a choice the user made since is still on its way to it.
    m_showingLinkState = true;
    chkID[deviceNumber]->setChecked(true);
    m_showingLinkState = false;
}

void MainWindow::showConfiguration(const Configuration &configuration)
{
    m_channels = configuration.channels;
    setSupressMenu(configuration.powerOnDelay);
}

// ---- device selection -------------------------------------------------------------------------

// The two boxes always hold opposite states; the checked one names the selected device.
// Setting the other box from here runs this handler once more for that box, which changes
// nothing further: the net effect is one selection.
void MainWindow::onDeviceBoxToggled(int index)
{
    chkID[1 - index]->setChecked(!chkID[index]->isChecked());
    for (int i = 0; i < 2; ++i)
        mnuDevice[i]->setChecked(chkID[i]->isChecked());
    const int deviceNumber = chkID[1]->isChecked() ? 1 : 0;
    lblBoardID->setText(deviceCaption(deviceNumber));
    if (!m_showingLinkState)
        m_link.selectDevice(deviceNumber);
}

void MainWindow::onDeviceMenuTriggered(int index)
{
    if (m_transferRunning)
        return;
    chkID[index]->setChecked(true);
    // The action toggled its own mark when clicked; the boxes decide what it shows.
    for (int i = 0; i < 2; ++i)
        mnuDevice[i]->setChecked(chkID[i]->isChecked());
}

// ---- power-on delay ---------------------------------------------------------------------------

void MainWindow::onDelayItemTriggered(int index)
{
    m_model.setPowerOnDelay(static_cast<std::uint8_t>(index));
    // The item toggled its own mark; choosing the checked one again must not leave it bare.
    setSupressMenu(m_model.powerOnDelay());
}

void MainWindow::setSupressMenu(std::uint8_t powerOnDelay)
{
    for (int i = 0; i < kDelayItems; ++i)
        mnuSupressItem[i]->setChecked(i == powerOnDelay);
}

// ---- file commands ----------------------------------------------------------------------------

void MainWindow::onNewTriggered()
{
    if (!m_transferRunning)
        m_files.newConfiguration();
}

void MainWindow::onOpenTriggered()
{
    if (!m_transferRunning)
        m_files.openConfiguration();
}

void MainWindow::onSaveTriggered()
{
    if (!m_transferRunning)
        m_files.saveConfiguration();
}

// ---- files handed over by the desktop ---------------------------------------------------------

// Busy: a transfer runs, or a modal window (a dialog, a question, the file dialog of a command)
// waits for the user.  Opening a file then would change the model under that command.
bool MainWindow::isBusy() const
{
    return m_transferRunning || QApplication::activeModalWidget() != nullptr;
}

void MainWindow::openFile(const QString &path)
{
    if (isBusy()) {
        m_waitingFile = path;
        return;
    }
    m_waitingFile.reset();
    if (m_files.openConfiguration(path))
        Q_EMIT fileOpened(path);
}

void MainWindow::openWaitingFile()
{
    if (!m_waitingFile || isBusy())
        return;
    const QString path = *m_waitingFile; // openFile() lets the waiting one go
    openFile(path);
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

// A closed dialog or question gives the window back; a file that waited for that opens then,
// once the command that showed it has returned.
bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowUnblocked && m_waitingFile)
        QMetaObject::invokeMethod(this, &MainWindow::openWaitingFile, Qt::QueuedConnection);
    return QMainWindow::event(event);
}

std::optional<QString> MainWindow::acceptableDrop(const QDropEvent &event) const
{
    if (isBusy() || !event.mimeData()->hasUrls())
        return std::nullopt;
    return droppedConfigurationFile(event.mimeData()->urls());
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

// The cursor says no over the window for anything but one configuration file, and while the
// window is busy.
void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptableDrop(*event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const std::optional<QString> path = acceptableDrop(*event);
    if (!path)
        return; // a drop arrives refused
    event->acceptProposedAction();
    // After the drop has returned to its source, so that a question does not hold the drag.
    QMetaObject::invokeMethod(
        this, [this, file = *path] { openFile(file); }, Qt::QueuedConnection);
}

// ---- transfers --------------------------------------------------------------------------------

void MainWindow::onReadTriggered()
{
    runTransfer([this] { return m_transfer.readFromDevice(&m_files); });
}

void MainWindow::onWriteTriggered()
{
    runTransfer([this] { return m_transfer.writeToDevice(); });
}

// The window stays responsive while the device thread moves the configuration.  Until the
// transfer ends, the commands that would change the model, the device or the selection under it
// are switched off, and closing the window is refused.
void MainWindow::runTransfer(const std::function<std::optional<TransferResult>()> &start)
{
    if (m_transferRunning)
        return;
    m_transferRunning = true;
    setUserCommandsEnabled(false);
    if (start()) // refused: nothing runs
        onTransferFinished();
}

void MainWindow::onTransferFinished()
{
    setUserCommandsEnabled(true);
    m_transferRunning = false;
    if (m_waitingFile)
        QMetaObject::invokeMethod(this, &MainWindow::openWaitingFile, Qt::QueuedConnection);
}

void MainWindow::setUserCommandsEnabled(bool enabled)
{
    for (QAction *action : {mnuNew, mnuOpen, mnuSave, mnuRead, mnuWrite, mnuExit})
        action->setEnabled(enabled);
    for (QAction *action : mnuDevice)
        action->setEnabled(enabled);
    mnuSuppress->setEnabled(enabled);
    // The About box is modal: its loop would hold the transfer still until it is closed.
    mnuAbout->setEnabled(enabled);
    for (QCheckBox *box : chkID)
        box->setEnabled(enabled);
    for (QPushButton *button : cmdSettings)
        button->setEnabled(enabled);
}

void MainWindow::showTransferStatus()
{
    m_statusWindow->showInitial();
}

void MainWindow::setTransferStatus(const QString &text)
{
    m_statusWindow->setStatus(text);
}

void MainWindow::hideTransferStatus()
{
    m_statusWindow->hide();
}

void MainWindow::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void MainWindow::showMessage(const UserMessage &message)
{
    m_prompts.showMessage(message);
}

// ---- other windows ----------------------------------------------------------------------------

void MainWindow::onAboutTriggered()
{
    if (m_transferRunning)
        return;
    if (m_aboutWindow == nullptr)
        m_aboutWindow = new AboutWindow(this);
    m_aboutWindow->exec();
}

void MainWindow::onSettingsClicked(int index)
{
    if (m_transferRunning)
        return;
    if (m_settingsDialog == nullptr) {
        m_settingsDialog = new SettingsDialog(m_model, this);
        m_settingsDialog->showSample(m_sample);
        connect(&m_link, &DeviceLink::sampled, m_settingsDialog, &SettingsDialog::showSample);
    }
    m_settingsDialog->loadForm(index);
    // The dialog's step graph follows every tick, as it shows the working copy's keys too.
    m_link.setEveryPollAnnounced(true);
    m_settingsDialog->exec();
    m_link.setEveryPollAnnounced(false);
}

// ---- exit -------------------------------------------------------------------------------------

void MainWindow::onExitTriggered()
{
    if (!m_transferRunning)
        runExitProcedure();
}

// The close box never closes the window by itself: it runs the exit procedure, which may be
// cancelled at the save prompt.  During a transfer the request is refused.
void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (!m_transferRunning)
        runExitProcedure();
}

// The program ends (programEnded) once the device thread has restarted or released the
// devices.
void MainWindow::runExitProcedure()
{
    if (m_files.askSaveChanges())
        return;
    hide();
    m_link.releaseDevices();
}

} // namespace orvex
