#include "comport.h"
#include "fonts.h"
#include "signalwatcher.h"
#include "startup.h"
#include "testerwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// The program takes no options of its own: only help and version, and the toolkit's own
// options, which QApplication takes out of the arguments before they are read here. Returns
// the exit status when the arguments end the program before any window.
std::optional<int> answerCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Tests banknote validators over an RS-232 line (9600 baud, 7E1)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const bool understood = parser.parse(arguments);
    if (!understood || !parser.positionalArguments().isEmpty()) {
        const QString error = understood ? QStringLiteral("Unexpected argument '%1'.")
                                                   .arg(parser.positionalArguments().first())
                                         : parser.errorText();
        std::fputs(qPrintable(error + QStringLiteral("\n\n") + parser.helpText()), stderr);
        return 2;
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
    QApplication app(argc, argv);
    if (const std::optional<int> status = answerCommandLine(QCoreApplication::arguments()))
        return *status;
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
