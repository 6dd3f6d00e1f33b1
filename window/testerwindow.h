// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/ui/channelvalues.h"
#include "window/model/acceptancestatistics.h"
#include "window/model/testermodel.h"
#include "window/model/trafficrecord.h"
#include "window/pollmodecolour.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class AboutWindow;
class Lamp;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class SerialLine;
class StatisticsWindow;
class TrafficLogView;

namespace Ui {
class MAIN64K;
class MAIN256;
} // namespace Ui

// The tester window, in either layout: the controls of the form, wired to the model that holds
// the conversation and the settings, which the controls mirror. Opening it loads SETUP.INI from
// the data folder into the model; closing it saves the model's settings to the file and ends the
// program. A file it could not use it says so about at the opening, and never writes over.
class TesterWindow : public QWidget, public ChannelValues
{
    Q_OBJECT

public:
    // How the window shows a message: title, text and detailed text. Tests replace it, since a
    // box waiting for a click would stop a headless run.
    using MessageShower = std::function<void(QWidget *parent, const QString &title,
                                             const QString &text, const QString &detail)>;
    static void setMessageShower(MessageShower shower);
    // How the window asks for a file to write: title and suggested path; `chosen` takes the
    // path picked. Tests replace it; the default is a file dialog that does not block.
    using FileChooser = std::function<void(QWidget *parent, const QString &title,
                                           const QString &suggestedPath,
                                           const std::function<void(const QString &)> &chosen)>;
    static void setFileChooser(FileChooser chooser);

    // `profile` is the run's display profile: the window's layout, and the Sys.Color it saves.
    // Without a line, the window opens the real serial port of the data folder.
    TesterWindow(DisplayProfile profile, const QString &dataFolder, SerialLine *line = nullptr,
                 QWidget *parent = nullptr);
    ~TesterWindow() override;

    TesterModel &model() { return *testerModel; }
    TrafficRecord &record() { return *trafficRecord; }
    const AcceptanceStatistics &statistics() const { return acceptance; }
    DisplayProfile layout() const { return windowLayout; }
    QString settingsPath() const { return setupPath; }

    QString channelCaption(int index) const override;
    void setChannelCaption(int index, const QString &caption) override;
    void ValueChg() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template<typename Control>
    Control *control(const QString &name) const;
    void bindControls();
    void openWindow();
    void saveSettings();
    void closeOtherWindows();
    void wireControls();
    void showMode();
    void showLog();
    void showTally();
    void showDisplays();
    void showLamps();
    void showChannelCaptions();
    void showChannelStates();
    void selectEntry(TesterModel::Entry entry);
    void toggleConfigure(bool on);
    void wireRecord();
    void saveTraffic();
    void toggleRecording();
    void showRecordingState();
    void showStatistics();
    QString suggestedPath(const QString &prefix) const;
    static QString documentsFolder();

    std::unique_ptr<Ui::MAIN64K> main64k;
    std::unique_ptr<Ui::MAIN256> main256;
    std::unique_ptr<SerialLine> ownLine;
    DisplayProfile windowLayout;
    TesterModel *testerModel = nullptr;
    TrafficRecord *trafficRecord = nullptr;
    QMenu *logMenu = nullptr; // the traffic log's context menu
    QAction *saveTrafficAction = nullptr; // also Ctrl+S
    QAction *recordAction = nullptr;
    AcceptanceStatistics acceptance;
    QPointer<StatisticsWindow> statisticsWindow;
    QString fileFolder; // where the last traffic file was written, else the documents folder
    QString setupPath;
    QString setupRefusal; // why SETUP.INI was neither read nor is to be written; empty: it may be
    QPointer<AboutWindow> about;
    QList<QPointer<QWidget>> otherWindows; // the program's other windows, in the order shown
    bool closing = false;

    QPushButton *Check4 = nullptr; // run switch: polling runs while pressed
    QPushButton *Command1 = nullptr; // mode button: caption and colour show the poll mode
    QPushButton *Check6 = nullptr; // escrow switch
    QPushButton *Check3 = nullptr; // calibration switch, hidden and disabled
    QPushButton *Check2 = nullptr; // configure toggle: pressed while the About window is open
    QPushButton *Command2 = nullptr; // resets the note tally
    QLineEdit *Text1 = nullptr; // COM port number
    QLineEdit *Text2 = nullptr; // poll interval in milliseconds
    QLabel *Label14 = nullptr; // host state display
    QLabel *Label15 = nullptr; // validator state display
    QLabel *Label13 = nullptr; // validator last event display
    std::array<QCheckBox *, channelCount>
            Check1{}; // channel enable boxes; captions are the note values
    std::array<QLabel *, channelCount> Label8{}; // tally: note value of each channel
    std::array<QLabel *, channelCount + 1> Label9{}; // tally: quantities, the last the total
    std::array<QLabel *, channelCount + 1> Label10{}; // tally: amounts, the last the total
    TrafficLogView *trafficLog = nullptr; // the sent (Label18) and reply (Label20) columns
    std::array<Lamp *, 2> Shape2{}; // send lamp, receive lamp
};
