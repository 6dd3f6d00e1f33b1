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

inline void PrintTo(const QRect &r, std::ostream *out)
{
    *out << '(' << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ')';
}

// Helpers the side-window tests share.
namespace FormChecks {

// A rectangle given in twips, in pixels at 15 twips a pixel.
QRect twips(int left, int top, int width, int height);

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

// Names of the labels whose text, wrapped within the label's width, puts a line's base line
// below the label's bottom edge.
QStringList labelsCutOff(const QWidget *form);

// Object names of the controls that the Tab key visits, in order.
QStringList tabOrder(const QWidget *form);

} // namespace FormChecks
