// Opens the settings dialog on its own, on one of its five pages, so a
// script can look at it without a main window:
//   typetoki_settings_preview [page]
// The game state is the one a first run starts with, next to this program.
// The program ends when the dialog closes.
#include "preview_screen.h"
#include "ui/form4.h"

#include <QApplication>
#include <QTabWidget>
#include <cstdio>

using namespace typetoki;

namespace {

// The main window's boxes are not there; what OK writes is printed instead.
class PrintedScreen final : public PreviewScreen {
public:
    void setText(Box box, const QString &text) override
    {
        if (box == Box::Label4)
            std::printf("time label: %s\n", qPrintable(text));
    }
};

class PrintedSound final : public Sound {
public:
    void setCueFiles(const QString &, const QString &, const QString &) override {}
    void stop() override { std::puts("stop"); }
    void play(Cue) override {}
    SoundProblem preview(const QString &path) override
    {
        std::printf("play %s\n", qPrintable(path));
        return SoundProblem::None;
    }
    void setMuted(bool) override {}
    void setVolume(int) override {}
};

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int page = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1;
    if (page < 1 || page > 5) {
        std::fprintf(stderr, "usage: %s [1-5]\n", argv[0]);
        return 2;
    }

    Module1 state;
    state.setProgramFolder(QCoreApplication::applicationDirPath());
    state.trainingTextPath = state.inProgramFolder(QStringLiteral("test.txt"));
    PrintedScreen screen;
    PrintedSound sound;
    Form4 dialog(state, screen, sound);
    dialog.TabStrip1->setCurrentIndex(page - 1);
    QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);
    dialog.show();
    return app.exec();
}
