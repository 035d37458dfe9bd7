#include "engine/gamestate.h"
#include "platform/eventpump.h"
#include "platform/mtrandom.h"
#include "platform/soundcues.h"
#include "platform/steadyclock.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("typetoki"));

    typetoki::Module1 state;
    state.setProgramFolder(QCoreApplication::applicationDirPath());

    typetoki::SteadyClock clock;
    typetoki::QtEventPump events;
    typetoki::MtRandom random;
    typetoki::SoundCues sound;
    sound.preload({state.heroSoundPath, state.rivalSoundPath, state.missSoundPath});

    typetoki::Form1 form(state, {clock, events, random, sound});
    form.show();
    return app.exec();
}
