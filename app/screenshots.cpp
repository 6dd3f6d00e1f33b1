// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows to PNG files for the documentation: both layouts idle and in
// a conversation with a simulated validator, the start-up chooser, the configuration dialog and
// the About window, and the statistics window after a batch of notes.
#include "settings/ui/aboutwindow.h"
#include "settings/ui/colorsheme.h"
#include "settings/ui/configdialog.h"
#include "sim/pseudoterminal.h"
#include "sim/validatorengine.h"
#include "sim/validatorline.h"
#include "widgets/fonts.h"
#include "window/statisticswindow.h"
#include "window/testerwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

bool save(QWidget *widget, const QString &folder, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool saved = widget->grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Steps that run one after another, each when the event loop has had `delay` ms to show the
// effect of the step before.
class Sequence
{
public:
    void then(int delay, std::function<void()> step) { steps.append({delay, std::move(step)}); }
    void run()
    {
        if (steps.isEmpty()) {
            QApplication::quit();
            return;
        }
        const auto [delay, step] = steps.takeFirst();
        QTimer::singleShot(delay, [this, step] {
            step();
            run();
        });
    }

private:
    QList<std::pair<int, std::function<void()>>> steps;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installFontSubstitutions();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    TesterWindow::setMessageShower({});

    QTemporaryDir data;
    PseudoTerminal pty;
    if (!pty.openPair()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    QDir(data.path()).mkpath(QStringLiteral("ports"));
    QFile::link(pty.slaveName(), data.path() + QStringLiteral("/ports/com1"));
    ValidatorEngine engine;
    ValidatorLine validator(engine, &pty);

    Sequence sequence;
    TesterWindow *window = nullptr;
    bool ok = true;
    const auto layouts = {std::pair{Colour256, QStringLiteral("main256")},
                          std::pair{HighColour, QStringLiteral("main64k")}};
    for (const auto &[layout, name] : layouts) {
        sequence.then(0, [&, layout = layout] {
            window = new TesterWindow(layout, data.path());
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
        });
        sequence.then(200, [&, name = name] { ok &= save(window, folder, name + "-idle"); });
        sequence.then(0, [&] { window->findChild<QPushButton *>("Check4")->click(); });
        sequence.then(800, [&] { engine.insertNote(3); });
        sequence.then(1500, [&] { engine.insertNote(5); });
        sequence.then(1200, [&] { engine.insertNote(6); });
        sequence.then(1000, [&, name = name] {
            ok &= save(window, folder, name + "-running");
            window->close();
        });
    }
    sequence.then(0, [&] {
        auto *chooser = new ColorSheme;
        chooser->show();
        QTimer::singleShot(200, chooser, [&, chooser] {
            ok &= save(chooser, folder, "chooser");
            chooser->deleteLater();
        });
    });
    sequence.then(300, [&] {
        window = new TesterWindow(HighColour, data.path());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->findChild<QPushButton *>("Check2")->click();
    });
    sequence.then(300, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *about = qobject_cast<AboutWindow *>(w); about && about->isVisible()) {
                ok &= save(about, folder, "about");
                about->findChild<QPushButton *>("Command1")->click();
            }
        }
    });
    sequence.then(300, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *config = qobject_cast<ConfigDialog *>(w); config && config->isVisible())
                ok &= save(config, folder, "config");
        }
        window->close();
    });
    sequence.then(300, [&] {
        window = new TesterWindow(HighColour, data.path());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        // Channel 7 off: its note is rejected.
        window->findChild<QCheckBox *>("Check1_6")->setChecked(false);
        window->findChild<QPushButton *>("Check4")->click();
        window->findChild<QAction *>("statisticsAction")->trigger();
    });
    for (const int channel : {3, 7, 5, 3, 2, 7, 4})
        sequence.then(1000, [&, channel] { engine.insertNote(channel); });
    sequence.then(1500, [&] {
        ok &= save(window->findChild<StatisticsWindow *>(), folder, "statistics");
        window->close();
    });
    sequence.run();
    app.setQuitOnLastWindowClosed(false);
    app.exec();
    return ok ? 0 : 1;
}
