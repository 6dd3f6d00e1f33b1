// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/colorsheme.h"
#include "ui_colorsheme.h"

#include "settings/ui/formsetup.h"

#include <QCloseEvent>

ColorSheme::ColorSheme(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ColorSheme>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFormFont(this, 9.75);
    setFixedSize(size());
    centreOnScreen(this);

    connect(ui->Command1_0, &QPushButton::clicked, this, [this] { choose(0); });
    connect(ui->Command1_1, &QPushButton::clicked, this, [this] { choose(1); });
}

ColorSheme::~ColorSheme() = default;

void ColorSheme::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && !profileChosen)
        emit dismissed();
}

// The button's index + 1 is the profile.
void ColorSheme::choose(int index)
{
    profileChosen = true;
    emit chosen(DisplayProfile(index + 1));
    close();
}
