#include "formchecks.h"

#include <QCoreApplication>
#include <QScreen>
#include <QTest>

namespace FormChecks {

namespace {

constexpr int waitBoundMs = 10000;

} // namespace

bool isCentred(const QWidget *window)
{
    const QPoint offset = window->geometry().center() - window->screen()->geometry().center();
    return qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1;
}

bool waitUntil(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, waitBoundMs);
}

void closeAllWindows()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        widget->close();
        widget->deleteLater();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace FormChecks
