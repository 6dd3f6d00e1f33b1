// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The link ports/comN in the data folder that gives the simulator's pseudo-terminal a COM
// number for the tester. Removed again when the object goes, only while it still leads to the
// same pseudo-terminal.
class PortLink
{
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    // Only a link to a pseudo-terminal that is gone, left by a simulator that has ended, is
    // replaced; anything else at the link's place (a link to a serial device, to a simulator
    // still running, a file) is the user's, and is refused with `errorText`.
    bool create(int comNumber, const QString &dataFolder, const QString &target, QString *errorText);
    void remove();

private:
    QString linkPath;
    QString linkTarget;
};
