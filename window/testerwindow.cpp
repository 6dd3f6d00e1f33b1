// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/testerwindow.h"

#include "link/qtserialline.h"
#include "settings/file/setupfile.h"
#include "settings/ui/aboutwindow.h"
#include "ui_main256.h"
#include "ui_main64k.h"
#include "widgets/lamp.h"
#include "widgets/trafficlogview.h"
#include "window/statisticswindow.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>

namespace {

void showMessageBox(QWidget *parent, const QString &title, const QString &text,
                    const QString &detail)
{
    // Window-modal and shown without waiting: the program's events go on while it is open.
    auto *box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box->setDetailedText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
}

TesterWindow::MessageShower &messageShower()
{
    static TesterWindow::MessageShower shower = showMessageBox;
    return shower;
}

// Icons and type names from a file's name and kind alone. The usual provider reads a file's first
// bytes when its name does not tell its type, and a read of a special file (/proc/kmsg, a pipe)
// can wait for ever, with the window.
class NameOnlyIconProvider : public QAbstractFileIconProvider
{
public:
    using QAbstractFileIconProvider::icon;

    QIcon icon(const QFileInfo &info) const override
    {
        return QApplication::style()->standardIcon(info.isDir() ? QStyle::SP_DirIcon
                                                                : QStyle::SP_FileIcon);
    }

    QString type(const QFileInfo &info) const override
    {
        if (!info.isFile())
            return QAbstractFileIconProvider::type(info);
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(),
                                                               QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
};

void chooseFileInDialog(QWidget *parent, const QString &title, const QString &suggestedPath,
                        const std::function<void(const QString &)> &chosen)
{
    static NameOnlyIconProvider iconProvider;
    // Not modal: polling and the log go on while the operator picks a file.
    auto *dialog = new QFileDialog(parent, title, QFileInfo(suggestedPath).path(),
                                   QStringLiteral("Text files (*.txt);;All files (*)"));
    // Qt's own dialog, whose icon provider this is; a native one may read files as it likes.
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons);
    dialog->setIconProvider(&iconProvider);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->selectFile(QFileInfo(suggestedPath).fileName());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, chosen);
    dialog->show();
}

TesterWindow::FileChooser &fileChooser()
{
    static TesterWindow::FileChooser chooser = chooseFileInDialog;
    return chooser;
}

// The channel enable boxes keep the three states of a tick box: 0 clear, 1 ticked, 2 greyed.
int boxState(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

Qt::CheckState checkState(int state)
{
    switch (state) {
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

} // namespace

void TesterWindow::setMessageShower(MessageShower shower)
{
    messageShower() = shower ? std::move(shower) : MessageShower(showMessageBox);
}

void TesterWindow::setFileChooser(FileChooser chooser)
{
    fileChooser() = chooser ? std::move(chooser) : FileChooser(chooseFileInDialog);
}

TesterWindow::TesterWindow(DisplayProfile profile, const QString &dataFolder, SerialLine *line,
                           QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , windowLayout(profile == Colour256 ? Colour256 : HighColour)
    , setupPath(setupFilePath(dataFolder))
{
    if (windowLayout == Colour256) {
        main256 = std::make_unique<Ui::MAIN256>();
        main256->setupUi(this);
    } else {
        main64k = std::make_unique<Ui::MAIN64K>();
        main64k->setupUi(this);
    }
    // The title names the major and minor version only.
    setWindowTitle(
            windowTitle().arg(QStringLiteral(BRISVEL_VERSION).section(QLatin1Char('.'), 0, 1)));
    if (!line) {
        ownLine = std::make_unique<QtSerialLine>(dataFolder);
        line = ownLine.get();
    }
    testerModel = new TesterModel(line, this);
    // The high-colour layout does not take what waited in the port before a run for its replies.
    testerModel->setInputEmptiedAtRunStart(windowLayout == HighColour);
    trafficRecord = new TrafficRecord(this);
    trafficRecord->follow(testerModel);
    acceptance.follow(testerModel, trafficRecord, this);
    // The other windows close most recently opened first: note the order they are shown in.
    qApp->installEventFilter(this);
    bindControls();
    wireControls();
    wireRecord();
    openWindow();
}

TesterWindow::~TesterWindow()
{
    // The model goes before the line it uses.
    delete testerModel;
}

template<typename Control>
Control *TesterWindow::control(const QString &name) const
{
    auto *found = findChild<Control *>(name);
    if (!found)
        qFatal("The tester window's form lacks the control %s", qPrintable(name));
    return found;
}

void TesterWindow::bindControls()
{
    Check4 = control<QPushButton>("Check4");
    Command1 = control<QPushButton>("Command1");
    Check6 = control<QPushButton>("Check6");
    Check3 = control<QPushButton>("Check3");
    Check2 = control<QPushButton>("Check2");
    Command2 = control<QPushButton>("Command2");
    Text1 = control<QLineEdit>("Text1");
    Text2 = control<QLineEdit>("Text2");
    Label13 = control<QLabel>("Label13");
    Label14 = control<QLabel>("Label14");
    Label15 = control<QLabel>("Label15");
    const auto element = [](const char *name, int i) {
        return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i);
    };
    for (int i = 0; i < channelCount; ++i) {
        Check1[i] = control<QCheckBox>(element("Check1", i));
        Label8[i] = control<QLabel>(element("Label8", i));
    }
    for (int i = 0; i <= channelCount; ++i) {
        Label9[i] = control<QLabel>(element("Label9", i));
        Label10[i] = control<QLabel>(element("Label10", i));
    }
    trafficLog = control<TrafficLogView>("TrafficLog");
    for (int i = 0; i < 2; ++i)
        Shape2[i] = control<Lamp>(element("Shape2", i));
}

void TesterWindow::wireControls()
{
    TesterModel *m = testerModel;
    connect(Check4, &QPushButton::toggled, m, &TesterModel::setRunSwitch);
    connect(Command1, &QPushButton::clicked, m, &TesterModel::clickModeButton);
    connect(Command2, &QPushButton::clicked, m, &TesterModel::ResetTotals);
    connect(Check6, &QPushButton::toggled, m, &TesterModel::setEscrow);
    connect(Check3, &QPushButton::toggled, m, &TesterModel::setCalibration);
    connect(Check2, &QPushButton::toggled, this, &TesterWindow::toggleConfigure);
    connect(Text1, &QLineEdit::textChanged, m, &TesterModel::setPortText);
    connect(Text2, &QLineEdit::textChanged, m, &TesterModel::setIntervalText);
    for (int i = 0; i < channelCount; ++i) {
        connect(Check1[i], &QCheckBox::stateChanged, m, [this, m, i](int state) {
            // A greyed box is read from the file but never produced: once it leaves the greyed
            // state, clicks toggle between clear and ticked.
            if (state != Qt::PartiallyChecked)
                Check1[i]->setTristate(false);
            m->setChannelState(i, boxState(Qt::CheckState(state)));
        });
    }

    connect(m, &TesterModel::runSwitchChanged, Check4, &QPushButton::setChecked);
    connect(m, &TesterModel::portTextChanged, Text1, [this](const QString &text) {
        if (Text1->text() != text)
            Text1->setText(text);
    });
    connect(m, &TesterModel::intervalTextChanged, Text2, [this](const QString &text) {
        if (Text2->text() != text)
            Text2->setText(text);
    });
    connect(m, &TesterModel::entryRejected, this, &TesterWindow::selectEntry);
    connect(m, &TesterModel::portFailed, this, [this](const QString &text, const QString &detail) {
        messageShower()(this, QStringLiteral("System Error"), text, detail);
    });
    connect(m, &TesterModel::modeChanged, this, &TesterWindow::showMode);
    connect(m, &TesterModel::logChanged, this, &TesterWindow::showLog);
    connect(m, &TesterModel::tallyChanged, this, &TesterWindow::showTally);
    connect(m, &TesterModel::displaysChanged, this, &TesterWindow::showDisplays);
    connect(m, &TesterModel::lampsChanged, this, &TesterWindow::showLamps);
    connect(m, &TesterModel::channelCaptionsChanged, this, &TesterWindow::showChannelCaptions);
    connect(m, &TesterModel::channelStatesChanged, this, &TesterWindow::showChannelStates);
}

void TesterWindow::openWindow()
{
    std::optional<QString> text;
    setupRefusal = setupFileRefusal(setupPath, &text);
    // The controls show the settings as the model signals them.
    testerModel->applySettings(text ? parseSetupText(*text, windowLayout)
                                    : SetupSettings::defaults(windowLayout));
    if (!setupRefusal.isEmpty()) {
        // After the window shows, so that the box stands over it.
        QMetaObject::invokeMethod(
                this,
                [this] {
                    messageShower()(this, QStringLiteral("Settings Not Read"),
                                    QStringLiteral("Cannot use the settings file %1: %2. The "
                                                   "window opens with the default settings and "
                                                   "leaves the file as it is.")
                                            .arg(QDir::toNativeSeparators(setupPath), setupRefusal),
                                    QString());
                },
                Qt::QueuedConnection);
    }

    if (const QScreen *s = screen(); s && s->size() == QSize(640, 480))
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (s)
        move(s->availableGeometry().center() - rect().center());

    Check6->setChecked(true);
    testerModel->markPortForReopen();
    ValueChg();
    testerModel->setPollMode(NoPollMode);
    testerModel->clickModeButton();
    Text1->setFocus();
}

void TesterWindow::closeEvent(QCloseEvent *event)
{
    if (closing) {
        event->accept();
        return;
    }
    closing = true;
    trafficRecord->stopRecording();
    testerModel->closePort();
    saveSettings();
    closeOtherWindows();
    event->accept();
}

void TesterWindow::saveSettings()
{
    if (!setupRefusal.isEmpty()) {
        messageShower()(nullptr, QStringLiteral("Settings Not Saved"),
                        QStringLiteral("The settings were not saved to %1, which is left as it "
                                       "was: %2.")
                                .arg(QDir::toNativeSeparators(setupPath), setupRefusal),
                        QString());
        return;
    }
    QString error;
    if (!saveSetupFile(setupPath, testerModel->settings(), &error))
        messageShower()(nullptr, QStringLiteral("Settings Not Saved"), error, QString());
}

bool TesterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType()) {
        auto *shown = static_cast<QWidget *>(watched);
        if (shown->isWindow()) {
            otherWindows.removeAll(shown);
            otherWindows.removeAll(nullptr);
            otherWindows.append(shown);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TesterWindow::closeOtherWindows()
{
    const QList<QPointer<QWidget>> windows = otherWindows;
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget *w = *it;
        if (w && w->isVisible() && !qobject_cast<QMessageBox *>(w))
            w->close();
    }
}

QString TesterWindow::channelCaption(int index) const
{
    return testerModel->panel().channelCaptions[size_t(index)];
}

void TesterWindow::setChannelCaption(int index, const QString &caption)
{
    testerModel->setChannelCaption(index, caption);
}

void TesterWindow::ValueChg()
{
    testerModel->ValueChg();
}

void TesterWindow::showMode()
{
    const PollMode mode = testerModel->members().pollMode;
    Command1->setText(pollModeCaption(mode));
    Command1->setStyleSheet(
            QStringLiteral("background-color: %1;").arg(pollModeColour(mode, layout()).name()));
}

void TesterWindow::showLog()
{
    const TrafficLog &log = testerModel->log();
    std::array<QString, TrafficLog::rows> sent;
    std::array<QString, TrafficLog::rows> reply;
    for (int i = 0; i < TrafficLog::rows; ++i) {
        sent[i] = log.sent(i);
        reply[i] = log.reply(i);
    }
    trafficLog->setColumn(TrafficLogView::Sent, sent);
    trafficLog->setColumn(TrafficLogView::Reply, reply);
}

void TesterWindow::showTally()
{
    const NoteTally &tally = testerModel->tally();
    for (int i = 0; i < channelCount; ++i)
        Label8[i]->setText(tally.noteValue(i));
    for (int i = 0; i <= NoteTally::totalRow; ++i) {
        Label9[i]->setText(tally.quantity(i));
        Label10[i]->setText(tally.amount(i));
    }
}

void TesterWindow::showDisplays()
{
    const PanelState &panel = testerModel->panel();
    Label14->setText(panel.hostState);
    Label15->setText(panel.validatorState);
    Label13->setText(panel.lastEvent);
}

void TesterWindow::showLamps()
{
    Shape2[0]->setFillColor(testerModel->panel().sendLamp);
    Shape2[1]->setFillColor(testerModel->panel().receiveLamp);
}

void TesterWindow::showChannelCaptions()
{
    for (int i = 0; i < channelCount; ++i)
        Check1[i]->setText(testerModel->panel().channelCaptions[i]);
}

void TesterWindow::showChannelStates()
{
    for (int i = 0; i < channelCount; ++i)
        Check1[i]->setCheckState(checkState(testerModel->panel().channelStates[i]));
}

void TesterWindow::selectEntry(TesterModel::Entry entry)
{
    QLineEdit *box = entry == TesterModel::Entry::Port ? Text1 : Text2;
    box->setFocus();
    box->setSelection(0, box->text().size());
}

void TesterWindow::toggleConfigure(bool on)
{
    // Releasing the toggle by hand leaves an open About window open.
    if (!on)
        return;
    if (!about) {
        about = new AboutWindow(this, this);
        connect(about, &AboutWindow::closed, Check2, [this] { Check2->setChecked(false); });
    }
    about->show();
    about->raise();
    about->activateWindow();
}

void TesterWindow::wireRecord()
{
    fileFolder = documentsFolder();

    saveTrafficAction = new QAction(QStringLiteral("Save Traffic..."), this);
    saveTrafficAction->setObjectName(QStringLiteral("saveTrafficAction"));
    saveTrafficAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveTrafficAction->setShortcutContext(Qt::WindowShortcut);
    addAction(saveTrafficAction);
    connect(saveTrafficAction, &QAction::triggered, this, &TesterWindow::saveTraffic);

    recordAction = new QAction(this);
    recordAction->setObjectName(QStringLiteral("recordAction"));
    connect(recordAction, &QAction::triggered, this, &TesterWindow::toggleRecording);
    showRecordingState();

    logMenu = new QMenu(this);
    logMenu->setObjectName(QStringLiteral("logMenu"));
    logMenu->addAction(saveTrafficAction);
    QAction *statisticsAction = logMenu->addAction(QStringLiteral("Statistics..."));
    statisticsAction->setObjectName(QStringLiteral("statisticsAction"));
    connect(statisticsAction, &QAction::triggered, this, &TesterWindow::showStatistics);
    logMenu->addAction(recordAction);
    trafficLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(trafficLog, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { logMenu->popup(trafficLog->mapToGlobal(position)); });

    connect(trafficRecord, &TrafficRecord::recordingFailed, this, [this](const QString &error) {
        // The next file dialog must not open where writing failed: it may be a special folder
        // such as /proc, whose files a dialog cannot look at safely.
        if (QFileInfo(trafficRecord->recordingPath()).path() == fileFolder)
            fileFolder = documentsFolder();
        showRecordingState();
        messageShower()(this, QStringLiteral("Recording Stopped"), error, QString());
    });
}

void TesterWindow::saveTraffic()
{
    fileChooser()(this, QStringLiteral("Save Traffic"), suggestedPath(QStringLiteral("traffic")),
                  [this](const QString &path) {
                      QString error;
                      if (trafficRecord->save(path, &error))
                          fileFolder = QFileInfo(path).path();
                      else
                          messageShower()(this, QStringLiteral("Traffic Not Saved"), error,
                                          QString());
                  });
}

void TesterWindow::toggleRecording()
{
    if (trafficRecord->recording()) {
        trafficRecord->stopRecording();
        showRecordingState();
        return;
    }
    fileChooser()(this, QStringLiteral("Record to File"), suggestedPath(QStringLiteral("record")),
                  [this](const QString &path) {
                      QString error;
                      if (trafficRecord->startRecording(path, &error))
                          fileFolder = QFileInfo(path).path();
                      else
                          messageShower()(this, QStringLiteral("Recording Not Started"), error,
                                          QString());
                      showRecordingState();
                  });
}

void TesterWindow::showStatistics()
{
    if (!statisticsWindow)
        statisticsWindow = new StatisticsWindow(acceptance, this);
    statisticsWindow->show();
    statisticsWindow->raise();
    statisticsWindow->activateWindow();
}

void TesterWindow::showRecordingState()
{
    recordAction->setText(trafficRecord->recording() ? QStringLiteral("Stop Recording")
                                                     : QStringLiteral("Record to File..."));
}

QString TesterWindow::documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString TesterWindow::suggestedPath(const QString &prefix) const
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return QDir(fileFolder).filePath(QStringLiteral("brisvel-%1-%2.txt").arg(prefix, stamp));
}
