#include "faultfixture.h"

#include "comport.h"
#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QTest>

FaultFixture::FaultFixture()
    : serial(folder.path())
    , model(&serial, HighColour)
{ }

void FaultFixture::SetUp()
{
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("ports")));
    ASSERT_TRUE(plugIn());

    model.setPortText(QStringLiteral("1"));
    model.setComPort(1);
    model.markPortForReopen();
    model.setIntervalText(QLatin1String(handPaced));
    for (int i = 0; i < 7; ++i)
        model.setChannelState(i, 1);
    model.setEscrow(true);
    model.ValueChg();
    model.clickModeButton();
}

bool FaultFixture::plugIn()
{
    if (validator)
        repliesBefore += validator->repliesSent();
    slaveQueue.reset();
    validator.reset();
    pty = std::make_unique<PseudoTerminal>();
    if (!pty->openPair()) {
        ADD_FAILURE() << qPrintable(pty->errorString());
        return false;
    }
    validator = std::make_unique<ValidatorLine>(engine, pty.get());
    validator->setFast(true);
    QObject::connect(validator.get(), &ValidatorLine::received, validator.get(),
                     [this](const QByteArray &bytes, bool answered) {
                         (answered ? frames : junk).append(bytes);
                     });
    slaveQueue = std::make_unique<SlaveQueue>(pty->slaveName());

    const QString link = comPortLink(1, folder.path());
    QFile::remove(link);
    return QFile::link(pty->slaveName(), link);
}

void FaultFixture::hangUp()
{
    slaveQueue.reset();
    validator->hangUp();
}

bool FaultFixture::waitUntil(const std::function<bool()> &condition, int timeout)
{
    return QTest::qWaitFor(condition, timeout);
}

bool FaultFixture::startRun()
{
    const qsizetype before = frames.size();
    const int replies = repliesSent();
    model.setRunSwitch(true);
    return waitUntil([&] { return frames.size() > before; }) && settle(replies + 1);
}

QByteArray FaultFixture::poll()
{
    const qsizetype before = frames.size();
    model.SendCommand();
    if (!waitUntil([&] { return frames.size() > before; }))
        return {};
    return frames.last();
}

bool FaultFixture::settle(int replies)
{
    // Bytes written on the master side reach the slave's queue a moment later: the line counts
    // as settled only when it is found so twice, with the event loop run in between.
    int quietChecks = 0;
    return waitUntil([&] {
        const bool quiet = repliesSent() >= replies && slaveQueue && slaveQueue->waiting() == 0
                           && serial.inBufferCount() < ValidatorReply::length
                           && !model.resyncPending();
        quietChecks = quiet ? quietChecks + 1 : 0;
        return quietChecks >= 2;
    });
}

int FaultFixture::repliesSent() const
{
    return repliesBefore + (validator ? validator->repliesSent() : 0);
}

int FaultFixture::unread() const
{
    const int waiting = slaveQueue ? slaveQueue->waiting() : 0;
    return waiting < 0 ? waiting : waiting + int(serial.inBufferCount());
}

int FaultFixture::tallyTotal() const
{
    return int(Numbers::parse(model.tally().quantity(NoteTally::totalRow)).value_or(-1));
}
