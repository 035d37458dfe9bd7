#pragma once
#include "engine/interfaces.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QHash>
#include <QObject>

class QAudioSink;
class QBuffer;

namespace typetoki {

// Cues held decoded in memory, each played through a fresh audio stream: a
// hit never waits for a file to be read, and a QSoundEffect replayed over and
// over (stop, then play) fell silent after a few plays on PulseAudio.
class SoundCues final : public QObject, public Sound {
    Q_OBJECT
public:
    explicit SoundCues(QObject *parent = nullptr);
    ~SoundCues() override;
    void preload(const QStringList &paths) override;
    void stop() override;
    void play(const QString &path) override;

    struct Cue {
        QAudioFormat format;
        QByteArray samples;  // empty: the file could not be read as PCM WAV
    };
    // The samples and format of a PCM WAV file.
    static Cue ReadWav(const QString &path);

private:
    const Cue &cueFor(const QString &path);

    QHash<QString, Cue> cues_;
    QAudioSink *sink_ = nullptr;
    QBuffer *buffer_ = nullptr;
};

}  // namespace typetoki
