// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fuzz/setupfuzz.h"

#include <QCoreApplication>
#include <QTemporaryDir>

// libFuzzer's entry points. The start-up reader's file lives in a folder made once per run.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QTemporaryDir folder;
    SetupFuzz::run(data, size, folder.path());
    return 0;
}
