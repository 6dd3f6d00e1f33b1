// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class ValidatorEngine;
class ValidatorLine;

// The operator's commands, one a line: notes, faults, line faults, status and quit.
class Console : public QObject
{
    Q_OBJECT

public:
    Console(ValidatorEngine &engine, ValidatorLine &line, QObject *parent = nullptr);

    // Runs one command. Blank lines and lines starting with '#' do nothing. False, with an
    // error reported, when the command is unknown or cannot be carried out.
    bool execute(const QString &command);
    // "commands C replies R stacked S returned T"
    QString status() const;
    // Every command with its argument, for the help text.
    static QStringList commandNames();

signals:
    void output(const QString &text);
    void error(const QString &text);
    void quitRequested();
    void hangUpRequested();

private:
    bool insert(const QStringList &words);

    ValidatorEngine &engine;
    ValidatorLine &line;
};
