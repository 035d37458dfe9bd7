#include "platform/pulseoutput.h"

#include <QByteArray>
#include <QtGlobal>
#include <pulse/pulseaudio.h>

namespace typetoki {

namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr pa_sample_spec kSpec{PA_SAMPLE_S16NE, kCueRate, kCueChannels};
// The server asks for data each time this much has played, and each request
// wakes PulseAudio's thread: at 2.5 ms that woke it some 400 times a second
// while a cue sounded, half the game's processor time at a typist's pace. So
// the stream is topped up on the requests, and they come seldom.
constexpr milliseconds kRequestEvery{40};
// The device's share of the latency, which is all a cue waits for once it is
// written: each cue flushes what the stream holds. With ADJUST_LATENCY,
// PulseAudio and PipeWire alike give the device half of what the buffer
// asked for holds beyond two requests (PipeWire a whole request when nothing
// is left over), so the buffer is asked for as that; any server raises this
// to the least its device takes.
constexpr std::chrono::microseconds kAskedDevice{500};
constexpr Steady::duration kAskedBuffer = 2 * kRequestEvery + 2 * kAskedDevice;
// Playing starts once this much is written, not a request's worth.
constexpr milliseconds kPlayFrom{5};
// How far ahead of what plays the stream is kept: a request answered this
// much less kRequestEvery late still leaves no hole in a cue.
constexpr milliseconds kLead{100};
// Should no request come while a cue sounds (a server may ask only once the
// stream holds less than its buffer, as newer PipeWire does), a timer tops
// it up this long after the last top-up.
constexpr milliseconds kTopUpAtLatest{60};
// A cue that waited longer than this for a new connection no longer answers
// its key; it is dropped rather than heard late.
constexpr milliseconds kStalestCue{200};

pa_usec_t Usec(Steady::duration span)
{
    return pa_usec_t(std::chrono::duration_cast<std::chrono::microseconds>(span).count());
}

std::size_t FramesIn(Steady::duration span)
{
    return std::size_t(Usec(span) * kCueRate / 1000000);
}

Steady::duration DurationOf(std::size_t frames)
{
    return std::chrono::microseconds(frames * 1000000 / kCueRate);
}

bool Gone(pa_context_state_t state)
{
    return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

bool Gone(pa_stream_state_t state)
{
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

class Locked {
public:
    explicit Locked(pa_threaded_mainloop *loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    pa_threaded_mainloop *loop_;
};

}  // namespace

void PulseOutput::open()
{
    if (loop_)
        return;
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return;
    pa_threaded_mainloop_set_name(loop_, "typetoki-sound");
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    Locked lock(loop_);
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop_);
    topUpTimer_ = api->time_new(api, nullptr, TimeToTopUp, this);
    connect();
}

void PulseOutput::close()
{
    if (!loop_)
        return;
    {
        Locked lock(loop_);
        mixer_.stop();
        dropConnection();
        if (topUpTimer_) {
            pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop_);
            api->time_free(topUpTimer_);
            topUpTimer_ = nullptr;
        }
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

void PulseOutput::dropConnection()
{
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    grantedMs_ = 0;
}

void PulseOutput::connect()
{
    dropConnection();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "typetoki");
    if (!context_)
        return;
    pa_context_set_state_callback(context_, ContextChanged, this);
    // Never start a server of our own: that would wait for it in this call.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        dropConnection();
}

void PulseOutput::openStream()
{
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
    }
    stream_ = pa_stream_new(context_, "cues", &kSpec, nullptr);
    if (!stream_)
        return;
    pa_stream_set_state_callback(stream_, StreamChanged, this);
    pa_stream_set_write_callback(stream_, ReadyForMore, this);
    pa_buffer_attr asked;
    asked.maxlength = std::uint32_t(-1);
    asked.tlength = std::uint32_t(pa_usec_to_bytes(Usec(kAskedBuffer), &kSpec));
    asked.prebuf = std::uint32_t(pa_usec_to_bytes(Usec(kPlayFrom), &kSpec));
    asked.minreq = std::uint32_t(pa_usec_to_bytes(Usec(kRequestEvery), &kSpec));
    asked.fragsize = std::uint32_t(-1);
    // ADJUST_LATENCY: the latency asked for is the whole way to the speaker,
    // so the server shortens the device's buffer to match.
    if (pa_stream_connect_playback(stream_, nullptr, &asked, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr)
        < 0) {
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
}

bool PulseOutput::streamReady() const
{
    return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
}

void PulseOutput::ContextChanged(pa_context *context, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (pa_context_get_state(context) == PA_CONTEXT_READY)
        out->openStream();
}

void PulseOutput::StreamChanged(pa_stream *stream, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    if (pa_stream_get_state(stream) != PA_STREAM_READY)
        return;
    if (const pa_buffer_attr *granted = pa_stream_get_buffer_attr(stream))
        out->grantedMs_ = double(pa_bytes_to_usec(granted->tlength, &kSpec)) / 1000;
    // The device's share of the latency comes with the stream's timing.
    if (pa_operation *asking = pa_stream_update_timing_info(stream, TimingKnown, self))
        pa_operation_unref(asking);
    // The cue that asked for the stream, if it is still fresh.
    if (!out->mixer_.sounding())
        return;
    if (Steady::now() - out->startedAt_ > kStalestCue)
        return out->mixer_.stop();
    out->setOff();
}

void PulseOutput::TimingKnown(pa_stream *stream, int success, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    const pa_buffer_attr *granted = pa_stream_get_buffer_attr(stream);
    const pa_timing_info *timing = success ? pa_stream_get_timing_info(stream) : nullptr;
    if (!granted)
        return;
    const QByteArray device = timing ? QByteArray::number(double(timing->configured_sink_usec) / 1000, 'f', 1)
                                     : QByteArrayLiteral("unknown");
    qInfo("sound: cue stream open, the device's latency %s ms granted (%.1f ms asked), the stream's buffer "
          "%.1f ms (%.1f ms asked), requests every %.1f ms, kept %lld ms ahead",
          device.constData(), double(Usec(kAskedDevice)) / 1000, out->grantedMs_,
          double(Usec(kAskedBuffer)) / 1000, double(pa_bytes_to_usec(granted->minreq, &kSpec)) / 1000,
          static_cast<long long>(kLead.count()));
}

void PulseOutput::ReadyForMore(pa_stream *, std::size_t, void *self)
{
    static_cast<PulseOutput *>(self)->topUp();
}

void PulseOutput::TimeToTopUp(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    static_cast<PulseOutput *>(self)->topUp();
}

void PulseOutput::cutOff()
{
    // Only a stream that still holds sound needs flushing; a flush also
    // costs the server a message.
    const Steady::time_point now = Steady::now();
    if (streamReady() && now < queuedUntil_) {
        if (pa_operation *flushing = pa_stream_flush(stream_, nullptr, nullptr))
            pa_operation_unref(flushing);
    }
    queuedUntil_ = now;
}

void PulseOutput::setOff()
{
    startedAt_ = Steady::now();
    framesWritten_ = 0;
    topUp();
}

void PulseOutput::topUp()
{
    if (!streamReady() || !mixer_.sounding())
        return;  // nothing sounds: no timer, and this thread sleeps
    const Steady::time_point now = Steady::now();
    const std::size_t wanted = FramesIn(now - startedAt_ + kLead);
    if (wanted > framesWritten_) {
        std::size_t size = (wanted - framesWritten_) * pa_frame_size(&kSpec);
        void *buffer = nullptr;
        if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer)
            return;
        const std::size_t frames = size / pa_frame_size(&kSpec);
        mixer_.render(static_cast<std::int16_t *>(buffer), frames);
        pa_stream_write(stream_, buffer, frames * pa_frame_size(&kSpec), nullptr, 0, PA_SEEK_RELATIVE);
        framesWritten_ += frames;
        queuedUntil_ = startedAt_ + DurationOf(framesWritten_);
    }
    if (mixer_.sounding() && topUpTimer_) {
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop_);
        struct timeval at;
        pa_gettimeofday(&at);
        pa_timeval_add(&at, Usec(kTopUpAtLatest));
        api->time_restart(topUpTimer_, &at);
    }
}

void PulseOutput::start(CueSamples samples)
{
    if (!loop_)
        return;
    Locked lock(loop_);
    cutOff();
    mixer_.start(std::move(samples));
    startedAt_ = Steady::now();
    if (!context_ || Gone(pa_context_get_state(context_))) {
        connect();  // the server restarted, or was not there before
    } else if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        // Still connecting: the stream takes the cue when it is ready.
    } else if (!stream_ || Gone(pa_stream_get_state(stream_))) {
        openStream();  // the device went away
    } else if (streamReady()) {
        setOff();
    }
}

void PulseOutput::stop()
{
    if (!loop_)
        return;
    Locked lock(loop_);
    mixer_.stop();
    cutOff();
}

void PulseOutput::setVolume(int percent)
{
    if (!loop_) {
        mixer_.setVolume(percent);
        return;
    }
    Locked lock(loop_);
    mixer_.setVolume(percent);
}

double PulseOutput::grantedMilliseconds() const
{
    if (!loop_)
        return 0;
    Locked lock(loop_);
    return grantedMs_;
}

}  // namespace typetoki
