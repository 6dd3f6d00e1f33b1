// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fuzz/receivefuzz.h"

#include <QCoreApplication>

// libFuzzer's entry points. The model's timers and signals need an application object, made
// once for the whole run.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ReceiveFuzz::run(data, size);
    return 0;
}
