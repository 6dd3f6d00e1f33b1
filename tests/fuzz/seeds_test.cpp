#include "receivefuzz.h"
#include "setupfuzz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

struct Target
{
    const char *name; // the folder of its seeds under corpus/
    std::function<void(const QByteArray &, const QString &folder)> run;
};

void PrintTo(const Target &target, std::ostream *out)
{
    *out << target.name;
}

class FuzzSeeds : public testing::TestWithParam<Target>
{ };

// Every seed of a fuzz target runs through it in the ordinary build too, so the targets keep
// compiling and the seeds keep passing without a fuzzing build.
TEST_P(FuzzSeeds, EverySeedRunsThroughItsTarget)
{
    const Target &target = GetParam();
    const QDir seeds(QStringLiteral(FUZZ_CORPUS "/") + QLatin1String(target.name));
    const QStringList files = seeds.entryList(QDir::Files);
    ASSERT_GE(files.size(), 5) << qPrintable(seeds.path());
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const QString &name : files) {
        QFile file(seeds.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        SCOPED_TRACE(qPrintable(name));
        target.run(file.readAll(), folder.path());
    }
}

INSTANTIATE_TEST_SUITE_P(
        Fuzz, FuzzSeeds,
        testing::Values(Target{"receive",
                               [](const QByteArray &bytes, const QString &) {
                                   ReceiveFuzz::run(
                                           reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                           std::size_t(bytes.size()));
                               }},
                        Target{"setup",
                               [](const QByteArray &bytes, const QString &folder) {
                                   SetupFuzz::run(
                                           reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                           std::size_t(bytes.size()), folder);
                               }}),
        [](const testing::TestParamInfo<Target> &info) { return std::string(info.param.name); });

} // namespace
