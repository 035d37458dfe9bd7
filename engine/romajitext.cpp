#include "engine/romajitext.h"

namespace typetoki {

RomajiText::RomajiText(QStringList lines, std::shared_ptr<const Reader> reader,
                       const RomajiTable &table)
    : lines_(std::move(lines))
    , reader_(std::move(reader))
    , table_(table)
    , readings_(std::size_t(lines_.size()))
    , remaining_(lines_.size())
    , worker_([this] { readAll(); })
{
}

RomajiText::~RomajiText()
{
    stopping_ = true;
    waitForWorker();
}

void RomajiText::waitForWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void RomajiText::readAll()
{
    for (qsizetype i = 0; i < lines_.size() && !stopping_; ++i) {
        {
            const std::lock_guard lock(mutex_);
            if (readings_[std::size_t(i)])
                continue;
        }
        store(i, ReadLine(lines_[i], reader_.get(), table_));
    }
}

void RomajiText::store(qsizetype index, LineReading reading)
{
    const std::lock_guard lock(mutex_);
    auto &slot = readings_[std::size_t(index)];
    if (!slot) {
        slot = std::move(reading);
        --remaining_;
    }
}

LineReading RomajiText::reading(qsizetype index)
{
    if (index < 0 || index >= lines_.size())
        return {};
    {
        const std::lock_guard lock(mutex_);
        if (const auto &slot = readings_[std::size_t(index)])
            return *slot;
    }
    LineReading reading = ReadLine(lines_[index], reader_.get(), table_);
    store(index, reading);
    return reading;
}

}  // namespace typetoki
