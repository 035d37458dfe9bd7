#pragma once
// Japanese text in tests: literals written as UTF-8, and failure messages
// that show the text rather than its bytes.

#include "engine/cp932.h"
#include "engine/gamemode.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>
#include <string>

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

inline QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// A byte that no decoding could place, as the text keeps it.
inline QString Kept(unsigned char byte)
{
    return QString(QChar(EscapedByte(byte)));
}

inline QString Cp932(const QByteArray &bytes)
{
    return DecodeCp932(bytes);
}

// Lines as one string for a failure message.
inline std::string Show(const QStringList &lines)
{
    return ("[" + lines.join(QStringLiteral("|")) + "]").toStdString();
}

}  // namespace typetoki::testing
