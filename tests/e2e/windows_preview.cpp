// Opens one of the game's smaller windows on its own, so a script can look
// at it without playing its way there:
//   typetoki_windows_preview splash|howto|staff|about
// The program ends when the window closes (for the splash: by either way
// out of it).
#include "ui/form5.h"
#include "ui/form6.h"
#include "ui/frmabout.h"
#include "ui/frmsplash.h"

#include <QApplication>
#include <QDialog>
#include <cstdio>
#include <memory>

using namespace typetoki;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    if (name == QLatin1String("splash")) {
        frmSplash splash;
        QObject::connect(&splash, &frmSplash::frameClicked, &app, [] {
            std::puts("frame clicked");
            QCoreApplication::quit();
        });
        QObject::connect(&splash, &frmSplash::closedToQuit, &app, [] {
            std::puts("key pressed");
            QCoreApplication::quit();
        });
        splash.show();
        return app.exec();
    }

    std::unique_ptr<QDialog> dialog;
    if (name == QLatin1String("howto"))
        dialog = std::make_unique<Form6>();
    else if (name == QLatin1String("staff"))
        dialog = std::make_unique<Form5>();
    else if (name == QLatin1String("about"))
        dialog = std::make_unique<frmAbout>();
    if (!dialog) {
        std::fprintf(stderr, "usage: %s splash|howto|staff|about\n", argv[0]);
        return 2;
    }
    QObject::connect(dialog.get(), &QDialog::finished, &app, &QCoreApplication::quit);
    dialog->show();
    return app.exec();
}
