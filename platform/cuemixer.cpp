#include "platform/cuemixer.h"

#include <algorithm>

namespace typetoki {

void CueMixer::start(CueSamples samples)
{
    voice_ = std::move(samples);
    at_ = 0;
    if (voice_ && voice_->empty())
        voice_.reset();
}

void CueMixer::setVolume(int percent)
{
    gain_ = std::int32_t(std::clamp(percent, 0, 100)) * (1 << 15) / 100;
}

void CueMixer::render(std::int16_t *out, std::size_t frames)
{
    std::size_t n = 0;
    const std::size_t wanted = frames * kCueChannels;
    if (voice_) {
        n = std::min(wanted, voice_->size() - at_);
        const std::int16_t *from = voice_->data() + at_;
        // Q15 with rounding: 50 % is exactly half, 100 % the samples as they are.
        for (std::size_t i = 0; i < n; ++i)
            out[i] = std::int16_t((std::int32_t(from[i]) * gain_ + (1 << 14)) >> 15);
        at_ += n;
        if (at_ >= voice_->size())
            voice_.reset();
    }
    std::fill(out + n, out + wanted, std::int16_t(0));
}

}  // namespace typetoki
