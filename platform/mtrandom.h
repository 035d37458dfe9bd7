#pragma once
#include "engine/interfaces.h"

#include <random>

namespace typetoki {

class MtRandom final : public Random {
public:
    MtRandom();
    void reseed() override;
    double next() override;

private:
    std::mt19937_64 engine_;
};

}  // namespace typetoki
