#pragma once
// The program's own mixer for the one output stream: a single voice, because
// a new cue cuts off the one sounding, at the player's volume. Not
// synchronised; its owner holds the lock that the audio thread holds.

#include "platform/cuefile.h"

#include <cstddef>
#include <cstdint>

namespace typetoki {

class CueMixer {
public:
    // Cuts off whatever sounds and starts these samples from their start.
    void start(CueSamples samples);
    void stop() { voice_.reset(); }
    bool sounding() const { return voice_ != nullptr; }
    // 0 to 100; applies from the next frame rendered.
    void setVolume(int percent);

    // Fills frames of output (kCueChannels samples each): the voice at the
    // volume, silence once it has ended.
    void render(std::int16_t *out, std::size_t frames);

private:
    CueSamples voice_;
    std::size_t at_ = 0;  // next sample of the voice
    std::int32_t gain_ = 1 << 15;
};

}  // namespace typetoki
