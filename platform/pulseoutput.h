#pragma once
// The one output stream of the cues, on the PulseAudio server (or PipeWire's
// stand-in for it). It is opened once and kept, with the shortest latency the
// server grants, so that a cue sounds within a few milliseconds of its key.
//
// The stream is kept a little ahead of what plays (kLead) rather than at the
// few milliseconds the server asks for: a thread that wakes late on a busy
// machine must not leave a hole in a cue. A new cue flushes what is queued,
// which cuts the sounding one off at once. The key's own thread writes the
// first block, so the cue sets off without a change of thread; PulseAudio's
// thread tops the stream up when the server asks for more (seldom) while a
// cue sounds, and sleeps otherwise. Nothing here waits for the server:
// connecting, and reconnecting after the server restarted or the device went
// away, happen in the background, started by the next cue.

#include "platform/cuemixer.h"

#include <chrono>
#include <cstddef>

struct pa_context;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace typetoki {

class PulseOutput {
public:
    PulseOutput() = default;
    ~PulseOutput() { close(); }
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Starts connecting and returns at once.
    void open();
    // Stream, then connection, then PulseAudio's thread; nothing of this
    // object is touched from any thread afterwards. Safe to call again.
    void close();

    // Cuts off whatever sounds and starts these samples.
    void start(CueSamples samples);
    void stop();
    void setVolume(int percent);

    // The buffer the server granted the stream, in milliseconds; 0 until
    // the stream is ready.
    double grantedMilliseconds() const;

private:
    static void ContextChanged(pa_context *context, void *self);
    static void StreamChanged(pa_stream *stream, void *self);
    static void TimingKnown(pa_stream *stream, int success, void *self);
    static void ReadyForMore(pa_stream *stream, std::size_t bytes, void *self);
    static void TimeToTopUp(pa_mainloop_api *api, pa_time_event *event, const struct timeval *when,
                            void *self);

    // With PulseAudio's lock held.
    void connect();
    void openStream();
    void dropConnection();
    bool streamReady() const;
    void cutOff();
    void setOff();
    void topUp();

    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    pa_time_event *topUpTimer_ = nullptr;
    CueMixer mixer_;
    using Time = std::chrono::steady_clock::time_point;
    Time startedAt_;      // when the cue asked to sound
    Time queuedUntil_;    // when what was written will have played
    std::size_t framesWritten_ = 0;
    double grantedMs_ = 0;
};

}  // namespace typetoki
