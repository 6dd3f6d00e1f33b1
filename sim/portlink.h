#pragma once

#include <QString>

// The link ports/comN in the data folder that gives the simulator's pseudo-terminal a COM
// number for the tester. Removed again when the object goes, unless another simulator has
// taken the number over meanwhile.
class PortLink
{
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    // A stale link of an earlier run is replaced.
    bool create(int comNumber, const QString &dataFolder, const QString &target, QString *errorText);
    void remove();

private:
    QString linkPath;
    QString linkTarget;
};
