// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/file/setupfile.h"

#include <QWidget>

#include <memory>

namespace Ui {
class ColorSheme;
}

// The start-up chooser `ColorSheme`: a borderless window with one button for each display
// profile. It deletes itself when it closes.
class ColorSheme : public QWidget
{
    Q_OBJECT

public:
    explicit ColorSheme(QWidget *parent = nullptr);
    ~ColorSheme() override;

signals:
    // A button was clicked: HighColour for "HI Color 800 X 600", Colour256 for
    // "256 Color 640 X 480". The chooser closes right after.
    void chosen(DisplayProfile profile);
    // The window system closed the chooser before a button was clicked.
    void dismissed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void choose(int index);

    std::unique_ptr<Ui::ColorSheme> ui;
    bool profileChosen = false;
};
