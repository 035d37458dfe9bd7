#include "engine/romajitext.h"

#include "support/fakereader.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// Waits (at most ten seconds) for the worker to reach the held line; lets
// it go on if it never does, so a failing test cannot hang.
bool WorkerWaits(FakeReader &reader)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reader.waiting.load() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            reader.release();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(RomajiTextTest, TheGameNeverWaitsForTheWorker)
{
    auto reader = std::make_shared<FakeReader>();
    reader->teach({{"日本", "ニホン"}});
    reader->teach({{"今日", "キョウ"}});
    reader->holdOn(U("日本"));
    RomajiText text({U("日本"), U("今日"), U("かな"), U("ＡＢＣ")}, reader);
    ASSERT_TRUE(WorkerWaits(*reader));

    // The worker is stuck on the first line; the others are read at once.
    EXPECT_EQ(text.reading(1).kana, U("きょう"));
    EXPECT_EQ(text.reading(3).kana, U("ABC"));
    EXPECT_EQ(text.reading(4).line, QString());
    EXPECT_EQ(text.reading(-1).line, QString());
    EXPECT_FALSE(text.complete());

    reader->release();
    text.waitForWorker();
    EXPECT_TRUE(text.complete());
    EXPECT_EQ(text.reading(0).kana, U("にほん"));
    EXPECT_EQ(text.reading(2).kana, U("かな"));
    // Each line with kanji was read once, however often it was asked for.
    EXPECT_EQ(reader->calls.load(), 2);
}

TEST(RomajiTextTest, ClosingStopsTheWorkerAfterItsLine)
{
    auto reader = std::make_shared<FakeReader>();
    reader->holdOn(U("漢字"));
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << U("漢字");
    std::thread releaser;
    {
        RomajiText text(lines, reader);
        ASSERT_TRUE(WorkerWaits(*reader));
        // Lets the held line go only once the text is being closed.
        releaser = std::thread([reader] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            reader->release();
        });
    }
    releaser.join();
    EXPECT_EQ(reader->calls.load(), 1);
}

}  // namespace
