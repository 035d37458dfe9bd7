#pragma once
// The rules of play: starting a game, the target lines, judging every typed
// character, the chant echo, the clock and the end of a game. The main window
// forwards its events here and shows what the game writes to its Screen.

#include "engine/gamemode.h"
#include "engine/gamestate.h"
#include "engine/interfaces.h"
#include "engine/targetlines.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace typetoki {

constexpr double kIdle = 0;
constexpr double kPlaying = 1;
constexpr double kCountdown = 2;

constexpr Rgb kGreenBackground = MakeRgb(0, 64, 0);
constexpr Rgb kFlashRed = MakeRgb(255, 0, 0);
constexpr Rgb kCountdownCyan = MakeRgb(0, 255, 255);
constexpr Rgb kTimeRed = MakeRgb(255, 0, 0);

// The text with CR LF added when (its length + 2) is a whole multiple of
// (2n + 2): with n = 3 the echo breaks after every three chant units.
QString BreakEchoLine(const QString &text, std::int16_t n);

// The message shown when the training text cannot be used.
extern const QString kTrainingTextError;

struct Platform {
    Clock &clock;
    EventPump &events;
    Random &random;
    Sound &sound;
};

class Game {
public:
    Game(Module1 &state, Screen &screen, Platform platform);

    // The main window's handlers.
    void Command1_Click();  // Enter
    void Command2_Click();  // START
    void Command3_Click();  // END
    void Command4_Click();
    void Command5_Click();  // SELECT
    void Text1_KeyPress(int keyCode);
    void Text1_Change();
    void Timer1_Timer();

    // Also started from the menu and the toolbar, which keep the echo record.
    void StartGame();

    // The window is closing: every wait ends at once and no game goes on.
    void Shutdown();
    bool shuttingDown() const { return closing_; }

    // Called after EndGame has announced the end; the result screen hooks in
    // here.
    void setEndOfGameHandler(std::function<void()> handler) { afterEnd_ = std::move(handler); }

    const TargetLines &lines() const { return lines_; }
    std::int16_t lineKind() const { return lineKind_; }
    int lastKey() const { return lastKey_; }

    // Exposed for the steps that tests and benchmarks drive one at a time.
    void JudgeInput();
    void NextLine();
    void EchoChant();
    bool LoadTrainingText();
    void BuildHeroLines();
    void BuildRivalLines();
    void BuildVsLines();
    void WaitSeconds(double seconds);
    void WaitPaused(float seconds);
    void PlayCue(Cue cue);

private:
    // START clears the echo record first; the menu and toolbar keep it.
    void startGame(bool newRecord);
    void ResetGame();
    bool CountDown();
    void EndGame();
    bool WaitUntil(double deadline);
    void RefreshCounters();
    bool passStillValid(std::uint64_t serial) const;
    bool refuseBadSettings();
    bool typesText() const;

    Module1 &m_;
    Screen &screen_;
    Platform p_;

    // The main window's own values.
    TargetLines lines_;
    std::int16_t lineCount_ = 0;
    int lastKey_ = 0;
    std::int16_t lineKind_ = 0;
    std::int16_t soundRun_ = 0;
    std::int16_t soundPick_ = 1;

    // Changes whenever play starts, so a judging pass resumed after its game
    // has ended (or a new one has begun) can tell.
    std::uint64_t gameSerial_ = 0;
    bool closing_ = false;
    std::function<void()> afterEnd_;
};

}  // namespace typetoki
