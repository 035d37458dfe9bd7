#pragma once
// Japanese text in tests: literals written as UTF-8, and failure messages
// that show the text rather than its bytes.

#include "engine/gamemode.h"

#include <QString>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace typetoki {

inline void PrintTo(GameMode mode, std::ostream *os)
{
    *os << "mode " << int(mode);
}

}  // namespace typetoki

namespace typetoki::testing {

inline QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

}  // namespace typetoki::testing
