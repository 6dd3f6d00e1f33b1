#include "testframes.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

using TestFrames::command;

// brisvel-validator-sim --replay, as an operator starts it with a record from a customer.
namespace {

constexpr int patience = 10000; // ms

// A frame sent, its reply column, and the columns that follow, as the tester writes them.
QString recordLine(const QString &sent, const QString &reply, const QString &remark = {})
{
    return sent.leftJustified(28) + "  " + reply.leftJustified(43)
           + "  2024-05-01T12:00:00.000+02:00     12 ms  IDLING        -"
           + (remark.isEmpty() ? QString() : "  # " + remark) + '\n';
}

const QString record = recordLine(" 02 08 10 7F 10 00 03 77", " 02 0B 20 01 00 01 00 00 00 03 2B")
                       + recordLine(" 02 08 11 7F 10 00 03 76", "       NO RESPONSE!  TIMEOUT")
                       + recordLine(" 02 08 11 7F 10 00 03 76", " 02 0B 21 01 00 00 00 00 00 03 2B")
                       + recordLine("", " 02 0B 21 11 00 18 00 00 00 03 23     3 STD",
                                    "second reply");

class ReplayProgram : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile file(dir.filePath("record.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(record.toUtf8());
        QFile notes(dir.filePath("notes.txt"));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("Polled every 100 ms at the bench in Lyon\n");
    }

    void TearDown() override
    {
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            QSignalSpy(&sim, &QProcess::finished).wait(patience);
        }
    }

    bool finished()
    {
        return sim.state() == QProcess::NotRunning
               || QSignalSpy(&sim, &QProcess::finished).wait(patience);
    }

    // Everything the host reads until at least count bytes have come.
    QByteArray readAtLeast(qsizetype count)
    {
        QByteArray got;
        const bool arrived = QTest::qWaitFor(
                [&] {
                    got += host.readAll();
                    return got.size() >= count;
                },
                patience);
        if (!arrived)
            ADD_FAILURE() << "only " << got.size() << " of " << count << " bytes came";
        return got;
    }

    QTemporaryDir dir;
    QProcess sim;
    QSerialPort host;
};

TEST_F(ReplayProgram, AnswersEachCommandWithTheRecordsNextReply)
{
    sim.start(SIM_PATH, {"--pty", "--fast", "--replay", dir.filePath("record.txt")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, patience));
    host.setPortName(QString::fromLocal8Bit(sim.readLine()).trimmed());
    host.setBaudRate(QSerialPort::Baud9600);
    host.setParity(QSerialPort::EvenParity);
    host.setDataBits(QSerialPort::Data7);
    ASSERT_TRUE(host.open(QIODevice::ReadWrite)) << qPrintable(host.errorString());

    host.write(command(0));
    EXPECT_EQ(readAtLeast(11), QByteArray::fromHex("020B20010001000000032B"));
    host.write(command(1)); // recorded with no reply
    host.write(command(1));
    EXPECT_EQ(readAtLeast(22), QByteArray::fromHex("020B21010000000000032B"
                                                   "020B211100180000000323"))
            << "the second reply recorded for the frame comes after the first";

    sim.write("status\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, patience));
    EXPECT_EQ(QString::fromLocal8Bit(sim.readLine()).trimmed(),
              "replayed 3 of 3 frames, 0 differed from the record");
    sim.write("quit\n");
    ASSERT_TRUE(finished());
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(host.readAll().isEmpty()) << "nothing for the frame recorded with no reply";
}

struct Refusal
{
    const char *name;
    QStringList arguments; // after --pty; FOLDER stands for the test's folder
    const char *error;
};

void PrintTo(const Refusal &r, std::ostream *os)
{
    *os << r.name;
}

class ReplayRefusals : public ReplayProgram, public testing::WithParamInterface<Refusal>
{ };

TEST_P(ReplayRefusals, EndTheProgramWithAReason)
{
    QStringList arguments{"--pty"};
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument).replace("FOLDER", dir.path());
    sim.start(SIM_PATH, arguments);
    ASSERT_TRUE(finished());
    EXPECT_EQ(sim.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
    EXPECT_TRUE(error.contains(GetParam().error)) << qPrintable(error);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, ReplayRefusals,
        testing::Values(Refusal{"NotARecord",
                                {"--replay", "FOLDER/notes.txt"},
                                "notes.txt: line 1 is not a line of a traffic record"},
                        Refusal{"WithAScript",
                                {"--replay", "FOLDER/record.txt", "--script", "FOLDER/s"},
                                "--replay plays the record alone"}),
        [](const testing::TestParamInfo<Refusal> &info) { return info.param.name; });

} // namespace
