#pragma once
// The rules of play: starting a game, the target lines, judging every typed
// character, the chant echo, the clock and the end of a game. The main window
// forwards its events here and shows what the game writes to its Screen;
// the game keeps every figure it shows, and a game ends in one GameResult.

#include "engine/gamemode.h"
#include "engine/gameresult.h"
#include "engine/gamestate.h"
#include "engine/interfaces.h"
#include "engine/reading.h"
#include "engine/romaji.h"
#include "engine/romajitext.h"
#include "engine/targetlines.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
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

// Which chant a line is, as NextLine classifies it.
enum class LineKind : std::int16_t { Other = 0, Hero = 1, Rival = 2 };

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

    // The mode label and the time label as the settings stand, once they
    // have been read at start-up; a mode the game does not have leaves the
    // mode label as it is.
    void ShowMode();
    void ShowTimeLimit();

    // Where romaji games get the dictionary for lines with kanji; without
    // one their kanji are skipped.
    void setReaderSource(ReaderSource *source) { readers_ = source; }
    ReaderSource *readerSource() const { return readers_; }

    // The window is closing: every wait ends at once and no game goes on; a
    // game in play ends as if abandoned with END.
    void Shutdown();
    bool shuttingDown() const { return closing_; }

    // Every game that ends goes here as one value: a finished one after
    // EndGame has announced the end (the result screen hooks in), one
    // abandoned with END, or cut short by the window closing, at once,
    // marked so. While the window closes (shuttingDown()) the handler must
    // open no window.
    void setEndOfGameHandler(std::function<void(const GameResult &)> handler)
    {
        afterEnd_ = std::move(handler);
    }
    // The same value the moment it exists: for a finished game before
    // 「終了！」 is shown, so that whatever happens while the player looks at
    // it (a logout, a crash) the game is already kept.
    void setGameKeptHandler(std::function<void(const GameResult &)> handler)
    {
        keep_ = std::move(handler);
    }

    // What the main window shows, as the game wrote it: the whole target
    // line (Text4) and the echo boxes (Text5(0) and Text5(1), with their
    // CR LF line ends).
    const QString &targetLine() const { return targetLine_; }
    const QString &echoText(int chant) const { return echo_[std::size_t(chant)]; }

    const TargetLines &lines() const { return lines_; }
    LineKind lineKind() const { return lineKind_; }
    // The line typed as romaji, while a romaji game shows one.
    const RomajiLine *romajiLine() const { return romajiLine_ ? &*romajiLine_ : nullptr; }

private:
    // START clears the echo record first; the menu and toolbar keep it.
    void startGame(bool newRecord);
    bool refuseBadSettings();
    bool typesText() const;
    void ResetGame();
    bool CountDown();
    void BuildHeroLines();
    void BuildRivalLines();
    void BuildVsLines();
    bool LoadTrainingText();
    // A romaji game: the text's readings start on their worker. False (the
    // player told why) when no line has anything to type.
    bool PrepareRomaji();
    bool HasLineToShow() const;
    void NextLine();
    void NextRomajiLine(qsizetype drawn);
    void showRomajiLine();
    // Tells the screen the key the line asks for next (none between games).
    void ShowNextKey(bool missed = false);
    void JudgeInput();
    void JudgeRomaji();
    void CountJudged(QChar key);
    void ScoreHit();
    void PlayHitCue();
    // The miss flash with the keys locked out; false when the game ended
    // during it.
    bool FlashMiss(std::uint64_t serial);
    // What the history keeps of one judged key: the target (the characters
    // the line asked for, empty when it asked for nothing) counts as
    // targeted, a miss also as missed with the character typed instead, and
    // a timed hit adds the time since the key before (an untimed one, part
    // of a committed phrase, adds it to the phrase's). Every judge calls it
    // once a key, hit or miss, before it acts on the key; the key's moment
    // is then in keyAt_.
    void CountJudgedKey(QStringView target, QStringView typed, bool hit, bool timed);
    void EchoChant();
    void RefreshCounters();
    bool passStillValid(std::uint64_t serial) const;
    void PlayCue(Cue cue);
    bool WaitUntil(double deadline);
    void WaitSeconds(double seconds);
    void WaitPaused(float seconds);
    void EndGame();
    // The result of the game as it stands, for the handler.
    GameResult Result(bool abandoned) const;

    // Writes a box and keeps what it now shows.
    void show(Box box, QString &kept, const QString &text);
    void showTargetLine(const QString &line) { show(Box::Text4, targetLine_, line); }

    Module1 &m_;
    Screen &screen_;
    Platform p_;

    // The main window's own values.
    TargetLines lines_;
    std::int16_t lineCount_ = 0;
    int lastKey_ = 0;
    LineKind lineKind_ = LineKind::Other;
    std::int16_t soundRun_ = 0;
    std::int16_t soundPick_ = 1;

    // Romaji games: the readings of the text, the line being typed, and the
    // dictionary's trouble told once a run.
    ReaderSource *readers_ = nullptr;
    std::unique_ptr<RomajiText> romajiText_;
    std::optional<RomajiLine> romajiLine_;
    bool toldNoDictionary_ = false;

    // What the main window shows.
    QString targetLine_;
    std::array<QString, 2> echo_;
    // The game under way as it is played: its figures as the score board
    // shows them, and the place for the detail a history of games keeps of
    // it (each target character's hits, misses and times, and the time of
    // every chant unit). It starts afresh with each game and is handed over,
    // completed, when the game ends.
    GameResult result_;
    // When the key being judged (or, between keys, the last one) was typed,
    // in counted time; kNoKey before the first key of a game.
    static constexpr double kNoKey = -std::numeric_limits<double>::infinity();
    double keyAt_ = kNoKey;
    // Where the chant unit under way began, per chant; kNoKey when none is.
    std::array<double, 2> unitStart_{kNoKey, kNoKey};

    // Changes whenever play starts, so a judging pass resumed after its game
    // has ended (or a new one has begun) can tell.
    std::uint64_t gameSerial_ = 0;
    bool closing_ = false;
    std::function<void(const GameResult &)> afterEnd_;
    std::function<void(const GameResult &)> keep_;
    // Hands the result to keep_ first, then to afterEnd_ unless finished
    // games announce their end in between (announce false).
    void Ended(const GameResult &result, bool announce);
};

}  // namespace typetoki
