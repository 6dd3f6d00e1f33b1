#include "comport.h"
#include "fonts.h"
#include "startup.h"
#include "testerwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brisvel"));
    QApplication::setApplicationVersion(QStringLiteral("2.1.0"));
    installFontSubstitutions();

    const QString folder = dataFolder();
    Startup startup(folder, [&folder](DisplayProfile profile) {
        auto *window = new TesterWindow(profile, folder);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    QObject::connect(&startup, &Startup::abandoned, &app, &QApplication::quit, Qt::QueuedConnection);
    startup.start();
    return app.exec();
}
