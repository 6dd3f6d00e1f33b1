#include "fonts.h"
#include "lamp.h"
#include "linewidget.h"
#include "pictures.h"
#include "ui_main256.h"
#include "ui_main64k.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QStyleOptionGroupBox>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// Readable values in failure messages.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QColor &colour, std::ostream *out)
{
    *out << colour.name(QColor::HexRgb).toUpper().toStdString();
}

void PrintTo(const QRect &rect, std::ostream *out)
{
    *out << '(' << rect.x() << ", " << rect.y() << ", " << rect.width() << ", " << rect.height()
         << ')';
}

void PrintTo(const QSize &size, std::ostream *out)
{
    *out << size.width() << " x " << size.height();
}

namespace {

// The widgets need an application object; the forms need the font set-up the program makes.
class FormsEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QApplication>(argc, argv);
        installFontSubstitutions();
    }
    void TearDown() override { application.reset(); }

private:
    int argc = 1;
    char name[12] = "forms_tests";
    char *argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
};

[[maybe_unused]] const auto *const environment = testing::AddGlobalTestEnvironment(
        new FormsEnvironment);

struct Font
{
    const char *face = nullptr;
    double points = 0;
    bool bold = false;
    bool italic = false;
};

const Font msSans{"MS Sans Serif", 8.25};
const Font msSansBold{"MS Sans Serif", 8.25, true};
const Font msSansLarge{"MS Sans Serif", 9.75, true};
const Font timesRoman{"Times New Roman", 9.75};
const Font timesBold{"Times New Roman", 9.75, true};
const Font timesHeading{"Times New Roman", 12, false, true};
const Font courier{"Courier New", 9};

// One row of a layout table: a control, where it stands in twips (relative to its parent) and
// how it looks when the form is built.
struct Control
{
    QString name{};
    const char *className = "QLabel";
    QString parent{};
    QRect twips{};
    std::optional<QString> text{}; // caption, title or text; not checked when absent
    QColor back{}; // not checked when invalid
    QColor fore{}; // text colour, or the colour of a line
    Font font{};
    Qt::Alignment align = {}; // horizontal alignment of a label; not checked when empty
    QColor border{}; // border of a panel; not checked when invalid
    bool buttonFace = false; // back colour is the system colour of button faces
    bool boxed = false; // label with a single-line border
};

// A line from (x1, y1) to (x2, y2) in twips is a one-pixel widget.
QRect line(int x1, int y1, int x2, int y2)
{
    return QRect(x1, y1, qMax(x2 - x1, 15), qMax(y2 - y1, 15));
}

int pixels(int twips)
{
    return qRound(twips / 15.0);
}

QRect pixels(const QRect &twips)
{
    return QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()),
                 pixels(twips.height()));
}

QString indexed(const char *name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

const QColor black(0x00, 0x00, 0x00);
const QColor white(0xFF, 0xFF, 0xFF);
const QStringList noteValues{"1", "2", "5", "10", "20", "50", "100"};

// A layout: the form's own properties and the table of its controls.
struct Layout
{
    QString form{};
    QSize size{};
    QColor back{};
    Font font{};
    std::vector<Control> controls{};
    QStringList tabOrder{};
    QSize runSwitchIconSize{};
    bool runSwitchChangesPicture = false;
    bool configurePicture = false;
};

void addChannelBoxes(Layout &layout, int left, int top, int step, int firstWidth)
{
    for (int i = 0; i < 7; ++i) {
        layout.controls.push_back({.name = indexed("Check1", i),
                                   .className = "QCheckBox",
                                   .parent = "Frame1",
                                   .twips = {left, top + step * i, i == 0 ? firstWidth : 1140, 240},
                                   .text = noteValues[i],
                                   .back = QColor(0xC0, 0xC0, 0xC0),
                                   .fore = black,
                                   .font = layout.font});
    }
}

void addLogRows(Layout &layout, const QList<int> &tops, const QRect &sent, const QRect &reply,
                const QColor &evenSent, const QColor &evenReply, const QColor &oddSent,
                const QColor &oddReply, const QColor &oddReplyText)
{
    for (int i = 0; i < 16; ++i) {
        const bool even = i % 2 == 0;
        layout.controls.push_back({.name = indexed("Label18", i),
                                   .parent = layout.form,
                                   .twips = {sent.x(), tops[i], sent.width(), sent.height()},
                                   .text = "",
                                   .back = even ? evenSent : oddSent,
                                   .fore = black,
                                   .font = courier});
        layout.controls.push_back({.name = indexed("Label20", i),
                                   .parent = layout.form,
                                   .twips = {reply.x(), tops[i], reply.width(), reply.height()},
                                   .text = "",
                                   .back = even ? evenReply : oddReply,
                                   .fore = even ? black : oddReplyText,
                                   .font = courier});
    }
}

void addTally(Layout &layout, const QColor &back, const QList<int> &quantityTops,
              const QList<int> &amountTops, int quantityLeft, int amountLeft,
              const QRect &totalAmount, const Font &totalFont)
{
    for (int i = 0; i < 7; ++i) {
        layout.controls.push_back({.name = indexed("Label8", i),
                                   .parent = "Frame2",
                                   .twips = {300, 300 + 225 * i, 915, 240},
                                   .text = "",
                                   .back = back,
                                   .fore = white,
                                   .font = msSansBold});
        layout.controls.push_back({.name = indexed("Label9", i),
                                   .parent = "Frame2",
                                   .twips = {quantityLeft, quantityTops[i], 390, 240},
                                   .text = "0",
                                   .back = back,
                                   .fore = white,
                                   .font = msSansBold,
                                   .align = Qt::AlignRight});
        layout.controls.push_back({.name = indexed("Label10", i),
                                   .parent = "Frame2",
                                   .twips = {amountLeft, amountTops[i], 915, 240},
                                   .text = "0",
                                   .back = back,
                                   .fore = white,
                                   .font = msSansBold,
                                   .align = Qt::AlignRight});
    }
    layout.controls.push_back({.name = "Label11",
                               .parent = "Frame2",
                               .twips = {300, 2025, 915, 240},
                               .text = "TOTAL",
                               .back = back,
                               .fore = white,
                               .font = totalFont});
    layout.controls.push_back({.name = "Label9_7",
                               .parent = "Frame2",
                               .twips = {quantityLeft, 2025, 390, 240},
                               .text = "0",
                               .back = back,
                               .fore = white,
                               .font = msSansBold,
                               .align = Qt::AlignRight});
    layout.controls.push_back({.name = "Label10_7",
                               .parent = "Frame2",
                               .twips = totalAmount,
                               .text = "0",
                               .back = back,
                               .fore = white,
                               .font = msSansBold,
                               .align = Qt::AlignRight});
}

QList<int> steps(int first, int step)
{
    QList<int> tops;
    for (int i = 0; i < 16; ++i)
        tops.append(first + step * i);
    return tops;
}

Layout main256()
{
    const QString form = "MAIN256";
    const QColor light(0xE0, 0xE0, 0xE0);
    const QColor silver(0xC0, 0xC0, 0xC0);
    const QColor grey(0x80, 0x80, 0x80);
    Layout layout{form, {617, 427}, light, msSans};
    layout.controls = {
            {.name = "Shape1",
             .className = "QFrame",
             .parent = form,
             .twips = {-75, 0, 1815, 6390},
             .back = light,
             .border = silver},
            {.name = "Line1",
             .className = "LineWidget",
             .parent = form,
             .twips = line(1725, 0, 1725, 6375),
             .fore = black},
            {.name = "Picture1", .parent = form, .twips = {0, 360, 1695, 540}},
            {.name = "Label2",
             .parent = form,
             .twips = {225, 1125, 765, 315},
             .text = "COM Port",
             .back = light,
             .fore = black,
             .font = msSans,
             .align = Qt::AlignLeft},
            {.name = "Text1",
             .className = "QLineEdit",
             .parent = form,
             .twips = {1050, 1125, 465, 270},
             .text = "",
             .font = msSans},
            {.name = "Label3",
             .parent = form,
             .twips = {225, 1500, 1215, 240},
             .text = "Poll Rate (msec)",
             .back = light,
             .fore = black,
             .font = msSans,
             .align = Qt::AlignLeft},
            {.name = "Text2",
             .className = "QLineEdit",
             .parent = form,
             .twips = {225, 1725, 690, 285},
             .text = "",
             .font = msSans},
            {.name = "Command1",
             .className = "QPushButton",
             .parent = form,
             .twips = {225, 2175, 1290, 240},
             .text = "Normal Poll",
             .font = msSans},
            {.name = "Check6",
             .className = "QPushButton",
             .parent = form,
             .twips = {225, 2550, 1290, 240},
             .text = "Escrow Enable",
             .font = msSans},
            {.name = "Check3",
             .className = "QPushButton",
             .parent = form,
             .twips = {225, 2925, 1290, 240},
             .text = "Calibration",
             .font = msSans},
            {.name = "Label1",
             .parent = form,
             .twips = {600, 3240, 615, 255},
             .text = "START",
             .back = light,
             .fore = black,
             .font = msSans},
            {.name = "Check4",
             .className = "QPushButton",
             .parent = form,
             .twips = {600, 3480, 540, 540},
             .text = "",
             .font = msSans},
            {.name = "Check2",
             .className = "QPushButton",
             .parent = form,
             .twips = {1200, 4350, 315, 315},
             .text = ""},
            {.name = "Frame1",
             .className = "QGroupBox",
             .parent = form,
             .twips = {150, 4125, 1440, 2040},
             .text = "Accepting Notes",
             .back = light,
             .fore = black,
             .font = msSans},
            {.name = "Frame2",
             .className = "QGroupBox",
             .parent = form,
             .twips = {5640, 75, 3390, 2340},
             .text = "   Note Value       Qty        Amount ",
             .back = grey,
             .fore = white,
             .font = msSansBold},
            {.name = "Command2",
             .className = "QPushButton",
             .parent = "Frame2",
             .twips = {0, 0, 240, 195},
             .text = "X",
             .fore = black,
             .font = msSansBold},
            {.name = "Line2",
             .className = "LineWidget",
             .parent = "Frame2",
             .twips = line(300, 225, 3150, 225),
             .fore = black},
            {.name = "Label12_0",
             .parent = form,
             .twips = {2025, 120, 2940, 240},
             .text = "CONTROLLER  COMMAND",
             .back = silver,
             .fore = black,
             .font = msSansLarge,
             .align = Qt::AlignHCenter},
            {.name = "Label14",
             .parent = form,
             .twips = {2025, 375, 2940, 315},
             .text = "",
             .fore = black,
             .font = msSansLarge,
             .buttonFace = true,
             .boxed = true},
            {.name = "Label12_1",
             .parent = form,
             .twips = {2025, 975, 2940, 240},
             .text = "VALIDATOR  STATE",
             .back = silver,
             .fore = black,
             .font = msSansLarge,
             .align = Qt::AlignHCenter},
            {.name = "Label15",
             .parent = form,
             .twips = {2025, 1200, 2940, 315},
             .text = "",
             .back = silver,
             .fore = black,
             .font = msSansLarge,
             .boxed = true},
            {.name = "Label16",
             .parent = form,
             .twips = {2025, 1800, 2940, 240},
             .text = "VALIDATOR  LAST  EVENT",
             .back = silver,
             .fore = black,
             .font = msSansLarge,
             .align = Qt::AlignHCenter},
            {.name = "Label13",
             .parent = form,
             .twips = {2025, 2025, 2940, 315},
             .text = "",
             .back = grey,
             .fore = black,
             .font = msSansLarge,
             .boxed = true},
            {.name = "Label17",
             .parent = form,
             .twips = {1725, 2550, 7515, 240},
             .text = "       CONTROLLER     MESSAGE                      VALIDATOR     MESSAGE  /  "
                     "STATE  /  EVENT",
             .back = black,
             .fore = white,
             .font = msSans},
            {.name = "Shape2_0",
             .className = "Lamp",
             .parent = form,
             .twips = {4350, 2550, 165, 240}},
            {.name = "Shape2_1",
             .className = "Lamp",
             .parent = form,
             .twips = {8850, 2550, 165, 240}},
    };
    addChannelBoxes(layout, 150, 300, 225, 915);
    addTally(layout, grey, steps(300, 225), steps(300, 225), 1650, 2175, {2100, 2025, 990, 240},
             msSansBold);
    addLogRows(layout, steps(2775, 225), {1725, 0, 3015, 240}, {4725, 0, 4515, 240},
               QColor(0xC0, 0xFF, 0xFF), QColor(0x80, 0xFF, 0xFF), light, silver, white);
    layout.tabOrder = {"Text1", "Text2", "Command1", "Check6", "Check4"};
    for (int i = 0; i < 7; ++i)
        layout.tabOrder.append(indexed("Check1", i));
    layout.tabOrder += {"Check2", "Command2"};
    layout.runSwitchIconSize = {29, 28};
    layout.runSwitchChangesPicture = true;
    layout.configurePicture = true;
    return layout;
}

Layout main64k()
{
    const QString form = "MAIN64K";
    const QColor light(0xE0, 0xE0, 0xE0);
    const QColor silver(0xC0, 0xC0, 0xC0);
    const QColor lilac(0xC0, 0xC0, 0xFF);
    const QColor violet(0x80, 0x80, 0xFF);
    Layout layout{form, {739, 479}, silver, timesRoman};
    layout.controls = {
            {.name = "Shape1",
             .className = "QFrame",
             .parent = form,
             .twips = {0, 0, 2655, 6615},
             .back = silver,
             .border = silver},
            {.name = "Line1",
             .className = "LineWidget",
             .parent = form,
             .twips = line(0, 3480, 2640, 3480),
             .fore = black},
            {.name = "Line3",
             .className = "LineWidget",
             .parent = form,
             .twips = line(2640, 0, 2640, 7200),
             .fore = black},
            {.name = "Line4",
             .className = "LineWidget",
             .parent = form,
             .twips = line(6240, 2760, 6240, 6600),
             .fore = black},
            {.name = "Picture1", .parent = form, .twips = {240, 120, 1815, 540}},
            {.name = "Label2",
             .parent = form,
             .twips = {600, 840, 1125, 315},
             .text = "Set COM Port",
             .back = silver,
             .fore = black,
             .font = timesRoman,
             .align = Qt::AlignLeft},
            {.name = "Text1",
             .className = "QLineEdit",
             .parent = form,
             .twips = {600, 1080, 555, 285},
             .text = "",
             .font = msSans},
            // 105 px wide on the original screen; with the metric-compatible serif face the
            // first line, "Set Poll Rate (msec)", needs 108 px, so the caption is 7 px wider
            // and keeps its two lines.
            {.name = "Label3",
             .parent = form,
             .twips = {600, 1440, 1680, 480},
             .text = "Set Poll Rate (msec) 100mS default",
             .back = silver,
             .fore = black,
             .font = timesRoman,
             .align = Qt::AlignLeft},
            {.name = "Text2",
             .className = "QLineEdit",
             .parent = form,
             .twips = {600, 1920, 690, 285},
             .text = "",
             .font = msSans},
            {.name = "Command1",
             .className = "QPushButton",
             .parent = form,
             .twips = {600, 2280, 1290, 480},
             .text = "Normal Poll",
             .font = timesRoman},
            {.name = "Check6",
             .className = "QPushButton",
             .parent = form,
             .twips = {600, 2880, 1290, 480},
             .text = "Escrow Enable",
             .font = timesRoman},
            {.name = "Check3",
             .className = "QPushButton",
             .parent = form,
             .twips = {9720, 2040, 1290, 255},
             .text = "Calibration",
             .font = timesRoman},
            {.name = "Label1",
             .parent = form,
             .twips = {9840, 960, 1215, 255},
             .text = "START POLL",
             .back = silver,
             .fore = black,
             .font = timesRoman},
            {.name = "Check4",
             .className = "QPushButton",
             .parent = form,
             .twips = {9960, 240, 780, 660},
             .text = "",
             .font = msSans},
            {.name = "Check2",
             .className = "QPushButton",
             .parent = form,
             .twips = {9720, 1440, 1275, 435},
             .text = "Configure",
             .font = timesRoman},
            {.name = "Frame1",
             .className = "QGroupBox",
             .parent = form,
             .twips = {0, 3480, 2640, 3120},
             .text = "CHECK BOX TO ENABLE",
             .back = silver,
             .fore = black,
             .font = timesRoman},
            {.name = "Label24",
             .parent = "Frame1",
             .twips = {240, 240, 2535, 255},
             .text = "    Channel      Denomination",
             .back = silver,
             .fore = black,
             .font = timesRoman},
            {.name = "Frame2",
             .className = "QGroupBox",
             .parent = form,
             .twips = {2700, 75, 6975, 2340},
             .text
             = "   Denomination                        Stacked                                 "
               "       Value ",
             .back = violet,
             .fore = black,
             .font = timesBold},
            {.name = "Command2",
             .className = "QPushButton",
             .parent = "Frame2",
             .twips = {5640, 0, 1320, 255},
             .text = "Reset Totals",
             .fore = black,
             .font = timesRoman},
            {.name = "Line2",
             .className = "LineWidget",
             .parent = "Frame2",
             .twips = line(120, 225, 6120, 225),
             .fore = black},
            {.name = "Label17",
             .parent = form,
             .twips = {2640, 2520, 8475, 240},
             .text
             = "                      HOST                                                       "
               "         DELVON     MESSAGE  /  STATE  /  EVENT",
             .back = black,
             .fore = white,
             .font = timesRoman},
            {.name = "Label12_0",
             .parent = form,
             .twips = {2640, 6600, 2940, 240},
             .text = "HOST  COMMAND",
             .back = lilac,
             .fore = black,
             .font = timesHeading,
             .align = Qt::AlignHCenter},
            {.name = "Label14",
             .parent = form,
             .twips = {2640, 6840, 2940, 315},
             .text = "",
             .back = white,
             .fore = black,
             .font = msSansLarge,
             .boxed = true},
            {.name = "Label12_1",
             .parent = form,
             .twips = {5640, 6600, 2865, 240},
             .text = "DELVON  STATE",
             .back = violet,
             .fore = black,
             .font = timesHeading,
             .align = Qt::AlignHCenter},
            {.name = "Label15",
             .parent = form,
             .twips = {5640, 6840, 2820, 315},
             .text = "",
             .back = light,
             .fore = black,
             .font = msSansLarge,
             .boxed = true},
            {.name = "Label16",
             .parent = form,
             .twips = {8520, 6600, 2640, 240},
             .text = "DELVON  LAST  EVENT",
             .back = lilac,
             .fore = black,
             .font = timesHeading,
             .align = Qt::AlignHCenter},
            {.name = "Label13",
             .parent = form,
             .twips = {8520, 6840, 2580, 315},
             .text = "",
             .back = white,
             .fore = black,
             .font = msSansLarge,
             .boxed = true},
            {.name = "Shape2_0",
             .className = "Lamp",
             .parent = form,
             .twips = {5760, 2550, 165, 240}},
            {.name = "Shape2_1",
             .className = "Lamp",
             .parent = form,
             .twips = {10680, 2550, 165, 240}},
    };
    const QStringList channelNames{"Label4", "Label19", "Label5", "Label6",
                                   "Label7", "Label21", "Label23"};
    for (int i = 0; i < 7; ++i) {
        // The channel names stand at left 720 on the rows of the enable boxes.
        layout.controls.push_back({.name = channelNames[i],
                                   .parent = "Frame1",
                                   .twips = {720, 600 + 360 * i, 615, 240},
                                   .text = QStringLiteral("CH%1").arg(i + 1),
                                   .back = silver,
                                   .fore = black,
                                   .font = timesRoman});
    }
    addChannelBoxes(layout, 1440, 600, 360, 1035);
    addTally(layout, violet, {300, 525, 750, 960, 1200, 1425, 1650},
             {240, 480, 720, 975, 1200, 1440, 1680}, 2520, 4320, {4320, 2025, 915, 240}, timesBold);
    QList<int> rowTops{2775, 3000};
    for (int i = 2; i < 16; ++i)
        rowTops.append(3240 + 240 * (i - 2));
    addLogRows(layout, rowTops, {2640, 0, 3495, 240}, {6120, 0, 4995, 240}, lilac, lilac, light,
               light, black);
    layout.tabOrder = {"Text1", "Text2", "Command1", "Check6", "Check4", "Check2", "Command2"};
    for (int i = 0; i < 7; ++i)
        layout.tabOrder.append(indexed("Check1", i));
    layout.runSwitchIconSize = {32, 32};
    return layout;
}

// The colour a control shows at a point of it, as the whole form draws it.
QColor shownColour(const QImage &formImage, QWidget *form, QWidget *control, const QPoint &point)
{
    return formImage.pixelColor(control->mapTo(form, point));
}

// Where a group box draws its title.
QRect titleRect(QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
}

// The horizontal span of the ink of a one-line text drawn from x = 0: leading and trailing blanks
// left out.
std::pair<int, int> inkSpan(const QFont &font, const QString &text)
{
    const QFontMetrics metrics(font);
    const qsizetype first = text.size() - QString(text).remove(QRegularExpression("^ +")).size();
    const QString upToLast = QString(text).remove(QRegularExpression(" +$"));
    return {metrics.horizontalAdvance(text.left(first)), metrics.horizontalAdvance(upToLast)};
}

// A one-line caption is not cut off by its own control. (Where the layouts let a control reach
// past its frame or the window, the parent cuts it off, as drawn.)
void checkCaptionFits(QWidget *widget)
{
    const QFontMetrics metrics(widget->font());
    if (auto *label = qobject_cast<QLabel *>(widget); label && !label->wordWrap()) {
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        EXPECT_LE(box->sizeHint().width(), box->width());
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        EXPECT_LE(metrics.horizontalAdvance(button->text()) + 4, button->width());
    } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        EXPECT_LT(titleRect(frame).right(), frame->width());
    }
}

void checkControl(QWidget *form, const QImage &formImage, const Control &row)
{
    SCOPED_TRACE(row.name.toStdString());
    auto *widget = form->findChild<QWidget *>(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->inherits(row.className)) << widget->metaObject()->className();
    EXPECT_EQ(widget->parentWidget()->objectName(), row.parent);
    EXPECT_EQ(widget->geometry(), pixels(row.twips));
    EXPECT_FALSE(widget->accessibleDescription().isEmpty());

    if (row.text) {
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            EXPECT_EQ(label->text(), *row.text);
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            EXPECT_EQ(button->text(), *row.text);
        } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
            EXPECT_EQ(box->title(), *row.text);
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            EXPECT_EQ(edit->text(), *row.text);
        } else {
            ADD_FAILURE() << "no text to compare";
        }
    }

    const QPalette palette = widget->palette();
    if (row.back.isValid()) {
        EXPECT_EQ(palette.color(widget->backgroundRole()), row.back);
    }
    if (row.buttonFace) {
        EXPECT_EQ(palette.color(widget->backgroundRole()), QApplication::palette().button().color());
    }
    if (auto *line = qobject_cast<LineWidget *>(widget)) {
        EXPECT_EQ(line->color(), row.fore);
        EXPECT_EQ(shownColour(formImage, form, widget, {0, 0}), row.fore);
    } else if (row.fore.isValid()) {
        EXPECT_EQ(palette.color(widget->foregroundRole()), row.fore);
    }

    if (row.font.face) {
        const QFont font = widget->font();
        EXPECT_EQ(font.family(), row.font.face);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), row.font.points);
        EXPECT_EQ(font.bold(), row.font.bold);
        EXPECT_EQ(font.italic(), row.font.italic);
        // The face drawn is the named one or one of its substitutes.
        const QString drawn = QFontInfo(font).family();
        EXPECT_TRUE(drawn == row.font.face
                    || QFont::substitutes(row.font.face).contains(drawn, Qt::CaseInsensitive))
                << drawn.toStdString();
    }

    if (row.border.isValid()) {
        const QImage image = widget->grab().toImage();
        EXPECT_EQ(image.pixelColor(widget->width() / 2, widget->height() - 1), row.border);
        EXPECT_EQ(image.pixelColor(widget->width() / 2, widget->height() / 2), row.back);
    }

    checkCaptionFits(widget);

    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (row.align) {
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, row.align);
        }
        EXPECT_EQ(label->frameShape() == QFrame::Box, row.boxed);
        // The back colour shows at the bottom left corner, inside any border, clear of the text.
        if (row.back.isValid() && label->pixmap().isNull()) {
            EXPECT_EQ(label->grab().toImage().pixelColor(2, label->height() - 2), row.back);
        }
    }
}

// The widgets that take the focus with the Tab key, in the order the key visits them.
QStringList tabOrderFrom(QWidget *form, QWidget *first)
{
    QStringList order;
    QWidget *widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()
            && widget->isVisibleTo(form))
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 0)
                return true;
    return false;
}

QImage pictureOf(const QIcon &icon, const QSize &size, QIcon::State state)
{
    return icon.pixmap(size, QIcon::Normal, state).toImage();
}

template<typename Form>
void checkForm(const Layout &layout)
{
    Form ui;
    QWidget form;
    ui.setupUi(&form);
    form.ensurePolished();
    const QImage formImage = form.grab().toImage();

    EXPECT_EQ(form.objectName(), layout.form);
    EXPECT_EQ(form.windowTitle(), "Brisvel 2.1");
    EXPECT_EQ(form.size(), layout.size);
    EXPECT_EQ(form.palette().color(QPalette::Window), layout.back);
    EXPECT_EQ(form.font().family(), layout.font.face);
    EXPECT_DOUBLE_EQ(form.font().pointSizeF(), layout.font.points);
    EXPECT_EQ(form.layout(), nullptr);
    EXPECT_EQ(form.windowIcon().pixmap(QSize(32, 32)).size(), QSize(32, 32));

    // Every control of the table, and no other.
    QStringList expected;
    for (const Control &row : layout.controls) {
        checkControl(&form, formImage, row);
        expected.append(row.name);
    }
    QStringList found;
    for (QWidget *widget : form.findChildren<QWidget *>())
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            found.append(widget->objectName());
    expected.sort();
    found.sort();
    EXPECT_EQ(found, expected);

    // The operable controls at creation.
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(form.findChild<QCheckBox *>(indexed("Check1", i))->isChecked()) << i;
    for (QPushButton *toggle : {ui.Check4, ui.Check6, ui.Check3, ui.Check2}) {
        EXPECT_TRUE(toggle->isCheckable()) << toggle->objectName().toStdString();
        EXPECT_FALSE(toggle->isChecked()) << toggle->objectName().toStdString();
    }
    EXPECT_FALSE(ui.Command1->isCheckable());
    EXPECT_TRUE(ui.Check3->isHidden());
    EXPECT_FALSE(ui.Check3->isEnabled());

    // The lamps stand in runs of blanks of the column headings of the traffic log.
    const auto [headingLeft, headingRight] = inkSpan(ui.Label17->font(), ui.Label17->text());
    for (Lamp *lamp : {ui.Shape2_0, ui.Shape2_1}) {
        const int left = lamp->x() - ui.Label17->x();
        const int right = left + lamp->width();
        const QString heading = ui.Label17->text();
        const QFontMetrics metrics(ui.Label17->font());
        for (qsizetype i = 0; i < heading.size(); ++i) {
            const int start = metrics.horizontalAdvance(heading.left(i));
            const int end = metrics.horizontalAdvance(heading.left(i + 1));
            if (heading[i] != ' ' && end > left && start < right)
                ADD_FAILURE() << lamp->objectName().toStdString() << " covers character " << i
                              << " of the log heading";
        }
    }
    EXPECT_GE(headingLeft, 0);
    EXPECT_LE(headingRight, ui.Label17->width());

    // The reset button of the tally stands clear of the tally heading.
    const QRect tallyTitle = titleRect(ui.Frame2);
    const auto [tallyLeft, tallyRight] = inkSpan(ui.Frame2->font(), ui.Frame2->title());
    const QRect tallyInk(tallyTitle.x() + tallyLeft, tallyTitle.y(), tallyRight - tallyLeft,
                         tallyTitle.height());
    EXPECT_FALSE(tallyInk.intersects(ui.Command2->geometry()))
            << "title ink " << tallyInk.x() << " to " << tallyInk.right();

    // The lamps are dark, with a white border.
    for (Lamp *lamp : {ui.Shape2_0, ui.Shape2_1}) {
        EXPECT_EQ(lamp->fillColor(), QColor(0x40, 0x00, 0x00));
        EXPECT_EQ(lamp->borderColor(), white);
        EXPECT_EQ(shownColour(formImage, &form, lamp, lamp->rect().center()),
                  QColor(0x40, 0x00, 0x00));
    }
    EXPECT_EQ(ui.Shape2_0->accessibleName(), "Send lamp");
    EXPECT_EQ(ui.Shape2_1->accessibleName(), "Receive lamp");

    // The pictures.
    EXPECT_EQ(ui.Picture1->pixmap().size(), QSize(118, 34));
    EXPECT_TRUE(hasInk(ui.Picture1->pixmap().toImage()));
    EXPECT_EQ(ui.Check4->iconSize(), layout.runSwitchIconSize);
    const QImage runOff = pictureOf(ui.Check4->icon(), layout.runSwitchIconSize, QIcon::Off);
    const QImage runOn = pictureOf(ui.Check4->icon(), layout.runSwitchIconSize, QIcon::On);
    EXPECT_TRUE(hasInk(runOff));
    EXPECT_TRUE(hasInk(runOn));
    EXPECT_EQ(runOff != runOn, layout.runSwitchChangesPicture);
    EXPECT_EQ(ui.Check2->icon().isNull(), !layout.configurePicture);
    if (layout.configurePicture) {
        EXPECT_EQ(ui.Check2->iconSize(), QSize(16, 16));
        EXPECT_TRUE(hasInk(pictureOf(ui.Check2->icon(), QSize(16, 16), QIcon::Off)));
    }

    // A log line of either column fits its row in the fixed-pitch font.
    const QString sent = " 02 08 10 7F 00 00 03 6C STK";
    const QString reply = " 02 0B 21 10 00 00 32 00 1A 03 5D ESC 7 STK";
    const QString noResponse = "       NO RESPONSE!  TIMEOUT";
    ASSERT_EQ(sent.size(), 28);
    ASSERT_EQ(reply.size(), 43);
    ASSERT_EQ(noResponse.size(), 28);
    for (int i = 0; i < 16; ++i) {
        auto *sentRow = form.findChild<QLabel *>(indexed("Label18", i));
        auto *replyRow = form.findChild<QLabel *>(indexed("Label20", i));
        EXPECT_LE(QFontMetrics(sentRow->font()).horizontalAdvance(sent), sentRow->width()) << i;
        EXPECT_LE(QFontMetrics(replyRow->font()).horizontalAdvance(reply), replyRow->width()) << i;
        EXPECT_LE(QFontMetrics(replyRow->font()).horizontalAdvance(noResponse), replyRow->width())
                << i;
    }

    // Tab order, and the focus in the port box when the window opens.
    EXPECT_EQ(tabOrderFrom(&form, ui.Text1), layout.tabOrder);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), ui.Text1);

    // Nothing is laid out anew when the window is resized.
    const QRect lamp = ui.Shape2_1->geometry();
    form.resize(layout.size * 2);
    QApplication::sendPostedEvents();
    EXPECT_EQ(ui.Shape2_1->geometry(), lamp);
}

TEST(Forms, Main256MatchesItsLayoutTable)
{
    checkForm<Ui::MAIN256>(main256());
}

TEST(Forms, Main64kMatchesItsLayoutTable)
{
    checkForm<Ui::MAIN64K>(main64k());
}

TEST(Forms, PicturesHaveTheirSizes)
{
    const std::pair<const char *, QSize> pictures[] = {{"logo", {118, 34}},
                                                       {"runoff", {29, 28}},
                                                       {"runon", {28, 27}},
                                                       {"question", {16, 16}},
                                                       {"computer", {32, 32}}};
    for (const auto &[name, size] : pictures) {
        const QPixmap drawn = picture(name);
        EXPECT_EQ(drawn.size(), size) << name;
        EXPECT_TRUE(hasInk(drawn.toImage())) << name;
        EXPECT_EQ(picture(name, {64, 64}).size(), QSize(64, 64)) << name;
    }
    EXPECT_TRUE(picture("none").isNull());
}

TEST(Forms, LampShowsItsFillColour)
{
    Lamp lamp;
    lamp.resize(11, 16);
    lamp.setFillColor(QColor(0xFF, 0x00, 0x00));
    const QImage image = lamp.grab().toImage();
    // The circle is as wide as the lamp and centred in its height, inside a white border.
    EXPECT_EQ(image.pixelColor(5, 7), QColor(0xFF, 0x00, 0x00));
    EXPECT_EQ(image.pixelColor(5, 2), white);
    EXPECT_EQ(image.pixelColor(5, 12), white);
    EXPECT_EQ(image.pixelColor(0, 7), white);
    EXPECT_EQ(image.pixelColor(10, 7), white);
    EXPECT_NE(image.pixelColor(5, 1), white);
    EXPECT_NE(image.pixelColor(5, 13), white);
}

} // namespace
