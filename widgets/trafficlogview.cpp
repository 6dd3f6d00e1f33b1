// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/trafficlogview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>

namespace {

// One cell of the log as assistive technology sees it: a static text at the cell's place.
class LogCellAccessible : public QAccessibleInterface
{
public:
    LogCellAccessible(TrafficLogView *view, TrafficLogView::Column column, int row)
        : view(view)
        , column(column)
        , row(row)
    { }

    bool isValid() const override { return view; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return view->window()->windowHandle(); }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(view);
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return view->text(column, row);
        case QAccessible::Description:
            return view->cellDescription(column, row);
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override
    {
        const QRect cell = view->cellRect(column, row);
        return QRect(view->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !view->isVisible();
        return state;
    }

private:
    QPointer<TrafficLogView> view;
    TrafficLogView::Column column;
    int row;
};

// The log widget with its 32 cells as children: the sent column's rows, then the reply column's.
class TrafficLogAccessible : public QAccessibleWidget
{
public:
    explicit TrafficLogAccessible(TrafficLogView *view)
        : QAccessibleWidget(view, QAccessible::Grouping)
    { }
    ~TrafficLogAccessible() override
    {
        for (const QAccessible::Id id : ids) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return 2 * TrafficLogView::rows; }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        QAccessible::Id &id = ids[index];
        if (!id) {
            const auto column = index < TrafficLogView::rows ? TrafficLogView::Sent
                                                             : TrafficLogView::Reply;
            id = QAccessible::registerAccessibleInterface(
                    new LogCellAccessible(view(), column, index % TrafficLogView::rows));
        }
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
        const auto found = std::find(ids.begin(), ids.end(), id);
        return found == ids.end() ? -1 : int(found - ids.begin());
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        // The reply column is drawn over the sent column: look it up first, bottom row first.
        const QPoint point = view()->mapFromGlobal(QPoint(x, y));
        for (int index = childCount() - 1; index >= 0; --index) {
            const auto column = index < TrafficLogView::rows ? TrafficLogView::Sent
                                                             : TrafficLogView::Reply;
            if (view()->cellRect(column, index % TrafficLogView::rows).contains(point))
                return child(index);
        }
        return nullptr;
    }

private:
    TrafficLogView *view() const { return static_cast<TrafficLogView *>(widget()); }

    mutable std::array<QAccessible::Id, 2 * TrafficLogView::rows> ids{};
};

QAccessibleInterface *logAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TrafficLogView") && object && object->isWidgetType())
        return new TrafficLogAccessible(static_cast<TrafficLogView *>(object));
    return nullptr;
}

} // namespace

TrafficLogView::TrafficLogView(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(logAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // Every pixel is painted by the cells: nothing behind the log needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int row = 0; row < rows; ++row)
        tops[row] = row * height;
}

void TrafficLogView::setColumn(Column column, const std::array<QString, rows> &columnTexts)
{
    // Rows one below the other whose pixels change in the same columns (the sequence bit and the
    // checksum are in the same place on every row) are repainted as one rectangle per span.
    QRegion changed;
    QList<QRect> growing;
    Spans growingSpans;
    for (int row = 0; row < rows; ++row) {
        Spans spans;
        if (texts[column][row] != columnTexts[row]) {
            spans = changedSpans(column, row, texts[column][row], columnTexts[row]);
            texts[column][row] = columnTexts[row];
            if (QAccessible::isActive()) {
                QAccessibleInterface *log = QAccessible::queryAccessibleInterface(this);
                QAccessibleEvent event(log->child(column * rows + row), QAccessible::NameChanged);
                QAccessible::updateAccessibility(&event);
            }
        }
        const QRect cell = cellRect(column, row);
        if (!growing.isEmpty() && spans == growingSpans
            && cell.top() <= growing.first().bottom() + 1) {
            for (QRect &rect : growing)
                rect.setBottom(cell.bottom());
            continue;
        }
        for (const QRect &rect : std::as_const(growing))
            changed += rect;
        growing.clear();
        growingSpans = spans;
        for (const auto &[left, right] : spans)
            growing.append(QRect(cell.left() + left, cell.top(), right - left, cell.height()));
    }
    for (const QRect &rect : std::as_const(growing))
        changed += rect;
    // The reply column covers the sent column where they meet: a repaint of the sent column
    // leaves that pixel column alone, so that it does not touch what the reply column showed.
    if (column == Sent)
        changed &= QRect(0, 0, replyColumnLeft, QWidget::height());
    if (!changed.isEmpty())
        update(changed);
}

QRect TrafficLogView::cellRect(Column column, int row) const
{
    if (column == Sent)
        return QRect(0, tops[row], sentColumnWidth, height);
    return QRect(replyColumnLeft, tops[row], width() - replyColumnLeft, height);
}

QString TrafficLogView::cellDescription(Column column, int row) const
{
    return column == Sent ? QStringLiteral("Traffic log row %1: the frame sent").arg(row)
                          : QStringLiteral("Traffic log row %1: the reply, or the no-response line")
                                    .arg(row);
}

QString TrafficLogView::rowTops() const
{
    QStringList numbers;
    for (const int top : tops)
        numbers.append(QString::number(top));
    return numbers.join(QLatin1Char(' '));
}

void TrafficLogView::setRowTops(const QString &text)
{
    const QStringList numbers = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int row = 0; row < rows && row < numbers.size(); ++row)
        tops[row] = numbers[row].toInt();
    update();
}

void TrafficLogView::setRowHeight(int pixels)
{
    height = pixels;
    forgetPictures();
}

void TrafficLogView::setSentWidth(int pixels)
{
    sentColumnWidth = pixels;
    forgetPictures();
}

void TrafficLogView::setReplyLeft(int pixels)
{
    replyColumnLeft = pixels;
    forgetPictures();
}

void TrafficLogView::setColour(QColor &colour, const QColor &value)
{
    colour = value;
    forgetPictures();
}

void TrafficLogView::forgetPictures()
{
    for (auto &drawn : pictures)
        drawn.clear();
    for (auto &known : differences)
        known.clear();
    update();
}

void TrafficLogView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        forgetPictures();
    QWidget::changeEvent(event);
}

void TrafficLogView::resizeEvent(QResizeEvent *)
{
    forgetPictures();
}

QImage TrafficLogView::cellPicture(Column column, int row, const QString &text) const
{
    // The log shows a few lines again and again; the pictures of others are dropped in bulk.
    constexpr qsizetype kept = 64;
    QHash<QString, QImage> &drawn = pictures[cacheIndex(column, row)];
    if (const auto found = drawn.constFind(text); found != drawn.cend())
        return *found;
    if (drawn.size() >= kept)
        drawn.clear();
    const QRect cell(QPoint(0, 0), cellRect(column, row).size());
    const qreal ratio = devicePixelRatioF();
    QImage picture(cell.size() * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    const Colours &colour = colours[column][row % 2];
    picture.fill(colour.background);
    if (!text.isEmpty()) {
        QPainter painter(&picture);
        painter.setFont(font());
        painter.setPen(colour.text);
        painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, text);
    }
    drawn.insert(text, picture);
    return picture;
}

TrafficLogView::Spans TrafficLogView::changedSpans(Column column, int row, const QString &before,
                                                   const QString &after) const
{
    // As the log scrolls, each row gets the text of the row below, which differs from its own
    // in a few characters only (the sequence bit, the checksum): only the pixel columns that
    // differ are repainted, which keeps what goes to the screen small.
    constexpr qsizetype kept = 256;
    QHash<std::pair<QString, QString>, Spans> &known = differences[cacheIndex(column, row)];
    const std::pair<QString, QString> key(before, after);
    auto found = known.constFind(key);
    if (found == known.cend()) {
        if (known.size() >= kept)
            known.clear();
        const QImage a = cellPicture(column, row, before);
        const QImage b = cellPicture(column, row, after);
        std::vector<bool> differs(a.width(), false);
        for (int y = 0; y < a.height(); ++y) {
            const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
            const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x)
                differs[x] = differs[x] || lineA[x] != lineB[x];
        }
        // Spans a few pixels apart are repainted as one.
        constexpr int gap = 4;
        const qreal ratio = a.devicePixelRatio();
        Spans spans;
        for (int x = 0; x < a.width(); ++x) {
            if (!differs[x])
                continue;
            const int left = int(x / ratio);
            const int right = int((x + 1) / ratio + 0.999);
            if (!spans.isEmpty() && left - spans.last().second <= gap)
                spans.last().second = qMax(spans.last().second, right);
            else
                spans.append({left, right});
        }
        found = known.insert(key, spans);
    }
    return *found;
}

void TrafficLogView::paintEvent(QPaintEvent *event)
{
    const QRegion &dirty = event->region();
    QPainter painter(this);
    for (const Column column : {Sent, Reply}) {
        for (int row = 0; row < rows; ++row) {
            const QRect cell = cellRect(column, row);
            if (!dirty.intersects(cell))
                continue;
            const QImage picture = cellPicture(column, row, texts[column][row]);
            const qreal ratio = picture.devicePixelRatio();
            for (const QRect &rect : dirty.intersected(cell)) {
                const QRectF source(QPointF(rect.topLeft() - cell.topLeft()) * ratio,
                                    QSizeF(rect.size()) * ratio);
                painter.drawImage(rect, picture, source);
            }
        }
    }
}
