#include "formchecks.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QTest>

namespace FormChecks {

namespace {

constexpr int waitBoundMs = 10000;

int pixels(int twips)
{
    return qRound(twips / 15.0);
}

} // namespace

QRect twips(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

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

QStringList labelsCutOff(const QWidget *form)
{
    QStringList names;
    for (const QLabel *label : form->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        const QFontMetrics metrics(label->font());
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 10000), flags,
                                                  label->text());
        const int lines = qRound(double(needed.height()) / metrics.lineSpacing());
        const int lastBaseLine = (lines - 1) * metrics.lineSpacing() + metrics.ascent();
        if (needed.width() > label->width() || lastBaseLine > label->height())
            names.append(label->objectName());
    }
    return names;
}

QStringList tabOrder(const QWidget *form)
{
    QStringList names;
    for (QWidget *widget = form->nextInFocusChain(); widget != form;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            names.append(widget->objectName());
    }
    return names;
}

} // namespace FormChecks
