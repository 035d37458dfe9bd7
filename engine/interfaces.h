#pragma once
// What the game asks of the world around it. The main window, the real clock
// and the sound device implement these; tests put doubles in their place and
// play whole games in milliseconds.

#include "engine/rgb.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace typetoki {

// The boxes and labels of the main window that the game writes.
enum class Box {
    Text1,    // input
    Text4,    // target line
    Text3,    // score
    Label4,   // countdown, then seconds left
    Text2_3,  // characters judged
    Text2_4,  // correct characters
    Text2_5,  // accuracy
    Text2_6,  // speed
    Text2_7,  // peak speed
    Text5_0,  // hero chant echo
    Text5_1,  // rival chant echo
};

constexpr Box Text2(int index) { return Box(int(Box::Text2_3) + index - 3); }
constexpr Box Text5(int index) { return Box(int(Box::Text5_0) + index); }

// Japanese entry for ordinary lines; off for chant lines, so that each romaji
// letter reaches the input box the moment it is typed.
enum class InputMethod { Off = 2, Hiragana = 4 };

// The main window as the game sees it: it writes every box and label, and
// reads back only the input box the player types in. Every other figure the
// game keeps itself, as it wrote it.
class Screen {
public:
    virtual ~Screen() = default;
    virtual QString inputText() const = 0;  // Text1
    // Setting Text1 to a different text raises the game's change handler
    // before this returns, as a real edit box does.
    virtual void setText(Box box, const QString &text) = 0;
    virtual void setLabel4Color(Rgb color) = 0;
    virtual void setModeLabel(const QString &caption, Rgb color) = 0;
    virtual void setInputMethod(InputMethod mode) = 0;
    // The rest of the romaji suggested for a line typed key by key, shown in
    // grey after what the input box holds; empty on every other line.
    virtual void setInputGuide(const QString &rest) = 0;
    // The key the line asks for next, for a keyboard that lights it: the
    // guide's on a romaji line, the chant's letter on a chant line; none on
    // lines typed through the input method and between games. missed: the
    // key just typed was not this one.
    virtual void setNextKey(QChar key, bool missed)
    {
        Q_UNUSED(key);
        Q_UNUSED(missed);
    }
    // The window's and the score board's background (the miss flash).
    virtual void setBackground(Rgb color) = 0;
    virtual void focusInput() = 0;
    // A message box with an OK button and the application title; returns
    // when the player has closed it.
    virtual void showMessage(const QString &text) = 0;
};

// Seconds on a monotonic clock: a game that runs across midnight, or across a
// change of the system time, still ends on time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    // The calendar's local date and time, which dates a game that ends; kept
    // apart from now(), which only measures.
    virtual QDateTime localDateTime() const = 0;
};

// Handles the window's events while a handler waits, so keys, clicks and
// ticks run nested inside the wait.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles events for at most this many seconds; may return earlier.
    virtual void processEvents(double seconds) = 0;
    // The window is closing: every wait in progress ends at once.
    virtual void cancelWaits() = 0;
};

class Random {
public:
    virtual ~Random() = default;
    virtual void reseed() = 0;
    // Uniform in [0, 1).
    virtual double next() = 0;
};

// The game's three cues, named by what sounds them rather than by file.
enum class Cue { Hero, Rival, Miss };

// Why a sound file cannot be played, as the settings dialog tells the player.
enum class SoundProblem {
    None,
    Missing,   // no such file
    NotSound,  // not a file of sound the game can read
    TooLong,   // longer than a cue may last, or too large a file
};

class Sound {
public:
    virtual ~Sound() = default;
    // The files the cues play. They are read ahead, so that a cue never waits
    // for a disk.
    virtual void setCueFiles(const QString &hero, const QString &rival, const QString &miss) = 0;
    // Cuts off whatever cue is sounding.
    virtual void stop() = 0;
    // Starts a cue and returns at once; a file that cannot be played is silent.
    virtual void play(Cue cue) = 0;
    // The settings dialog's play button: reads the file anew and starts it,
    // or tells why it cannot.
    virtual SoundProblem preview(const QString &path) = 0;
    // The player's options: no cues at all, and their loudness.
    virtual void setMuted(bool muted) = 0;
    virtual void setVolume(int percent) = 0;
};

}  // namespace typetoki
