#include "engine/gamestate.h"
#include "persistence/datafolder.h"
#include "persistence/historystore.h"
#include "platform/eventpump.h"
#include "platform/inputmethodswitch.h"
#include "platform/logfile.h"
#include "platform/mecabreader.h"
#include "platform/mtrandom.h"
#include "platform/quitsignals.h"
#include "platform/soundcues.h"
#include "platform/steadyclock.h"
#include "ui/form1.h"
#include "ui/frmsplash.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("typetoki"));
    // When each key reached the game and each cue sounded, for tests that
    // must judge what happened rather than what was meant to.
    if (const QString log = qEnvironmentVariable("TYPETOKI_LOG"); !log.isEmpty() && !typetoki::LogToFile(log))
        qWarning("TYPETOKI_LOG: %s cannot be written", qPrintable(log));

    typetoki::Module1 state;
    state.setProgramFolder(QCoreApplication::applicationDirPath());
    state.dataFolder = typetoki::ChooseDataFolder(state.programFolder);

    typetoki::SteadyClock clock;
    typetoki::QtEventPump events;
    typetoki::MtRandom random;
    typetoki::SoundCues sound;
    typetoki::Fcitx5Switch inputMethodSwitch;
    // Opened by the first romaji game with kanji to read, kept to the end.
    typetoki::MecabSource dictionary;
    std::unique_ptr<typetoki::HistoryStore> history;
    std::unique_ptr<typetoki::Form1> form;

    // The splash is the only window until the player clicks it; a key press
    // or closing it instead ends the program without touching the settings.
    auto *splash = new typetoki::frmSplash;
    QObject::connect(splash, &typetoki::frmSplash::closedToQuit, &app, [splash] {
        splash->deleteLater();
        QCoreApplication::quit();
    });
    QObject::connect(splash, &typetoki::frmSplash::frameClicked, &app, [&, splash] {
        splash->deleteLater();
        if (!form) {
            // Opened on its own thread; a player who leaves at the splash
            // never gets a file.
            history = std::make_unique<typetoki::HistoryStore>(state.dataFolder);
            form = std::make_unique<typetoki::Form1>(state, typetoki::Platform{clock, events, random, sound});
            form->setInputMethodSwitch(&inputMethodSwitch);
            form->game().setReaderSource(&dictionary);
            form->setHistoryStore(history.get());
            // One output stream for the whole life of the window.
            sound.open();
        }
        form->show();
    });
    // A logout or kill ends the program as closing the main window does:
    // the game under way kept as abandoned, the settings saved, and below,
    // the stream closed and the history written. exit() then ends every
    // dialog's loop too (「終了！」, the result screen), not only the main
    // one, without asking any window whether it may close.
    typetoki::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &typetoki::QuitSignals::received, &app, [&form] {
        if (form)
            form->close();
        QCoreApplication::exit(0);
    });
    splash->show();
    const int status = app.exec();
    // The audio output closes first, while everything it might still touch
    // exists: its threads end here, not in some destructor after the
    // application object has gone.
    sound.close();
    form.reset();
    // The history writes what it still keeps (waiting a second at most for
    // another copy of the game) and ends its thread while Qt SQL is there.
    history.reset();
    return status;
}
