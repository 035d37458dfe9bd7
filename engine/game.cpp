#include "engine/game.h"

#include "engine/cp932.h"
#include "engine/gamelog.h"
#include "engine/numbers.h"
#include "engine/rank.h"
#include "engine/texthash.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace typetoki {

namespace {

constexpr double kLongestWaitSlice = 0.25;

const QString kHeroBlock = QStringLiteral("eyaeyaeyaeyaeyaeyaeyaeya");
const QString kRivalBlock = QStringLiteral("hikuhikuhikuhikuhikuhiku");

// The chant block written `times` times as one line.
TargetLines Repeated(const QString &block, int times)
{
    TargetLines lines;
    lines.append(block.repeated(times));
    return lines;
}

QString WithoutFirst(const QString &text) { return text.mid(1); }

QString ReplaceLast(const QString &text, const QString &glyph)
{
    return text.left(std::max<qsizetype>(0, text.size() - 1)) + glyph;
}

// The record turns a finished syllable into its glyph; a syllable broken by
// a miss stays as typed.
void ReplaceSyllable(QString &record, QStringView syllable, const QString &glyph)
{
    if (record.endsWith(syllable))
        record = record.left(record.size() - syllable.size()) + glyph;
}

// The first characters of the trimmed input and target line, as the player
// sees them: a look-alike typed on Linux ("〜") is the code page's own
// ("～") of a training text. Nothing else is loosened; an empty side
// matches only an empty side.
bool FirstCharactersMatch(QStringView typed, QStringView target)
{
    if (typed.isEmpty() || target.isEmpty())
        return typed.isEmpty() && target.isEmpty();
    return Cp932Form(typed[0].unicode()) == Cp932Form(target[0].unicode());
}

// The character at the front of a target line, as the history counts it. A
// character beyond U+FFFF is typed as its two halves, two keys of the game,
// and counted on the first; a lone second half is either that rest or a byte
// of the file that was no character at all, and is not counted.
QStringView FirstCharacter(QStringView target)
{
    if (target.isEmpty() || target[0].isLowSurrogate())
        return {};
    if (target[0].isHighSurrogate() && target.size() > 1 && target[1].isLowSurrogate())
        return target.first(2);
    return target.first(1);
}

}  // namespace

const QString kTrainingTextError =
    QStringLiteral("ファイルが存在しません。または、テキストが読み込めません！！");

QString BreakEchoLine(const QString &text, std::int16_t n)
{
    const double length = double(text.size());
    const double unit = 2.0 * n + 2;
    if (std::floor((length + 2) / unit) * unit == length + 2)
        return text + QStringLiteral("\r\n");
    return text;
}

Game::Game(Module1 &state, Screen &screen, Platform platform)
    : m_(state), screen_(screen), p_(platform)
{
    result_.scoreText = QStringLiteral("0");  // Text3 as designed
}

void Game::show(Box box, QString &kept, const QString &text)
{
    kept = text;
    screen_.setText(box, text);
}

// ---- Buttons and the input box ----------------------------------------

void Game::Command2_Click()
{
    if (m_.gamePhase != kIdle)
        return;
    startGame(true);
}

void Game::Command3_Click()
{
    if (m_.gamePhase != kPlaying)
        return;
    m_.gamePhase = kIdle;
    screen_.setText(Box::Label4, QStringLiteral("0"));
    ShowNextKey();
    Ended(Result(true), false);
}

void Game::Command4_Click() { screen_.focusInput(); }

void Game::Command5_Click()
{
    if (m_.gamePhase != kIdle)
        return;
    m_.gameMode = NextSelectableMode(m_.gameMode);
    ShowMode();
}

void Game::ShowMode()
{
    // A mode SELECT never reaches (only a hand-edited file holds one) is as
    // unknown here as a number no mode has.
    const ModeRow *row = RowOf(m_.gameMode);
    if (row && row->selectable)
        screen_.setModeLabel(Text(row->caption), row->color);
}

void Game::ShowTimeLimit() { screen_.setText(Box::Label4, QString::number(m_.timeLimitSeconds)); }

void Game::Command1_Click()
{
    if (m_.gamePhase != kPlaying)
        return;
    JudgeInput();
}

void Game::Text1_KeyPress(int keyCode)
{
    if (m_.gamePhase != kPlaying || m_.inputLocked != 0)
        return;
    lastKey_ = keyCode;
    // In the chant modes a Backspace throws away the whole attempt; the key
    // itself still reaches the (now empty) box afterwards.
    if (keyCode == 8 && !typesText())
        screen_.setText(Box::Text1, QString());
}

void Game::Text1_Change()
{
    if (m_.gamePhase != kPlaying || m_.inputLocked != 0)
        return;
    const bool printable = lastKey_ >= 33 && lastKey_ <= 126;
    // A romaji line's box holds the keys hit so far, then keys typed one by
    // one: a Backspace or a cut cannot take back a judged key, nor a paste
    // add keys nobody typed, so the box is put back.
    if (romajiLine_) {
        const QString box = screen_.inputText();
        const QString &typed = romajiLine_->typed();
        if (!box.startsWith(typed) || (box.size() > typed.size() && !printable)) {
            screen_.setText(Box::Text1, typed);
            return;
        }
    }
    if (!printable)
        return;
    JudgeInput();
}

// ---- Starting a game ---------------------------------------------------

bool Game::typesText() const
{
    const ModeRow *row = RowOf(m_.gameMode);
    return row && row->typesText;
}

bool Game::refuseBadSettings()
{
    // Only a hand-edited settings file gets here; a game with such values
    // would have no lines to show or would divide by its time limit. A mode
    // SELECT never reaches is played from another, never by its number.
    const ModeRow *row = RowOf(m_.gameMode);
    if (!row || !row->selectable) {
        screen_.showMessage(QStringLiteral("ゲームモード %1 は使えません。モードは 1 から 4 です。"
                                           "SELECT でモードを選び直してください。")
                                .arg(int(m_.gameMode)));
        return true;
    }
    if (m_.timeLimitSeconds <= 0) {
        screen_.showMessage(QStringLiteral("制限時間 %1 秒ではゲームができません。"
                                           "ゲームの設定で制限時間を選び直してください。")
                                .arg(m_.timeLimitSeconds));
        return true;
    }
    return false;
}

void Game::StartGame() { startGame(false); }

void Game::startGame(bool newRecord)
{
    if (m_.gamePhase != kIdle || closing_)
        return;
    // Every refusal comes before anything is reset: a game that cannot
    // start leaves the last one's figures, echo boxes and record on show.
    if (refuseBadSettings())
        return;
    switch (RowOf(m_.gameMode)->lines) {
    case Lines::HeroChant: BuildHeroLines(); break;
    case Lines::RivalChant: BuildRivalLines(); break;
    case Lines::BothChants: BuildVsLines(); break;
    case Lines::TrainingText:
        if (!LoadTrainingText() || !HasLineToShow()) {
            screen_.showMessage(kTrainingTextError);
            return;
        }
        break;
    }
    romajiText_.reset();
    romajiLine_.reset();
    if (PlayedMode(m_.gameMode, m_.romajiTyping) == GameMode::Romaji && !PrepareRomaji())
        return;
    if (newRecord)
        m_.currentTarget.clear();
    ResetGame();
    // The history tells texts apart, and an edited text from the one it was,
    // by the lines as loaded; hashed now rather than at the end, where the
    // result screen would wait for a long text.
    if (RowOf(m_.gameMode)->lines == Lines::TrainingText) {
        result_.trainingTextPath = m_.trainingTextPath;
        result_.trainingTextHash = TrainingTextHash(lines_);
    }
    p_.sound.setCueFiles(m_.heroSoundPath, m_.rivalSoundPath, m_.missSoundPath);
    if (!CountDown())
        return;
    screen_.setText(Box::Text1, QString());
    m_.startTime = p_.clock.now();
    m_.gamePhase = kPlaying;
    qCInfo(lcGame, "playing");
    ++gameSerial_;
    screen_.focusInput();
    NextLine();
}

void Game::ResetGame()
{
    p_.random.reseed();
    show(Box::Text5_0, echo_[0], QString());
    show(Box::Text5_1, echo_[1], QString());
    m_.score = 0;
    m_.pausedSeconds = 0;
    m_.inputCount = 0;
    m_.correctCount = 0;
    m_.peakSpeed = 0;
    screen_.focusInput();
    result_ = GameResult();
    keyAt_ = kNoKey;
    unitStart_ = {kNoKey, kNoKey};
    for (int i = 3; i <= 7; ++i)
        screen_.setText(Text2(i), QString());
    screen_.setInputGuide(QString());
    ShowNextKey();
    show(Box::Text3, result_.scoreText, QStringLiteral("0"));
}

bool Game::CountDown()
{
    m_.gamePhase = kCountdown;
    double t0 = p_.clock.now();
    screen_.setText(Box::Label4, QStringLiteral("3"));
    screen_.setLabel4Color(kCountdownCyan);
    // Nothing else writes the label meanwhile: every command that could is
    // refused during the countdown.
    for (int shown = 3; shown != 0;) {
        if (!WaitUntil(t0 + 1))
            return false;
        --shown;
        screen_.setText(Box::Label4, QString::number(shown));
        t0 = p_.clock.now();
    }
    ShowTimeLimit();
    screen_.setLabel4Color(kTimeRed);
    return true;
}

// ---- Target lines -----------------------------------------------------

void Game::BuildHeroLines() { lines_ = Repeated(kHeroBlock, 100); }

void Game::BuildRivalLines() { lines_ = Repeated(kRivalBlock, 500); }

void Game::BuildVsLines()
{
    lines_ = TargetLines();
    for (int k = 1; k <= 5; ++k)
        lines_.append(kHeroBlock.repeated(k));
    for (int k = 1; k <= 5; ++k)
        lines_.append(kRivalBlock.repeated(k));
}

bool Game::LoadTrainingText()
{
    if (m_.trainingTextPath.isEmpty())
        m_.trainingTextPath = m_.inProgramFolder(QStringLiteral("test.txt"));
    const QString path = m_.trainingTextPath;
    // One retry: a file being saved by an editor at that very moment can fail
    // once and read fine a moment later.
    std::optional<TargetLines> read = ReadTrainingText(path);
    if (!read)
        read = ReadTrainingText(path);
    m_.trainingTextPath = path;
    // Without a single line to type the game cannot start; the previous
    // game's lines are not shown in their place.
    if (!read || read->count() == 0)
        return false;
    lines_ = std::move(*read);
    lineCount_ = std::int16_t(std::min<qsizetype>(lines_.count(), 32767));
    return true;
}

// A text of nothing but notes has nothing to show once they are taken out.
// Romaji games tell of lines with nothing to type on their own.
bool Game::HasLineToShow() const
{
    if (PlayedMode(m_.gameMode, m_.romajiTyping) == GameMode::Romaji)
        return true;
    for (qsizetype i = 1; i <= lines_.count(); ++i) {
        if (!WithoutRuby(lines_[i]).isEmpty())
            return true;
    }
    return false;
}

bool Game::PrepareRomaji()
{
    QStringList lines;
    lines.reserve(lines_.count());
    for (qsizetype i = 1; i <= lines_.count(); ++i)
        lines.append(lines_[i]);
    std::shared_ptr<const Reader> reader;
    if (std::any_of(lines.cbegin(), lines.cend(), NeedsDictionary)) {
        QString problem;
        if (readers_)
            reader = readers_->reader(&problem);
        if (!reader && !toldNoDictionary_) {
            toldNoDictionary_ = true;
            if (problem.isEmpty())
                problem = QStringLiteral("漢字の読みに使う辞書がありません。");
            screen_.showMessage(problem + QStringLiteral("\n漢字は読めないので飛ばします。"
                                                         "かなと記号をローマ字で打ってください。"));
        }
    }
    // Told before the countdown rather than met as a line that cannot be
    // finished. A line counts once read: the dictionary may know none of its
    // words. Most texts stop at their first line.
    const auto typable = [&reader](const QString &line) {
        return !ReadLine(line, reader.get()).kana.isEmpty();
    };
    if (std::none_of(lines.cbegin(), lines.cend(), typable)) {
        screen_.showMessage(QStringLiteral("この文章にはローマ字で打てる文字がありません。"
                                           "かなの入った文章を選んでください。"));
        return false;
    }
    romajiText_ = std::make_unique<RomajiText>(std::move(lines), std::move(reader));
    return true;
}

void Game::NextLine()
{
    const qsizetype n = lines_.count();
    if (n < 1)
        return;
    const double r = p_.random.next();
    const auto i = std::clamp<qsizetype>(qsizetype(std::floor(r * double(n) + 1)), 1, n);
    if (romajiText_)
        return NextRomajiLine(i);
    QString line = lines_[i];
    // A text's ruby and notes are not typed; a line that was nothing else
    // gives way to the next that has more.
    if (RowOf(m_.gameMode)->lines == Lines::TrainingText) {
        line = WithoutRuby(line);
        for (qsizetype k = 1; k < n && line.isEmpty(); ++k)
            line = WithoutRuby(lines_[(i - 1 + k) % n + 1]);
    }
    showTargetLine(line);
    lineKind_ = LineKind::Other;
    InputMethod method = InputMethod::Hiragana;
    if (line.startsWith(QStringLiteral("eya"))) {
        method = InputMethod::Off;
        lineKind_ = LineKind::Hero;
    }
    if (line.startsWith(QStringLiteral("hiku"))) {
        method = InputMethod::Off;
        lineKind_ = LineKind::Rival;
    }
    screen_.setInputMethod(method);
    ShowNextKey();
}

void Game::NextRomajiLine(qsizetype drawn)
{
    // A line with nothing to type (kanji without a dictionary or that it
    // does not know, signs only) gives way to the next one that has something.
    const qsizetype n = lines_.count();
    LineReading reading;
    for (qsizetype k = 0; k < n; ++k) {
        reading = romajiText_->reading((drawn - 1 + k) % n);
        if (!reading.kana.isEmpty())
            break;
    }
    romajiLine_.emplace(std::move(reading));
    lineKind_ = LineKind::Other;
    screen_.setInputMethod(InputMethod::Off);
    screen_.setText(Box::Text1, QString());
    showRomajiLine();
}

void Game::showRomajiLine()
{
    const RomajiLine &line = *romajiLine_;
    // The box shows far less than this; a longer line is cut so that each
    // key copies no more of it.
    showTargetLine(line.reading().line.mid(line.doneUpTo(), 1024));
    screen_.setInputGuide(line.guide());
    ShowNextKey();
}

void Game::ShowNextKey(bool missed)
{
    QChar key;
    const bool playing = m_.gamePhase == kPlaying;
    if (playing && romajiLine_) {
        key = romajiLine_->nextKey();
    } else if (playing && lineKind_ != LineKind::Other) {
        // The first character the judge compares, without copying a long
        // chant line to trim it.
        const auto first = std::find_if_not(targetLine_.cbegin(), targetLine_.cend(), IsBlank);
        if (first != targetLine_.cend())
            key = *first;
    }
    screen_.setNextKey(key, missed);
}

// ---- Judging ------------------------------------------------------------

bool Game::passStillValid(std::uint64_t serial) const
{
    return !closing_ && m_.gamePhase == kPlaying && serial == gameSerial_;
}

void Game::JudgeInput()
{
    if (romajiLine_)
        return JudgeRomaji();
    const std::uint64_t serial = gameSerial_;
    // More than one character at once is a phrase the input method
    // committed: the player's time went into the whole of it, none of its
    // characters took a time of its own.
    const QString arrived = screen_.inputText();
    qsizetype unkeyed = arrived.toUcs4().size() > 1 ? arrived.size() : 0;
    for (;;) {
        const QString typed = screen_.inputText();
        if (typed.isEmpty())
            break;
        CountJudged(typed.at(0));

        const QString typedTrim = TrimBlanks(typed);
        const QString targetTrim = TrimBlanks(targetLine_);
        const bool hit = FirstCharactersMatch(typedTrim, targetTrim);
        const QStringView typedFirst = FirstCharacter(typedTrim.isEmpty() ? QStringView(typed) : typedTrim);
        CountJudgedKey(FirstCharacter(targetTrim), typedFirst, hit, unkeyed == 0);
        unkeyed = std::max<qsizetype>(0, unkeyed - 1);

        if (hit) {
            EchoChant();
            ScoreHit();
            screen_.setText(Box::Text1, WithoutFirst(typedTrim));
            showTargetLine(WithoutFirst(targetTrim));
            ShowNextKey();
            PlayHitCue();
            if (typesText())
                WaitPaused(m_.sliderValue);
            else
                WaitSeconds(0.05);
            // The game may have ended (or another begun) during the pause; the
            // rest of this pass belongs to a game that is over.
            if (!passStillValid(serial))
                return;
            continue;
        }

        PlayCue(Cue::Miss);
        ShowNextKey(true);
        if (lineKind_ != LineKind::Other)
            screen_.setText(Box::Text1, QString());
        if (!FlashMiss(serial))
            return;
        break;
    }
    RefreshCounters();
    if (targetLine_.isEmpty())
        NextLine();
}

void Game::JudgeRomaji()
{
    const std::uint64_t serial = gameSerial_;
    for (;;) {
        // Read afresh each time round: a key typed during the pause may have
        // been judged, or a new line begun, by a nested pass.
        const QString box = screen_.inputText();
        const QString typed = romajiLine_->typed();
        if (box.size() <= typed.size() || !box.startsWith(typed))
            break;
        const QChar key = box.at(typed.size());
        CountJudged(key);
        // The history counts the key the line asked for: the one typed on a
        // hit; on a miss, which leaves the line as it was, the guide's next.
        const bool hit = romajiLine_->type(key).hit;
        const QChar asked = hit ? key : romajiLine_->nextKey();
        const QString expected = asked.isNull() ? QString() : QString(asked);
        CountJudgedKey(expected, QStringView(&key, 1), hit, true);

        if (hit) {
            ScoreHit();
            // The next line comes at once, so that a key typed during the
            // pause is judged against it.
            if (romajiLine_->finished())
                NextLine();
            else
                showRomajiLine();
            PlayHitCue();
            // Keys follow each other as fast as a chant's: the chant's short
            // pause, counted. The training pause would stop the clock for
            // most of the game.
            WaitSeconds(0.05);
            if (!passStillValid(serial))
                return;
            continue;
        }

        PlayCue(Cue::Miss);
        ShowNextKey(true);
        // The wrong key, and anything typed after it, go; the keys hit stay.
        screen_.setText(Box::Text1, typed);
        if (!FlashMiss(serial))
            return;
        break;
    }
    RefreshCounters();
}

void Game::CountJudged(QChar key)
{
    m_.currentTarget += key;
    ++m_.inputCount;
}

void Game::ScoreHit()
{
    ++m_.correctCount;
    // Each hit is worth 2.2 points times the accuracy the board shows at
    // that moment, whatever the counters say by now.
    m_.score = m_.score + ReadNumber(result_.accuracyText) * 2.2 / 100;
}

void Game::PlayHitCue()
{
    switch (lineKind_) {
    case LineKind::Hero: PlayCue(Cue::Hero); break;
    case LineKind::Rival: PlayCue(Cue::Rival); break;
    case LineKind::Other:
        if (soundRun_ > 5)
            soundRun_ = 0;
        if (soundRun_ == 0)
            soundPick_ = std::int16_t(std::floor(2 * p_.random.next() + 1));
        ++soundRun_;
        PlayCue(soundPick_ == 1 ? Cue::Hero : Cue::Rival);
        break;
    }
}

bool Game::FlashMiss(std::uint64_t serial)
{
    m_.inputLocked = 1;
    bool valid = true;
    for (int flash = 0; flash < 2 && valid; ++flash) {
        screen_.setBackground(kFlashRed);
        WaitSeconds(0.05);
        screen_.setBackground(kGreenBackground);
        valid = passStillValid(serial);
        if (valid) {
            WaitSeconds(0.05);
            valid = passStillValid(serial);
        }
    }
    m_.inputLocked = 0;
    return valid;
}

void Game::CountJudgedKey(QStringView target, QStringView typed, bool hit, bool timed)
{
    // Counted time, as the game's clock counts it: the training pause after a
    // hit is the game's, not the player's. It is added as the pause begins,
    // so a key typed during the pause reads earlier than the hit before it;
    // such a key took the player no time of their own.
    qCInfo(lcGame, hit ? "hit" : "miss");
    const double before = keyAt_;
    keyAt_ = std::max(before, p_.clock.now() - m_.pausedSeconds);
    if (target.isEmpty())
        return;
    // Looked up without a copy of the character: a copy is made only for a
    // character the game has not met yet.
    auto it = result_.targets.find(QString::fromRawData(target.data(), target.size()));
    if (it == result_.targets.end())
        it = result_.targets.emplace(target.toString(), TargetStats()).first;
    TargetStats &stats = it->second;
    ++stats.targeted;
    if (!hit) {
        ++stats.missed;
        if (!typed.isEmpty())
            ++stats.typedInstead[typed.toString()];
    } else if (!timed) {
        ++result_.committedHits;
        if (before != kNoKey)
            result_.committedSeconds += keyAt_ - before;
    } else if (before != kNoKey) {
        stats.hitSeconds += keyAt_ - before;
        ++stats.timedHits;
    }
}

void Game::RefreshCounters()
{
    // A hit scores by the accuracy the board shows, which only this changes.
    qCInfo(lcGame, "counters");
    show(Box::Text2_3, result_.judgedText, QString::number(m_.inputCount));
    show(Box::Text2_4, result_.correctText, QString::number(m_.correctCount));
    if (m_.inputCount > 0)
        show(Box::Text2_5, result_.accuracyText,
             FormatNumber(std::floor(double(m_.correctCount) / double(m_.inputCount) * 10000) / 100));
}

// ---- Chant echo -----------------------------------------------------------

void Game::EchoChant()
{
    // What each letter of a chant does to the echo box and to the record.
    enum class Step { Glyph, Pending, Complete };
    struct Letter {
        char key;        // lower case; the upper-case key does the same
        Step step;
        const char16_t *text;
        bool opensUnit;  // the box starts afresh here once past 59 characters
        bool endsUnit;   // the box may break its line here
        const char16_t *syllable;  // the record's romaji this glyph replaces
    };
    static const Letter hero[] = {
        {'e', Step::Glyph, u"エ", true, false, nullptr},
        {'y', Step::Pending, u"y", false, false, nullptr},
        {'a', Step::Complete, u"ヤ", false, true, u"ya"},
    };
    static const Letter rival[] = {
        {'h', Step::Pending, u"h", true, false, nullptr},
        {'i', Step::Complete, u"非", false, false, u"hi"},
        {'k', Step::Pending, u"k", false, false, nullptr},
        {'u', Step::Complete, u"苦", false, true, u"ku"},
    };
    if (lineKind_ == LineKind::Other)
        return;
    const int chant = lineKind_ == LineKind::Hero ? 0 : 1;
    const std::span<const Letter> letters = chant == 0 ? std::span<const Letter>(hero)
                                                       : std::span<const Letter>(rival);
    const auto letter = std::find_if(letters.begin(), letters.end(), [this](const Letter &l) {
        return lastKey_ == l.key || lastKey_ == l.key - 'a' + 'A';
    });
    if (letter == letters.end())
        return;

    const QString text = QString::fromUtf16(letter->text);
    QString box = echo_[chant];
    if (letter->opensUnit && box.size() > 59)
        box.clear();
    QString &record = m_.currentTarget;
    switch (letter->step) {
    case Step::Glyph:
        box += text;
        record = ReplaceLast(record, text);
        break;
    case Step::Pending:
        box += text;
        break;
    case Step::Complete:
        box = ReplaceLast(box, text);
        ReplaceSyllable(record, QStringView(letter->syllable), text);
        break;
    }
    if (letter->endsUnit)
        box = BreakEchoLine(box, 3);
    show(Text5(chant), echo_[chant], box);

    // The history times each unit from the hit on its first letter to the
    // hit on its last, misses in between included.
    double &start = unitStart_[std::size_t(chant)];
    if (letter->opensUnit) {
        start = keyAt_;
    } else if (letter->endsUnit && start != kNoKey) {
        (chant == 0 ? result_.heroUnitSeconds : result_.rivalUnitSeconds).push_back(float(keyAt_ - start));
        start = kNoKey;
    }
}

// ---- Sound and waits -----------------------------------------------------

void Game::PlayCue(Cue cue)
{
    p_.sound.stop();
    p_.sound.play(cue);
}

bool Game::WaitUntil(double deadline)
{
    // A wait inside a game ends with that game: a training pause typed far
    // beyond the slider's range must not outlive END or the end of time.
    const bool inPlay = m_.gamePhase == kPlaying;
    const std::uint64_t serial = gameSerial_;
    for (double now = p_.clock.now(); now < deadline; now = p_.clock.now()) {
        if (closing_ || (inPlay && !passStillValid(serial)))
            return false;
        // In slices, so that a long wait notices the end of its game.
        p_.events.processEvents(std::min(deadline - now, kLongestWaitSlice));
    }
    return !closing_;
}

void Game::WaitSeconds(double seconds) { WaitUntil(p_.clock.now() + seconds); }

void Game::WaitPaused(float seconds)
{
    // A negative pause (typed into the settings) waits for nothing and must
    // not give the player extra time.
    if (!(seconds > 0))
        return WaitSeconds(0);
    m_.pausedSeconds = m_.pausedSeconds + double(seconds);
    WaitSeconds(double(seconds));
}

// ---- Clock and end of game ---------------------------------------------------

void Game::Timer1_Timer()
{
    if (m_.gamePhase != kPlaying)
        return;
    const double limit = m_.timeLimitSeconds;
    auto elapsed = [this] { return p_.clock.now() - m_.startTime; };

    if (std::floor(limit - elapsed() + 1) >= limit)
        return;
    const double secondsLeft = std::floor(limit - elapsed() + 1 + m_.pausedSeconds);
    screen_.setText(Box::Label4, FormatNumber(secondsLeft));
    show(Box::Text3, result_.scoreText, CutText(m_.score));
    // Until a whole second of counted time has passed (training pauses can
    // outgrow the elapsed time) there is no speed to show yet.
    const double countedSeconds = std::floor(elapsed() - m_.pausedSeconds);
    if (countedSeconds > 0)
        show(Box::Text2_6, result_.speedText, CutText(m_.correctCount / countedSeconds));
    // The peak is compared with the speed as the board shows it, which may
    // be an earlier tick's.
    if (std::floor(elapsed() + m_.pausedSeconds) > 4) {
        const double speed = ReadNumber(result_.speedText);
        if (speed > m_.peakSpeed) {
            m_.peakSpeed = speed;
            show(Box::Text2_7, result_.peakText, FormatNumber(m_.peakSpeed));
        }
    }
    if (secondsLeft < 1) {
        m_.gamePhase = kIdle;
        EndGame();
    }
}

void Game::EndGame()
{
    m_.scoreBoardFlag = 1;
    ShowNextKey();
    // Hits as the board shows them, over the whole time limit.
    const double hits = ReadNumber(result_.correctText);
    show(Box::Text2_6, result_.speedText, CutText(hits / m_.timeLimitSeconds));
    const GameResult result = Result(false);
    qCInfo(lcGame, "time up");
    Ended(result, true);
}

void Game::Ended(const GameResult &result, bool announce)
{
    if (keep_)
        keep_(result);
    if (announce)
        screen_.showMessage(QStringLiteral("終了！"));
    if (afterEnd_)
        afterEnd_(result);
}

GameResult Game::Result(bool abandoned) const
{
    GameResult result = result_;
    result.playedAt = p_.clock.localDateTime();
    // A romaji game is ranked and kept apart from the training it is
    // played from.
    result.gameMode = romajiText_ ? GameMode::Romaji : m_.gameMode;
    result.timeLimitSeconds = m_.timeLimitSeconds;
    result.abandoned = abandoned;
    result.inputCount = m_.inputCount;
    result.correctCount = m_.correctCount;
    result.echoRecord = m_.currentTarget;
    // An abandoned game has no grade: it never reaches the result screen.
    if (!abandoned)
        Grade(result);
    return result;
}

void Game::Shutdown()
{
    const bool playing = m_.gamePhase == kPlaying;
    closing_ = true;
    m_.gamePhase = kIdle;
    m_.inputLocked = 0;
    p_.events.cancelWaits();
    ShowNextKey();
    // Its history keeps it, like one ended with END.
    if (playing)
        Ended(Result(true), false);
}

}  // namespace typetoki
