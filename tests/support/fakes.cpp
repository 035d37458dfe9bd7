#include "support/fakes.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace typetoki::testing {

void FakeWorld::processEvents(double seconds)
{
    ++waits;
    if (cancelled())
        return;
    const double target = time_ + std::max(0.0, seconds);
    for (;;) {
        double due = target + 1;
        bool isTick = false;
        if (tick_ && nextTick_ <= target) {
            due = nextTick_;
            isTick = true;
        }
        if (!events_.empty() && events_.begin()->first <= target && events_.begin()->first < due) {
            due = events_.begin()->first;
            isTick = false;
        }
        if (due > target)
            break;
        time_ = std::max(time_, due);
        if (isTick) {
            nextTick_ += 0.25;
            auto tick = tick_;
            tick();
        } else {
            auto event = std::move(events_.begin()->second);
            events_.erase(events_.begin());
            event();
        }
        // A real wait ends as soon as the window closes.
        if (cancelled())
            return;
    }
    time_ = std::max(time_, target);
}

QString FakeWorld::CueName(Cue cue)
{
    switch (cue) {
    case Cue::Hero: return QStringLiteral("hero");
    case Cue::Rival: return QStringLiteral("rival");
    case Cue::Miss: return QStringLiteral("miss");
    }
    return {};
}

void FakeWorld::startTicks(std::function<void()> tick)
{
    tick_ = std::move(tick);
    nextTick_ = std::ceil(time_ / 0.25) * 0.25;
    if (nextTick_ <= time_)
        nextTick_ += 0.25;
}

double FakeWorld::next()
{
    if (randoms_.empty())
        return 0;
    const double r = randoms_.front();
    randoms_.pop_front();
    return r;
}

void FakeScreen::setText(Box box, const QString &text)
{
    const bool changed = boxes.value(box) != text;
    boxes[box] = text;
    if (box == Box::Label4)
        label4History << text;
    if (box == Box::Text1 && changed && game)
        game->Text1_Change();
}

void FakeScreen::showMessage(const QString &text)
{
    messages << text;
    if (onMessage)
        onMessage();
}

TempProgramFolder::TempProgramFolder(Module1 &state)
{
    QFile::copy(QStringLiteral(TYPETOKI_BIN_DIR "/test.txt"), dir.filePath(QStringLiteral("test.txt")));
    state.setProgramFolder(dir.path());
}

Harness::Harness() : game(state, screen, {world, world, world, world})
{
    state.setProgramFolder(QStringLiteral("/game"));
    screen.game = &game;
}

void Harness::type(QChar key)
{
    const int code = key.unicode();
    game.Text1_KeyPress(code);
    QString text = screen.text(Box::Text1);
    if (code == 8)
        text.chop(1);
    else
        text += key;
    screen.setText(Box::Text1, text);
}

void Harness::typeText(const QString &keys)
{
    for (QChar key : keys)
        type(key);
}

void Harness::start()
{
    game.Command2_Click();
}

void Harness::startTraining(const QStringList &lines)
{
    const QString path = texts.filePath(QStringLiteral("training.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
    file.close();
    state.gameMode = GameMode::Training;
    state.trainingTextPath = path;
    start();
}

}  // namespace typetoki::testing
