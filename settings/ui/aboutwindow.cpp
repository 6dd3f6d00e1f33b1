// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/aboutwindow.h"
#include "ui_about.h"

#include "settings/ui/configdialog.h"
#include "settings/ui/formsetup.h"
#include "widgets/pictures.h"

#include <QCloseEvent>

AboutWindow::AboutWindow(ChannelValues *channels, QObject *channelsObject)
    : ui(std::make_unique<Ui::About>())
    , channels(channels)
    , channelsObject(channelsObject)
{
    ui->setupUi(this);
    ui->Label3->setText(ui->Label3->text().arg(QStringLiteral(BRISVEL_VERSION)));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(picture(QStringLiteral("question"))));
    ui->Image1->setPixmap(picture(QStringLiteral("logo")));
    setFormFont(this, 9.75);
    setFixedSize(size());
    centreOnScreen(this);

    connect(ui->Command1, &QPushButton::clicked, this, &AboutWindow::openConfigurations);
    connect(channelsObject, &QObject::destroyed, this, &QObject::deleteLater);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void AboutWindow::openConfigurations()
{
    if (channelsObject)
        ConfigDialog::showFor(channels, channelsObject);
    close();
}
