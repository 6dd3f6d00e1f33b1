// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fuzz/setupfuzz.h"

#include "settings/file/setupfile.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace SetupFuzz {

namespace {

void check(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "setup fuzz: %s\n", what);
    std::abort();
}

} // namespace

void run(const std::uint8_t *data, std::size_t size, const QString &folder)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromLatin1(bytes);

    QString remainder = text;
    qsizetype before = remainder.size();
    while (ReadNextSetting(remainder)) {
        check(remainder.size() < before, "the reader consumes a line at every call");
        before = remainder.size();
    }

    for (const DisplayProfile profile : {HighColour, Colour256}) {
        const SetupSettings read = parseSetupText(text, profile);
        check(read.displayProfile == profile, "the run keeps its own profile");
        const QByteArray written = formatSetup(read);
        check(written.endsWith("\r\n"), "every line ends in CR LF");
        check(parseSetupText(QString::fromLatin1(written), profile) == read,
              "what was read reads back the same once written");
    }

    const QString path = setupFilePath(folder);
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
          "the settings file can be written");
    file.close();
    const DisplayProfile profile = readStartupProfile(path);
    check(profile == ProfileNotChosen || profile == HighColour || profile == Colour256,
          "start-up reads a profile that exists or none");
    check(QFile::exists(path) == text.contains(QLatin1String("Sys.Color")),
          "a file without Sys.Color is moved aside, any other kept");
}

} // namespace SetupFuzz
