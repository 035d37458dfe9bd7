#include "platform/mtrandom.h"

#include <chrono>

namespace typetoki {

MtRandom::MtRandom() { reseed(); }

void MtRandom::reseed()
{
    engine_.seed(std::uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

double MtRandom::next()
{
    // 53 random bits scaled into [0, 1): never 1, unlike some
    // uniform_real_distribution implementations.
    return double(engine_() >> 11) * 0x1.0p-53;
}

}  // namespace typetoki
