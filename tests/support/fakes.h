#pragma once
// Test doubles for everything the game talks to: a screen of plain strings,
// a clock the test moves, waits that run scripted events at their moment,
// scripted random numbers and a sound device that only takes notes.

#include "engine/game.h"

#include <QMap>
#include <QTemporaryDir>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <vector>

namespace typetoki::testing {

// Clock, event pump, random numbers and sound in one: time moves only when
// the game waits or the test advances it, and every scripted event and
// Timer1 tick runs at its moment, nested inside whichever wait spans it.
class FakeWorld final : public Clock, public EventPump, public Random, public Sound {
public:
    double now() const override { return time_; }
    // The calendar moves with the fake clock from a fixed evening.
    QDateTime localDateTime() const override
    {
        return calendarStart.addMSecs(qint64((time_ - kStartTime) * 1000));
    }
    void processEvents(double seconds) override;
    void cancelWaits() override { ++cancels; }
    bool cancelled() const { return cancels > 0; }
    void reseed() override { ++reseeds; }
    double next() override;
    void setCueFiles(const QString &hero, const QString &rival, const QString &miss) override
    {
        preloaded += QStringList{hero, rival, miss};
    }
    void stop() override { sounds << QStringLiteral("stop"); }
    // "play hero" for a cue, "play /the/path" for a file heard in preview.
    void play(Cue cue) override { sounds << QStringLiteral("play ") + CueName(cue); }
    SoundProblem preview(const QString &path) override
    {
        sounds << QStringLiteral("play ") + path;
        return previewAnswer;
    }
    void setMuted(bool muted) override { sounds << (muted ? QStringLiteral("mute") : QStringLiteral("unmute")); }
    void setVolume(int percent) override { sounds << QStringLiteral("volume %1").arg(percent); }
    static QString CueName(Cue cue);

    // Runs everything that falls due within the next `seconds`.
    void advance(double seconds) { processEvents(seconds); }
    void setTime(double seconds) { time_ = seconds; }
    void at(double when, std::function<void()> event) { events_.emplace(when, std::move(event)); }
    // Timer1: a tick every 0.25 s, starting from the next multiple of 0.25.
    void startTicks(std::function<void()> tick);
    void stopTicks() { tick_ = nullptr; }
    void queueRandom(std::initializer_list<double> values) { randoms_.insert(randoms_.end(), values); }

    int reseeds = 0;
    int cancels = 0;
    int waits = 0;
    QStringList preloaded;
    QStringList sounds;
    SoundProblem previewAnswer = SoundProblem::None;
    QDateTime calendarStart{QDate(2026, 12, 9), QTime(19, 30)};

private:
    static constexpr double kStartTime = 1000.0;
    double time_ = kStartTime;
    std::multimap<double, std::function<void()>> events_;
    std::function<void()> tick_;
    double nextTick_ = 0;
    std::deque<double> randoms_;
};

// The main window's boxes as strings: what the game last wrote to each.
// Setting Text1 to a different text calls the game's change handler at
// once, as a real edit box does.
class FakeScreen final : public Screen {
public:
    QString inputText() const override { return boxes.value(Box::Text1); }
    QString text(Box box) const { return boxes.value(box); }
    void setText(Box box, const QString &text) override;
    void setLabel4Color(Rgb color) override { label4Color = color; }
    void setModeLabel(const QString &caption, Rgb color) override
    {
        modeCaption = caption;
        modeColor = color;
    }
    void setInputMethod(InputMethod mode) override { inputMethod = mode; }
    void setInputGuide(const QString &rest) override { guide = rest; }
    void setNextKey(QChar key, bool missed) override
    {
        nextKey = key;
        if (missed)
            missedKeys += key;
    }
    void setBackground(Rgb color) override { backgrounds.push_back(color); }
    void focusInput() override { ++focusCount; }
    void showMessage(const QString &text) override;

    Game *game = nullptr;
    QMap<Box, QString> boxes;
    QStringList label4History;
    Rgb label4Color = 0;
    QString modeCaption;
    Rgb modeColor = 0;
    InputMethod inputMethod = InputMethod::Hiragana;
    QString guide;
    QChar nextKey;       // the last one told
    QString missedKeys;  // every key wanted when a miss was told
    std::vector<Rgb> backgrounds;
    int focusCount = 0;
    QStringList messages;
    std::function<void()> onMessage;
};

// A program folder of the test's own, holding a copy of the shipped
// training text, so that no test reads or writes the settings and scores
// beside the real executable.
struct TempProgramFolder {
    explicit TempProgramFolder(Module1 &state);
    QTemporaryDir dir;
};

// A whole game in a box: state, doubles and the engine wired together.
struct Harness {
    Harness();
    // A key as the player types it into the input box: the key press first,
    // then the character lands in the box (Backspace removes one).
    void type(QChar key);
    void typeText(const QString &keys);
    // START, then the countdown run through: the game is playing afterwards.
    void start();
    // The same in training mode, on a text of these lines (in UTF-8).
    void startTraining(const QStringList &lines);
    QString box(Box b) const { return screen.text(b); }

    Module1 state;
    FakeWorld world;
    FakeScreen screen;
    Game game;
    QTemporaryDir texts;
};

}  // namespace typetoki::testing

namespace typetoki {

inline void PrintTo(LineKind kind, std::ostream *os)
{
    *os << "line kind " << int(kind);
}

}  // namespace typetoki
