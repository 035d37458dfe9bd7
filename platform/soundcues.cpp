#include "platform/soundcues.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace typetoki {

SoundCues::SoundCues(QObject *parent) : QObject(parent) {}

QSoundEffect *SoundCues::effectFor(const QString &path)
{
    if (QSoundEffect *effect = effects_.value(path))
        return effect;
    auto *effect = new QSoundEffect(this);
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effects_.insert(path, effect);
    return effect;
}

void SoundCues::preload(const QStringList &paths)
{
    for (const QString &path : paths)
        if (!path.isEmpty())
            effectFor(path);
}

void SoundCues::stop()
{
    if (current_)
        current_->stop();
    current_ = nullptr;
}

void SoundCues::play(const QString &path)
{
    if (path.isEmpty())
        return;
    current_ = effectFor(path);
    current_->play();
}

}  // namespace typetoki
