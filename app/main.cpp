// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/commandline.h"
#include "base/datafolder.h"
#include "base/signalwatcher.h"
#include "settings/ui/startup.h"
#include "widgets/fonts.h"
#include "window/testerwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The program takes no options of its own: only help and version, and the toolkit's own
// options, which QApplication takes out of the arguments before they are read here. Returns
// the exit status when the arguments end the program before any window.
std::optional<int> answerCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Tests banknote validators over an RS-232 line (9600 baud, 7E1).\n"
                           "Exit status: 0 the window was closed, 1 no display could be opened, "
                           "3 the command line is wrong."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const bool understood = parser.parse(arguments);
    if (!understood || !parser.positionalArguments().isEmpty()) {
        return CommandLine::refuse(understood ? QStringLiteral("Unexpected argument '%1'.")
                                                        .arg(parser.positionalArguments().first())
                                              : parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs(
                qPrintable(
                        QStringLiteral("brisvel %1\n").arg(QCoreApplication::applicationVersion())),
                stdout);
        return 0;
    }
    return std::nullopt;
}

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *word : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], word) == 0)
                return true;
        }
    }
    return false;
}

// Whether the window system of the run needs a display server that nothing names. X11 and
// Wayland, the toolkit's choices on Linux and the BSDs, connect to the server in DISPLAY or
// WAYLAND_DISPLAY; without one the toolkit ends the program with an abort. Others, such as
// offscreen, need none.
bool noDisplayToOpen(int argc, char *argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            platform = QString::fromLocal8Bit(argv[i + 1]);
    }
    // Platforms are tried in the order listed, each with its options after a colon.
    const QStringList names = platform.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return std::all_of(names.cbegin(), names.cend(), [](const QString &name) {
        const QString plugin = name.section(QLatin1Char(':'), 0, 0);
        return plugin == QLatin1String("xcb") || plugin.startsWith(QLatin1String("wayland"));
    });
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

// On X11 the window's repaints are a few small rectangles, three times a poll. Through shared
// memory the toolkit makes a round trip to the X server before it paints over anything it sent
// since the last one, which the lamps do on every poll; sending those few pixels over the
// connection costs less. A setting made by the user is kept.
void preferDrawingOverTheConnection()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("brisvel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRISVEL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(BRISVEL_APP_ID));
    // Answered before the window system is opened, so that they work without a display.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        return answerCommandLine(QCoreApplication::arguments()).value_or(0);
    }

    preferDrawingOverTheConnection();
    // Without a display the toolkit starts on a platform that needs none, the last one named
    // being the one taken, so that the command line is still read as it is with a display.
    const bool displayMissing = noDisplayToOpen(argc, argv);
    std::vector<char *> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char noDisplay[] = "minimal";
    if (displayMissing)
        arguments.insert(arguments.end(), {platformOption, noDisplay});
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    if (const std::optional<int> status = answerCommandLine(QCoreApplication::arguments()))
        return *status;
    if (displayMissing) {
        std::fputs("brisvel: cannot open a display: set DISPLAY, or run brisvel-run for a run "
                   "without a window\n",
                   stderr);
        return 1;
    }
    installFontSubstitutions();

    const QString folder = dataFolder();
    QPointer<TesterWindow> tester;
    Startup startup(folder, [&folder, &tester](DisplayProfile profile) {
        tester = new TesterWindow(profile, folder);
        tester->setAttribute(Qt::WA_DeleteOnClose);
        tester->show();
    });
    QObject::connect(&startup, &Startup::abandoned, &app, &QApplication::quit, Qt::QueuedConnection);
    // A logout, kill or Ctrl+C ends the program as the close button does, so that the session's
    // settings are saved; before the tester window is open there is nothing to save.
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::signalled, &app, [&tester] {
        if (tester)
            tester->close();
        else
            QCoreApplication::quit();
    });
    startup.start();
    return app.exec();
}
