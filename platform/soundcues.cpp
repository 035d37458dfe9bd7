#include "platform/soundcues.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>
#include <QtEndian>

namespace typetoki {

namespace {

quint32 Le32(const char *p) { return qFromLittleEndian<quint32>(p); }
quint16 Le16(const char *p) { return qFromLittleEndian<quint16>(p); }

}  // namespace

SoundCues::SoundCues(QObject *parent) : QObject(parent) {}

SoundCues::~SoundCues() { stop(); }

SoundCues::Cue SoundCues::ReadWav(const QString &path)
{
    Cue cue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cue;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return cue;
    int channels = 0, rate = 0, bits = 0;
    bool pcm = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = Le32(bytes.constData() + at + 4);
        const qsizetype body = at + 8;
        if (size > bytes.size() - body)
            break;
        if (id == "fmt " && size >= 16) {
            pcm = Le16(bytes.constData() + body) == 1;
            channels = Le16(bytes.constData() + body + 2);
            rate = int(Le32(bytes.constData() + body + 4));
            bits = Le16(bytes.constData() + body + 14);
        } else if (id == "data" && pcm && channels > 0 && rate > 0 && (bits == 8 || bits == 16)) {
            cue.format.setSampleRate(rate);
            cue.format.setChannelCount(channels);
            cue.format.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
            cue.samples = bytes.mid(body, size);
            return cue;
        }
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return cue;
}

const SoundCues::Cue &SoundCues::cueFor(const QString &path)
{
    auto found = cues_.find(path);
    if (found == cues_.end())
        found = cues_.insert(path, ReadWav(path));
    return *found;
}

void SoundCues::preload(const QStringList &paths)
{
    for (const QString &path : paths)
        if (!path.isEmpty())
            cueFor(path);
}

void SoundCues::stop()
{
    if (!sink_)
        return;
    sink_->stop();
    sink_->deleteLater();
    buffer_->deleteLater();
    sink_ = nullptr;
    buffer_ = nullptr;
}

void SoundCues::play(const QString &path)
{
    if (path.isEmpty())
        return;
    const Cue &cue = cueFor(path);
    if (cue.samples.isEmpty())
        return;  // a file that cannot be played is silent
    stop();
    buffer_ = new QBuffer(this);
    buffer_->setData(cue.samples);  // shared, not copied
    buffer_->open(QIODevice::ReadOnly);
    sink_ = new QAudioSink(QMediaDevices::defaultAudioOutput(), cue.format, this);
    sink_->start(buffer_);
}

}  // namespace typetoki
