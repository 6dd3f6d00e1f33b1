// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QWidget>

#include <array>

// The traffic log's two columns of 16 rows, drawn by one widget: the sent column on the left,
// the reply column from `replyLeft` to the right edge. A cell is drawn once per text, row colour
// and column into a picture that is kept while the log scrolls its texts through the rows; a
// change repaints the changed cells alone, and a text that did not change repaints nothing. The
// rows may overlap by a pixel, as the cells of the layouts do: the sent column is drawn first,
// each column top to bottom, so a later cell covers an earlier one.
//
// To assistive technology every cell is a static text of its own at its place, named by its
// text, as a label would be.
class TrafficLogView : public QWidget
{
    Q_OBJECT
    // Tops of the 16 rows in pixels from the widget's top, separated by blanks.
    Q_PROPERTY(QString rowTops READ rowTops WRITE setRowTops)
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight)
    Q_PROPERTY(int sentWidth READ sentWidth WRITE setSentWidth)
    Q_PROPERTY(int replyLeft READ replyLeft WRITE setReplyLeft)
    Q_PROPERTY(QColor evenSentBackground READ evenSentBackground WRITE setEvenSentBackground)
    Q_PROPERTY(QColor oddSentBackground READ oddSentBackground WRITE setOddSentBackground)
    Q_PROPERTY(QColor evenReplyBackground READ evenReplyBackground WRITE setEvenReplyBackground)
    Q_PROPERTY(QColor oddReplyBackground READ oddReplyBackground WRITE setOddReplyBackground)
    Q_PROPERTY(QColor oddReplyText READ oddReplyText WRITE setOddReplyText)

public:
    enum Column { Sent, Reply };
    static constexpr int rows = 16;

    explicit TrafficLogView(QWidget *parent = nullptr);

    QString text(Column column, int row) const { return texts[column][row]; }
    // Shows the texts of a column, row 0 first.
    void setColumn(Column column, const std::array<QString, rows> &columnTexts);
    QRect cellRect(Column column, int row) const;
    // The cell's role in words, for assistive technology.
    QString cellDescription(Column column, int row) const;

    QString rowTops() const;
    void setRowTops(const QString &tops);
    int rowHeight() const { return height; }
    void setRowHeight(int pixels);
    int sentWidth() const { return sentColumnWidth; }
    void setSentWidth(int pixels);
    int replyLeft() const { return replyColumnLeft; }
    void setReplyLeft(int pixels);
    QColor evenSentBackground() const { return colours[Sent][0].background; }
    void setEvenSentBackground(const QColor &c) { setColour(colours[Sent][0].background, c); }
    QColor oddSentBackground() const { return colours[Sent][1].background; }
    void setOddSentBackground(const QColor &c) { setColour(colours[Sent][1].background, c); }
    QColor evenReplyBackground() const { return colours[Reply][0].background; }
    void setEvenReplyBackground(const QColor &c) { setColour(colours[Reply][0].background, c); }
    QColor oddReplyBackground() const { return colours[Reply][1].background; }
    void setOddReplyBackground(const QColor &c) { setColour(colours[Reply][1].background, c); }
    QColor oddReplyText() const { return colours[Reply][1].text; }
    void setOddReplyText(const QColor &c) { setColour(colours[Reply][1].text, c); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Colours
    {
        QColor background{Qt::white};
        QColor text{Qt::black};
    };

    void setColour(QColor &colour, const QColor &value);
    // The caches below hold one table per column and row colour.
    static int cacheIndex(Column column, int row) { return 2 * column + row % 2; }
    QImage cellPicture(Column column, int row, const QString &text) const;
    // Runs of a cell's pixel columns, each from its left edge up to, not including, its right.
    using Spans = QList<QPair<int, int>>;
    Spans changedSpans(Column column, int row, const QString &before, const QString &after) const;
    void forgetPictures();

    std::array<std::array<QString, rows>, 2> texts;
    // Cells as drawn, by column and row colour (even, odd), each by its text.
    mutable std::array<QHash<QString, QImage>, 4> pictures;
    // The pixel columns in which two pictures of a cell differ, by column and row colour, each by
    // the two texts.
    mutable std::array<QHash<std::pair<QString, QString>, Spans>, 4> differences;
    std::array<std::array<Colours, 2>, 2> colours; // by column, then even and odd row
    std::array<int, rows> tops{};
    int height = 16;
    int sentColumnWidth = 0;
    int replyColumnLeft = 0;
};
