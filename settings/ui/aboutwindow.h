// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class ChannelValues;

namespace Ui {
class About;
}

// The About window `About`: the program's name and version, and the way to the configuration
// dialog. Modeless, without an owner window, kept out of the task bar, deleted when it closes.
// A tester window keeps a QPointer to it and brings an open one to the front with show(),
// raise() and activateWindow().
class AboutWindow : public QWidget
{
    Q_OBJECT

public:
    // `channels` is the tester window; `channelsObject` is the same window as a QObject. The
    // About window goes away, without emitting closed(), when that object is destroyed.
    AboutWindow(ChannelValues *channels, QObject *channelsObject);
    ~AboutWindow() override;

signals:
    // The window has closed, by "Configurations" or by its close box: the tester window
    // releases its configure toggle.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void openConfigurations();

    std::unique_ptr<Ui::About> ui;
    ChannelValues *channels;
    QPointer<QObject> channelsObject;
};
