#include "ui/dialogs/SettingsDialog.h"

#include "core/config/ChannelEditRules.h"
#include "core/config/ConfigModel.h"
#include "core/config/SettingNames.h"
#include "core/graph/GraphGeometry.h"
#include "ui/dialogs/FixedDialog.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/LabelledListAccessibility.h"
#include "ui/dialogs/ScreenMetrics.h"
#include "ui/dialogs/Twips.h"
#include "ui/graphs/StepGraphView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

namespace orvex {

namespace {

constexpr QSize kClientSize{369, 561}; // 5535 x 8415 twips

// Room the screen keeps free below the dialog (a panel or task bar).
constexpr int kScreenReserve = 30;

// Where the screen allows, the buttons keep this gap below the Joystick frame.
constexpr int kButtonGapBelowFrames = 8;

// Labels give up font size in these steps when the design width is too narrow for them.
constexpr qreal kLabelPointSizeStep = 0.5;
constexpr qreal kSmallestLabelPointSize = 6.0;

// The line a frame draws around its controls.
constexpr int kFrameBorder = 2;

// Labels have no visible box, so they may use the frame's whole inner width: the design width
// was made for a smaller font than desktop Linux uses.
QLabel *makeLabel(const QString &objectName, const QString &text, QRect geometry, QGroupBox *frame)
{
    auto *label = new QLabel(text, frame);
    label->setObjectName(objectName);
    const int innerWidth = frame->width() - kFrameBorder - geometry.left();
    label->setGeometry(geometry.adjusted(0, 0, std::max(0, innerWidth - geometry.width()), 0));
    return label;
}

// The entries of a list: the names of the values first to last.
QStringList names(QString (*name)(std::uint8_t), int first, int last)
{
    QStringList entries;
    for (int value = first; value <= last; ++value)
        entries << name(static_cast<std::uint8_t>(value));
    return entries;
}

QComboBox *makeList(const QString &objectName, const QStringList &items, QRect geometry,
                    QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setGeometry(geometry);
    return list;
}

QCheckBox *makeEnabledBox(int index, QWidget *parent)
{
    auto *box = new QCheckBox(QStringLiteral("Enabled"), parent);
    box->setObjectName(QStringLiteral("chkEnabled%1").arg(index));
    box->setGeometry(rectFromTwips(120, 360, 1215, 255));
    return box;
}

QPushButton *makeButton(const QString &objectName, const QString &text, QRect geometry,
                        QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setGeometry(geometry);
    // Enter and Escape are bound to neither button: a dialog's buttons are not default
    // unless made so, but they would become the default when focused.
    button->setAutoDefault(false);
    return button;
}

} // namespace

SettingsDialog::SettingsDialog(ConfigModel &model, QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_model(model)
{
    installLabelledListAccessibility();
    setObjectName(QStringLiteral("frmSettings"));
    setModal(true);
    setDesignSize(this, kClientSize);
    buildControls();
    connectRules();
    firstLoad();
}

SettingsDialog::~SettingsDialog() = default;

// The tab order is the order of creation: OK and Cancel first, then the graph and the two
// frames in reading order.
void SettingsDialog::buildControls()
{
    buildButtons();

    picGraph = new StepGraphView(this);
    picGraph->setObjectName(QStringLiteral("picGraph"));
    picGraph->move(rectFromTwips(120, 120, 3375, 8175).topLeft());
    picGraph->setDesignSize(rectFromTwips(120, 120, 3375, 8175).size());
    // The poll comes more often than most screens show frames.
    picGraph->setFramePacer(new FramePacer(this));

    buildKeyboardFrame();
    buildJoystickFrame();
    fitLabelFont();
    // On a short screen the buttons move up into the Joystick frame; they stay on top of it.
    cmdOK->raise();
    cmdCancel->raise();
    nameControls();
}

void SettingsDialog::buildKeyboardFrame()
{
    Frame1 = new QGroupBox(QStringLiteral("Keyboard"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(rectFromTwips(3600, 120, 1815, 4935));

    chkEnabled[0] = makeEnabledBox(0, Frame1);
    lblSteps = makeLabel(QStringLiteral("lblSteps"), QStringLiteral("Number of steps"),
                         rectFromTwips(120, 720, 1455, 255), Frame1);
    listSteps = makeList(QStringLiteral("listSteps"), names(stepsName, 1, kDirectionalSteps),
                         rectFromTwips(120, 960, 1455, 315), Frame1);
    lblHysteresis = makeLabel(QStringLiteral("lblHysteresis"), QStringLiteral("Hysteresis"),
                              rectFromTwips(120, 1560, 1455, 255), Frame1);
    listHysteresis = makeList(QStringLiteral("listHysteresis"), names(hysteresisName, 0, 2),
                              rectFromTwips(120, 1800, 1455, 315), Frame1);
    lblPreload = makeLabel(QStringLiteral("lblPreload"), QStringLiteral("Preload"),
                           rectFromTwips(120, 2400, 1455, 255), Frame1);
    listPreload = makeList(QStringLiteral("listPreload"), names(offOnName, 0, 1),
                           rectFromTwips(120, 2640, 1455, 315), Frame1);
    lblRepeat = makeLabel(QStringLiteral("lblRepeat"), QStringLiteral("Key repeat"),
                          rectFromTwips(120, 3240, 1455, 255), Frame1);
    listRepeat = makeList(QStringLiteral("listRepeat"), names(offOnName, 0, 1),
                          rectFromTwips(120, 3480, 1455, 315), Frame1);
    lblPeriodic = makeLabel(QStringLiteral("lblPeriodic"), QStringLiteral("Periodic keystrokes"),
                            rectFromTwips(120, 4080, 1455, 255), Frame1);
    listPeriodic =
        makeList(QStringLiteral("listPeriodic"), {}, rectFromTwips(120, 4320, 1455, 315), Frame1);
}

void SettingsDialog::buildJoystickFrame()
{
    Frame2 = new QGroupBox(QStringLiteral("Joystick"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(rectFromTwips(3600, 5160, 1815, 1455));

    chkEnabled[1] = makeEnabledBox(1, Frame2);
    lblJoystick = makeLabel(QStringLiteral("lblJoystick"), QStringLiteral("Axis"),
                            rectFromTwips(120, 720, 1455, 255), Frame2);
    listJoystick =
        makeList(QStringLiteral("listJoystick"), {}, rectFromTwips(120, 960, 1455, 315), Frame2);
}

// The labels share one font, as large as the widest label allows but never above the dialog's.
void SettingsDialog::fitLabelFont()
{
    const QList<QLabel *> labels = findChildren<QLabel *>();
    QFont font = this->font();
    const auto allFit = [&labels](const QFont &candidate) {
        const QFontMetrics metrics(candidate);
        return std::all_of(labels.begin(), labels.end(), [&metrics](const QLabel *label) {
            return metrics.horizontalAdvance(label->text()) <= label->width();
        });
    };
    while (!allFit(font) && font.pointSizeF() > kSmallestLabelPointSize)
        font.setPointSizeF(font.pointSizeF() - kLabelPointSizeStep);
    for (QLabel *label : labels)
        label->setFont(font);
}

void SettingsDialog::buildButtons()
{
    cmdOK = makeButton(QStringLiteral("cmdOK"), QStringLiteral("OK"),
                       rectFromTwips(3720, 7200, 1455, 495), this);
    cmdCancel = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("Cancel"),
                           rectFromTwips(3720, 7800, 1455, 495), this);
}

// What screen readers call the controls whose caption alone does not say it: the two
// "Enabled" boxes, the graph, and each list (after its label).
void SettingsDialog::nameControls()
{
    chkEnabled[0]->setAccessibleName(QStringLiteral("Keyboard output"));
    chkEnabled[1]->setAccessibleName(QStringLiteral("Joystick output"));
    picGraph->setAccessibleName(QStringLiteral("Step graph"));
    const std::initializer_list<std::pair<QLabel *, QComboBox *>> labelled{
        {lblSteps, listSteps},   {lblHysteresis, listHysteresis}, {lblPreload, listPreload},
        {lblRepeat, listRepeat}, {lblPeriodic, listPeriodic},     {lblJoystick, listJoystick}};
    for (const auto &[label, list] : labelled)
        label->setBuddy(list);
}

void SettingsDialog::connectRules()
{
    for (QCheckBox *box : chkEnabled)
        connect(box, &QCheckBox::stateChanged, this, &SettingsDialog::onOutputBoxChanged);

    const auto connectList = [this](QComboBox *list, Rule rule) {
        connect(list, &QComboBox::currentIndexChanged, this, [this, rule] { (this->*rule)(); });
    };
    connectList(listSteps, &SettingsDialog::onStepsChosen);
    connectList(listHysteresis, &SettingsDialog::onHysteresisChosen);
    connectList(listRepeat, &SettingsDialog::onRepeatChosen);
    connectList(listPreload, &SettingsDialog::onPreloadChosen);
    connectList(listPeriodic, &SettingsDialog::onPeriodicChosen);
    connectList(listJoystick, &SettingsDialog::onAxisChosen);

    connect(cmdOK, &QPushButton::clicked, this, &SettingsDialog::onOkClicked);
    connect(cmdCancel, &QPushButton::clicked, this, &SettingsDialog::onCancelClicked);
    connect(picGraph, &GraphView::mousePressed, this, &SettingsDialog::onGraphPressed);
    connect(picGraph, &StepGraphView::sectionActivated, this, &SettingsDialog::pickKey);
}

// Runs once for the dialog's whole life: the periodic entries and the fit to the screen stay.
void SettingsDialog::firstLoad()
{
    {
        // The list was built empty.  Written as the user writes numbers: "0,5 sec" where the
        // comma is the separator.
        const QSignalBlocker blocker(listPeriodic);
        for (int tenths = 0; tenths < kPeriodicEntryCount; ++tenths)
            listPeriodic->addItem(periodicName(static_cast<std::uint8_t>(tenths), QLocale()));
        listPeriodic->setCurrentIndex(-1);
    }
    fitToScreenHeight();
}

// A dialog taller than the screen (less room for a panel) gives up the difference at the
// bottom: the graph gets shorter and the buttons move up.  The buttons stop below the Joystick
// frame as long as they stay on screen there; on a shorter screen they move up with the rest
// and overlap the frame, because OK and Cancel must remain reachable.
void SettingsDialog::fitToScreenHeight()
{
    const int screenHeight = ScreenMetrics::screenSize(this).height();
    if (screenHeight <= 0)
        return;
    const QMargins frame = ScreenMetrics::frameMargins(this);
    const int room = screenHeight - kScreenReserve;
    const int excess = height() + frame.top() + frame.bottom() - room;
    if (excess <= 0)
        return;

    const int belowFrames = cmdOK->y() - (Frame2->geometry().bottom() + 1 + kButtonGapBelowFrames);
    const int capped = std::min(excess, belowFrames);
    // With the window at the top of the screen, where the lower button ends.
    const int buttonsBottom = frame.top() + cmdCancel->geometry().bottom() + 1 - capped;
    shortenBy(buttonsBottom <= room ? capped : excess);
}

void SettingsDialog::shortenBy(int pixels)
{
    setDesignSize(this, minimumSize() - QSize(0, pixels));
    picGraph->setDesignSize(picGraph->size() - QSize(0, pixels));
    for (QPushButton *button : {cmdOK, cmdCancel})
        button->move(button->x(), button->y() - pixels);
}

void SettingsDialog::loadForm(int index)
{
    if (index < 0 || index >= kChannelCount)
        return;
    m_channelIndex = index;
    const QString owner = parentWidget() != nullptr ? parentWidget()->windowTitle() : QString();
    setWindowTitle(owner + QStringLiteral(" - Channel %1 Settings").arg(index + 1));
    m_workSettings = m_model.channel(index);

    // The order matters: each selection runs its list's rule, and the later rules override the
    // enabled states that the check-box rule set.
    setBoxesFromMode();
    selectEntry(listSteps, m_workSettings.steps - 1, &SettingsDialog::onStepsChosen);
    m_sections = sectionsForSteps(m_workSettings.steps);
    selectEntry(listHysteresis, m_workSettings.hysteresis, &SettingsDialog::onHysteresisChosen);
    selectEntry(listRepeat, m_workSettings.repeat, &SettingsDialog::onRepeatChosen);
    selectEntry(listPeriodic, m_workSettings.periodic, &SettingsDialog::onPeriodicChosen);
    selectEntry(listPreload, m_workSettings.preload, &SettingsDialog::onPreloadChosen);

    {
        // The axes taken by other channels may have changed since the last opening.  Rebuilding
        // the list is no choice of the user's: the axis rule runs once, below.
        const QSignalBlocker blocker(listJoystick);
        listJoystick->clear();
        for (const JoystickAxis &axis : offeredAxes(m_model.channels(), m_channelIndex))
            addAxis(axis.code, axis.name);
    }
    selectAxis(m_workSettings.axis);

    drawStepGraph();
    m_live = true;
}

// The check-box rule runs once for the loaded boxes, also when neither box changes: a box set
// to the state it already has reports nothing, and the controls would keep the enabled states
// of the previous channel.
void SettingsDialog::setBoxesFromMode()
{
    const std::optional<EnabledBoxes> boxes = boxesForMode(m_workSettings.mode);
    if (!boxes)
        return;
    {
        const QSignalBlocker keyboardBlocker(chkEnabled[0]);
        const QSignalBlocker joystickBlocker(chkEnabled[1]);
        chkEnabled[0]->setChecked(boxes->keyboard);
        chkEnabled[1]->setChecked(boxes->joystick);
    }
    applyOutputs();
}

// Selecting from code runs the list's rule exactly once, also when the entry was already
// selected (QComboBox reports only real changes).  An index outside the list selects nothing.
void SettingsDialog::selectEntry(QComboBox *list, int index, Rule rule)
{
    {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    }
    (this->*rule)();
}

void SettingsDialog::addAxis(std::uint8_t code, const char *name)
{
    listJoystick->addItem(QString::fromLatin1(name), QVariant::fromValue<uint>(code));
}

void SettingsDialog::selectAxis(std::uint8_t code)
{
    const int found = listJoystick->findData(QVariant::fromValue<uint>(code));
    selectEntry(listJoystick, found >= 0 ? found : 0, &SettingsDialog::onAxisChosen);
}

void SettingsDialog::onOutputBoxChanged()
{
    if (const auto mode = modeForBoxes(chkEnabled[0]->checkState(), chkEnabled[1]->checkState()))
        m_workSettings.mode = *mode;
    applyOutputs();
}

void SettingsDialog::applyOutputs()
{
    setKeyboardListsEnabled(isKeyboardEnabled(m_workSettings.mode));
    const bool joystick = isJoystickEnabled(m_workSettings.mode);
    lblJoystick->setEnabled(joystick);
    listJoystick->setEnabled(joystick);
}

void SettingsDialog::setKeyboardListsEnabled(bool enabled)
{
    for (QWidget *control : std::initializer_list<QWidget *>{
             lblSteps, listSteps, lblHysteresis, listHysteresis, lblPreload, listPreload, lblRepeat,
             listRepeat, lblPeriodic, listPeriodic})
        control->setEnabled(enabled);
}

void SettingsDialog::setPeriodicEnabled(bool enabled)
{
    lblPeriodic->setEnabled(enabled);
    listPeriodic->setEnabled(enabled);
}

// The step count never touches the keys: sections above a lowered count keep theirs, so
// raising it again brings them back.
void SettingsDialog::onStepsChosen()
{
    m_workSettings.steps = static_cast<std::uint8_t>(listSteps->currentIndex() + 1);
    m_sections = sectionsForSteps(m_workSettings.steps);
    const StepListsEnablement enablement =
        enablementForSteps(m_workSettings.steps, m_workSettings.repeat);
    lblHysteresis->setEnabled(enablement.hysteresis);
    listHysteresis->setEnabled(enablement.hysteresis);
    for (QWidget *control :
         std::initializer_list<QWidget *>{lblPreload, listPreload, lblRepeat, listRepeat})
        control->setEnabled(enablement.preloadAndRepeat);
    setPeriodicEnabled(enablement.periodic);
}

// The live poll takes the new threshold at once, so the graph's arrows follow it; Cancel puts
// the stored one back.
void SettingsDialog::onHysteresisChosen()
{
    if (listHysteresis->currentIndex() < 0)
        return;
    m_workSettings.hysteresis = static_cast<std::uint8_t>(listHysteresis->currentIndex());
    m_model.setHysteresisThreshold(m_workSettings.hysteresis, m_channelIndex);
}

// A disabled periodic list keeps its value; only its enabled state follows key repeat.
void SettingsDialog::onRepeatChosen()
{
    if (listRepeat->currentIndex() >= 0)
        m_workSettings.repeat = static_cast<std::uint8_t>(listRepeat->currentIndex());
    setPeriodicEnabled(periodicEnabledForRepeat(m_workSettings.steps, m_workSettings.repeat));
}

void SettingsDialog::onPreloadChosen()
{
    if (listPreload->currentIndex() >= 0)
        m_workSettings.preload = static_cast<std::uint8_t>(listPreload->currentIndex());
}

void SettingsDialog::onPeriodicChosen()
{
    if (listPeriodic->currentIndex() >= 0)
        m_workSettings.periodic = static_cast<std::uint8_t>(listPeriodic->currentIndex());
}

void SettingsDialog::onAxisChosen()
{
    if (listJoystick->currentIndex() >= 0)
        m_workSettings.axis = static_cast<std::uint8_t>(listJoystick->currentData().toUInt());
}

void SettingsDialog::setKey(int section, std::uint8_t key, std::uint8_t &keyOperators)
{
    storeKey(m_workSettings, section, key, keyOperators);
}

// Every poll tick of the link, whether or not a device is viewed.  While the dialog is open the
// step graph follows, and shows there what the rules and setKey() changed since the last tick.
void SettingsDialog::showSample(const LiveSample &sample)
{
    m_sample = sample;
    if (m_live)
        drawStepGraph();
}

void SettingsDialog::drawStepGraph()
{
    picGraph->draw({m_channelIndex, &m_workSettings, m_sections, m_sample.values[m_channelIndex],
                    m_sample.directions[m_channelIndex], listJoystick->currentText()});
}

void SettingsDialog::onGraphPressed(QPointF pos)
{
    if (!isKeyboardEnabled(m_workSettings.mode))
        return;
    const int height = picGraph->drawingAreaSize().height();
    const int section =
        std::clamp(graph::sectionAt(pos.y(), m_sections, height), 0, kMaxSections - 1);
    // The keyboard carries on from the section clicked last.
    picGraph->selectSection(section);
    pickKey(section);
}

void SettingsDialog::pickKey(int section)
{
    if (!isKeyboardEnabled(m_workSettings.mode) || section < 0 || section >= kMaxSections)
        return;
    KeyPicker &picker = ensureKeyPicker();
    picker.setupKeyboard(section, m_workSettings.keys[section],
                         m_workSettings.keyOperators[section]);
    // The choice comes back through setKey(); the next tick shows it.
    picker.exec();
}

KeyPicker *SettingsDialog::keyPicker() const
{
    return m_keyPicker.data();
}

KeyPicker &SettingsDialog::ensureKeyPicker()
{
    if (m_keyPicker.isNull()) {
        m_keyPicker = new KeyPicker(this);
        connect(m_keyPicker, &KeyPicker::keyPicked, this,
                [this](int section, std::uint8_t key, std::uint8_t keyOperators) {
                    setKey(section, key, keyOperators);
                });
    }
    return *m_keyPicker;
}

void SettingsDialog::onOkClicked()
{
    m_live = false;
    m_model.storeChannel(m_channelIndex, m_workSettings);
    QDialog::accept();
}

void SettingsDialog::onCancelClicked()
{
    m_live = false;
    m_model.restoreHysteresisThreshold(m_channelIndex);
    QDialog::reject();
}

// Closing the window keeps the changes, exactly as OK does.
void SettingsDialog::closeEvent(QCloseEvent *event)
{
    if (isVisible())
        onOkClicked();
    event->accept();
}

// Escape is bound to neither button; the dialog ends only by OK, Cancel or its close box.
void SettingsDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orvex
