// The number reader and the strict conversions on any text: no crash, no
// undefined behaviour, and the readings agree with each other and with the
// written forms.

#include "engine/numbers.h"
#include "fuzz/check.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

void Exercise(const QString &text)
{
    const double lenient = ReadNumber(text);
    Check(!std::isnan(lenient));
    Check(!(lenient == 0 && std::signbit(lenient)));  // no "-0" on any display

    const double rounded = RoundHalfEven(lenient);
    Check(!std::isfinite(rounded) || rounded == std::floor(rounded));
    Check(!std::isfinite(lenient) || std::fabs(rounded - lenient) <= 0.5);

    // A text the strict conversions accept reads the same leniently.
    const auto whole = ToInt16(text);
    const auto single = ToSingle(text);
    if (whole) {
        Check(RoundToInt16(lenient) == whole);
        Check(single.has_value());
    }
    if (single) {
        Check(std::isfinite(*single));
        Check(*single == static_cast<float>(lenient));
        // What the settings file writes reads back as nearly the same single.
        // Seven digits do not always name it: just above 1E+28 and 1E-38 the
        // single nearest to the digits lies below the power of ten and is
        // written with one more 9. From then on the digits hold.
        const QString written = FormatSingle(*single);
        const auto back = ToSingle(written);
        Check(back.has_value());
        Check(std::fabs(*back - *single)
              <= std::max(std::fabs(*single) * 1e-6f, std::numeric_limits<float>::denorm_min()));
        const QString again = FormatSingle(*back);
        const auto settled = ToSingle(again);
        Check(settled.has_value() && FormatSingle(*settled) == again);
    }

    // The high-score file's number form reads back to the same digits.
    const QString written = FormatNumber(lenient);
    const double back = ReadNumber(written);
    if (std::isfinite(lenient) && std::isfinite(back))
        Check(FormatNumber(back) == written);
    if (std::isfinite(lenient))
        Check(!written.contains(u',') && !written.contains(u' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Exercise(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    // Every UTF-16 unit, lone surrogates and all.
    QString units(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), data, size / 2 * 2);
    Exercise(units);
    return 0;
}
