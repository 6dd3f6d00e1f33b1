// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fuzz/receivefuzz.h"
#include "tests/fuzz/setupfuzz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Every seed of each fuzz target runs through it in the ordinary build too, so the targets keep
// compiling and the seeds keep passing without a fuzzing build.
TEST(FuzzSeeds, EverySeedRunsThroughItsTarget)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char *target : {"receive", "setup"}) {
        const QDir seeds(QStringLiteral(FUZZ_CORPUS "/") + QLatin1String(target));
        const QStringList files = seeds.entryList(QDir::Files);
        EXPECT_GE(files.size(), 5) << qPrintable(seeds.path());
        for (const QString &name : files) {
            QFile file(seeds.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
            const QByteArray bytes = file.readAll();
            const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
            if (QLatin1String(target) == QLatin1String("receive"))
                ReceiveFuzz::run(data, std::size_t(bytes.size()));
            else
                SetupFuzz::run(data, std::size_t(bytes.size()), folder.path());
        }
    }
}

} // namespace
