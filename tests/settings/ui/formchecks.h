#pragma once

#include <QApplication>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <ostream>

// Readable failure messages for the Qt values the tests compare.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Helpers the side-window tests share.
namespace FormChecks {

// Whether `window` stands in the middle of its screen, to the pixel.
bool isCentred(const QWidget *window);

// Processes events until `condition` holds; false when it still fails after a generous bound.
bool waitUntil(const std::function<bool()> &condition);

// Closes every top-level window and lets the deleted ones go.
void closeAllWindows();

// The visible top-level windows of type Window.
template<typename Window>
QList<Window *> openWindows()
{
    QList<Window *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            windows.append(window);
    }
    return windows;
}

} // namespace FormChecks
