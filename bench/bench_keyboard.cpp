// The keyboard strip under the game area: what lighting the next key costs,
// from the call the game makes to the strip's pixels drawn, each key timed
// on its own in this thread's processor time. The key cycles through the
// keys of a romaji line, so every call moves the light. Goal: median under
// 0.1 ms. `first_paint_us` is the whole keyboard drawn once, for a size.
//
// Runs on Qt's offscreen platform (chosen here when nothing else is set).
#include "percentiles.h"
#include "qtbench.h"
#include "ui/keyboardwidget.h"

#include <vector>

using namespace typetoki;
using namespace typetoki::bench;

namespace {

void NextKey(benchmark::State &state)
{
    KeyboardPicture strip(nullptr, KeyboardPicture::Look::Fingers);
    strip.resize(526, strip.heightForWidth(526));
    strip.show();
    double start = ThreadCpuMicros();
    QApplication::processEvents();
    strip.repaint();
    state.counters["first_paint_us"] = ThreadCpuMicros() - start;

    const QString keys = QStringLiteral("kyouhanihongowoutsurenshuuwoshimasu-");
    std::vector<double> micros;
    qsizetype i = 0;
    for (auto _ : state) {
        start = ThreadCpuMicros();
        strip.setNextKey(keys[i++ % keys.size()]);
        // The dirty keys are drawn when the event loop next runs.
        QApplication::processEvents();
        const double took = ThreadCpuMicros() - start;
        state.SetIterationTime(took * 1e-6);
        micros.push_back(took);
    }
    ReportPercentiles(state, "", micros);
}

}  // namespace

BENCHMARK(NextKey)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return RunOffscreen(argc, argv);
}
