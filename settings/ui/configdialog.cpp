// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/configdialog.h"
#include "ui_config.h"

#include "base/numbers.h"
#include "settings/file/setupfile.h"
#include "settings/ui/channelvalues.h"
#include "settings/ui/formsetup.h"
#include "widgets/pictures.h"

#include <QApplication>

ConfigDialog::ConfigDialog(ChannelValues *channels, QObject *channelsObject)
    : ui(std::make_unique<Ui::Config>())
    , channels(channels)
    , channelsObject(channelsObject)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(picture(QStringLiteral("question"))));
    setFormFont(this, 8.25);
    centreOnScreen(this);

    const auto boxes = valueBoxes();
    for (int i = 0; i < channelCount; ++i)
        boxes[i]->setText(channels->channelCaption(i));
    ui->Text1_0->setFocus();

    connect(ui->Command1, &QPushButton::clicked, this, &ConfigDialog::applyValues);
    connect(ui->Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(channelsObject, &QObject::destroyed, this, &QObject::deleteLater);
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::showFor(ChannelValues *channels, QObject *channelsObject)
{
    ConfigDialog *dialog = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        auto *open = qobject_cast<ConfigDialog *>(window);
        if (open && open->channelsObject == channelsObject && open->isVisible())
            dialog = open;
    }
    if (!dialog)
        dialog = new ConfigDialog(channels, channelsObject);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// DONE: empty boxes become "0"; the first box that is not a number, not the same number in the
// operator's locale as in SETUP.INI's form, or not one that SETUP.INI can hold as a channel
// value (a whole number of 32 bits once rounded), gets the focus with its text selected and
// nothing is applied. Otherwise every text goes to its channel as typed.
void ConfigDialog::applyValues()
{
    if (!channelsObject)
        return;
    const auto boxes = valueBoxes();
    for (QLineEdit *box : boxes) {
        if (box->text().isEmpty())
            box->setText(QStringLiteral("0"));
        if (!Numbers::parseEntry(box->text()) || !channelValueReadable(box->text())) {
            box->setFocus();
            box->selectAll();
            return;
        }
    }
    for (int i = 0; i < channelCount; ++i)
        channels->setChannelCaption(i, boxes[i]->text());
    channels->ValueChg();
    close();
}

std::array<QLineEdit *, channelCount> ConfigDialog::valueBoxes() const
{
    return {ui->Text1_0, ui->Text1_1, ui->Text1_2, ui->Text1_3,
            ui->Text1_4, ui->Text1_5, ui->Text1_6};
}
