#include "engine/gamemode.h"

#include <algorithm>

namespace typetoki {

const ModeRow *RowOf(GameMode mode)
{
    for (const ModeRow &row : kModes) {
        if (row.mode == mode)
            return &row;
    }
    return nullptr;
}

GameMode NextSelectableMode(GameMode mode)
{
    int first = 0, last = 0;
    for (const ModeRow &row : kModes) {
        if (!row.selectable)
            continue;
        const int n = int(row.mode);
        if (first == 0 || n < first)
            first = n;
        last = std::max(last, n);
    }
    for (int next = int(mode) + 1; next <= last; ++next) {
        const ModeRow *row = RowOf(GameMode(next));
        if (!row || row->selectable)
            return GameMode(next);
    }
    return GameMode(first);
}

GameMode PlayedMode(GameMode selected, bool romajiTyping)
{
    return selected == GameMode::Training && romajiTyping ? GameMode::Romaji : selected;
}

QString TimeLimitText(int seconds)
{
    if (seconds == 3600)
        return QStringLiteral("1時間");
    return QString::number(seconds) + u'秒';
}

}  // namespace typetoki
