#pragma once
// Code page 932 (Shift-JIS as Windows extends it), decoded and encoded the
// way Windows does, in one place. The game's files have always been written
// in it, so a file from a Windows copy of the game reads here byte for byte
// as it read there.
//
// A byte that starts no valid character (a stray lead byte, an unassigned
// pair) is kept as the escape character U+DC00 + byte, a lone surrogate no
// decoded text contains otherwise; encoding writes it back as that byte.
// A hand-edited path in some other encoding thus survives a save unchanged.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace typetoki {

// Characters that code page 932 decodes to one code point and that Linux
// input methods (Anthy, Mozc) type as another look-alike: the player sees the
// same mark, so the game treats the two alike.
struct LookAlike {
    char16_t cp932;  // as Windows decodes the code page's bytes
    char16_t typed;  // as a Linux input method types it
};
inline constexpr LookAlike kLookAlikes[] = {
    {u'\uFF5E', u'\u301C'},  // ～ wave dash
    {u'\uFF0D', u'\u2212'},  // － minus
    {u'\u2225', u'\u2016'},  // ∥ double vertical line
    {u'\u2015', u'\u2014'},  // ― dash
    {u'\uFFE0', u'\u00A2'},  // ￠ cent
    {u'\uFFE1', u'\u00A3'},  // ￡ pound
    {u'\uFFE2', u'\u00AC'},  // ￢ not
};

// The code page's own character for a look-alike typed on Linux; any other
// character as it is.
char16_t Cp932Form(char16_t c);

// The escape character of a byte that decoding could not place, and back.
constexpr char16_t EscapedByte(unsigned char byte) { return char16_t(0xDC00 | byte); }
constexpr bool IsEscapedByte(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Every byte decodes: control bytes as themselves, 0x80 as U+0080, 0xA0 as
// U+F8F0, 0xFD to 0xFF as U+F8F1 to U+F8F3, and what is not code page 932
// as escape characters (valid, when given, is then cleared).
QString DecodeCp932(QByteArrayView bytes, bool *valid = nullptr);

// True when every byte belongs to a character of the code page.
bool IsValidCp932(QByteArrayView bytes);

// The bytes of a text, the look-alikes as the code page's own characters
// and escape characters as their bytes; nullopt when some character has no
// place in the code page, or an escaped byte would read back as part of
// another character.
std::optional<QByteArray> EncodeCp932(QStringView text);

}  // namespace typetoki
