#pragma once
#include "engine/interfaces.h"

#include <QHash>
#include <QObject>

class QSoundEffect;

namespace typetoki {

// One ready-loaded QSoundEffect per cue file: a hit must never wait for a
// file to be read or decoded.
class SoundCues final : public QObject, public Sound {
    Q_OBJECT
public:
    explicit SoundCues(QObject *parent = nullptr);
    void preload(const QStringList &paths) override;
    void stop() override;
    void play(const QString &path) override;

private:
    QSoundEffect *effectFor(const QString &path);

    QHash<QString, QSoundEffect *> effects_;
    QSoundEffect *current_ = nullptr;
};

}  // namespace typetoki
