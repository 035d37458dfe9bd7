// LoadSettings on any file: no crash, no undefined behaviour, the fallback
// rules hold, and whatever it read survives a SaveSettings and another read.

#include "persistence/settingsfile.h"

#include "engine/numbers.h"
#include "persistence/textfile.h"
#include "fuzz/check.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

bool SameSettings(const Module1 &a, const Module1 &b)
{
    return a.gameMode == b.gameMode && a.timeLimitSeconds == b.timeLimitSeconds
           && a.trainingTextPath == b.trainingTextPath && a.heroSoundPath == b.heroSoundPath
           && a.rivalSoundPath == b.rivalSoundPath && a.missSoundPath == b.missSoundPath;
}

// Saves the state and reads it back into a fresh one, which must succeed.
Module1 SavedAndRead(const Module1 &state)
{
    Check(SaveSettings(state, state));
    Module1 again;
    again.setProgramFolder(state.programFolder);
    Check(LoadSettings(again, again));
    return again;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    Check(dir.isValid());

    Module1 state;
    state.setProgramFolder(dir.path());
    {
        QFile file(SettingsPath(state));
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    state.sliderValue = 42;
    const bool complete = LoadSettings(state, state);
    if (!complete)
        Check(state.trainingTextPath == state.inProgramFolder(QStringLiteral("test.txt")));
    Check(std::isfinite(state.sliderValue));

    // Saved, the same values read back, and this time completely. Seven
    // digits may move a single once (just above 1E+28, say); after that the
    // file holds still.
    const QStringList lines = SettingsLines(state);
    if (SplitLines(DecodeText(EncodeLines(lines), Encoding::Utf8WhenMarked)) != lines)
        return 0;  // the text layer's own fault; fuzz_cp932 is the place for it
    const Module1 again = SavedAndRead(state);
    Check(SameSettings(again, state));
    Check(std::fabs(again.sliderValue - state.sliderValue)
          <= std::max(std::fabs(state.sliderValue) * 1e-6f, std::numeric_limits<float>::denorm_min()));
    const Module1 third = SavedAndRead(again);
    Check(SameSettings(third, again) && third.sliderValue == again.sliderValue);
    Check(SettingsLines(third) == SettingsLines(again));
    return 0;
}
