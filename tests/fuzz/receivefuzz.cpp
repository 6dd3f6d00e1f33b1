#include "receivefuzz.h"

#include "memoryline.h"
#include "testermodel.h"

#include <QCoreApplication>

namespace ReceiveFuzz {

namespace {

class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size)
        : next(data)
        , end(data + size)
    { }

    bool atEnd() const { return next == end; }
    std::uint8_t byte() { return atEnd() ? 0 : *next++; }
    QByteArray bytes(std::size_t count)
    {
        count = std::min<std::size_t>(count, std::size_t(end - next));
        const QByteArray taken(reinterpret_cast<const char *>(next), qsizetype(count));
        next += count;
        return taken;
    }

private:
    const std::uint8_t *next;
    const std::uint8_t *end;
};

enum Operation { Push, Send, RunSwitch, ModeButton, ChannelState, Switches, Entry, Line };

void enter(TesterModel &model, int target, const QString &text)
{
    switch (target % 4) {
    case 0:
        model.setPortText(text);
        break;
    case 1:
        model.setIntervalText(text);
        break;
    case 2:
        model.setChannelCaption(target / 4 % 7, text);
        model.ValueChg();
        break;
    default:
        model.ResetTotals();
        break;
    }
}

void lineEvent(MemoryLine &line, TesterModel &model, int event)
{
    switch (event % 4) {
    case 0:
        line.breakLine();
        break;
    case 1:
        QCoreApplication::processEvents();
        break;
    case 2:
        model.closePort();
        break;
    default:
        model.markPortForReopen();
        break;
    }
}

} // namespace

void run(const std::uint8_t *data, std::size_t size)
{
    MemoryLine line;
    TesterModel model(&line, (size & 1) ? HighColour : Colour256);
    model.setPortText(QStringLiteral("1"));
    model.setComPort(1);
    model.markPortForReopen();
    // No tick comes due while the session runs: the sends are the operations'.
    model.setIntervalText(QStringLiteral("65535"));
    model.setEscrow(true);
    for (int i = 0; i < 7; ++i)
        model.setChannelState(i, 1);
    model.ValueChg();
    model.clickModeButton();

    Input input(data, size);
    while (!input.atEnd()) {
        const int op = input.byte();
        const int arg = op & 0x1F;
        switch (Operation(op >> 5)) {
        case Push:
            line.push(input.bytes(std::size_t(arg) + 1));
            break;
        case Send:
            model.SendCommand();
            break;
        case RunSwitch:
            model.setRunSwitch(!model.panel().runSwitch);
            break;
        case ModeButton:
            model.clickModeButton();
            break;
        case ChannelState:
            model.setChannelState(arg % 7, arg / 7 % 3);
            break;
        case Switches:
            model.setEscrow(arg & 1);
            model.setCalibration(arg & 2);
            break;
        case Entry:
            enter(model, arg, QString::fromLatin1(input.bytes(input.byte() % 16)));
            break;
        case Line:
            lineEvent(line, model, arg);
            break;
        }
    }
}

} // namespace ReceiveFuzz
