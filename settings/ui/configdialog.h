// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class ChannelValues;
class QLineEdit;

namespace Ui {
class Config;
}

// The configuration dialog `Config`, where the operator edits the note values of the seven
// channels. It opens filled from the tester window's channel captions; DONE writes them back
// and calls the window's ValueChg, CANCEL and the close box leave the window untouched. The
// dialog is modeless, has no owner window and deletes itself when it closes.
class ConfigDialog : public QWidget
{
    Q_OBJECT

public:
    // `channels` is the tester window; `channelsObject` is the same window as a QObject. The
    // dialog closes, without applying anything, when that object is destroyed.
    ConfigDialog(ChannelValues *channels, QObject *channelsObject);
    ~ConfigDialog() override;

    // Shows the dialog of these channels: one at a time, so that asking again brings the open
    // one to the front.
    static void showFor(ChannelValues *channels, QObject *channelsObject);

private:
    void applyValues();
    std::array<QLineEdit *, channelCount> valueBoxes() const;

    std::unique_ptr<Ui::Config> ui;
    ChannelValues *channels;
    QPointer<QObject> channelsObject;
};
