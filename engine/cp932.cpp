#include "engine/cp932.h"

#include <QStringDecoder>

#include <array>
#include <vector>

namespace typetoki {
namespace {

constexpr char16_t kLeadByte = 0xFFFF;   // in the single-byte table: a pair starts here
constexpr char16_t kUnassigned = 0;      // in the pair table; no pair decodes to U+0000
constexpr std::uint16_t kNoBytes = 0xFFFF;  // in the encoding table; 0xFF is a single byte

bool IsLeadByte(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Rows 0xED and 0xEE repeat characters of rows 0xFA to 0xFC (the NEC and
// IBM selections of the same kanji); Windows writes the latter.
bool IsNecSelectedRow(std::uint16_t code)
{
    return (code >> 8) == 0xED || (code >> 8) == 0xEE;
}

struct Tables {
    std::array<char16_t, 256> single{};
    std::vector<char16_t> pair = std::vector<char16_t>(65536, kUnassigned);
    std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(65536, kNoBytes);

    Tables()
    {
        for (unsigned b = 0; b < 256; ++b) {
            if (b < 0x80)
                single[b] = char16_t(b);  // control bytes too, unlike ICU's table
            else if (IsLeadByte(b))
                single[b] = kLeadByte;
            else if (b >= 0xA1 && b <= 0xDF)
                single[b] = char16_t(0xFF61 + (b - 0xA1));  // half-width katakana
        }
        single[0x80] = u'\u0080';
        single[0xA0] = u'\uF8F0';
        single[0xFD] = u'\uF8F1';
        single[0xFE] = u'\uF8F2';
        single[0xFF] = u'\uF8F3';
        for (unsigned b = 0; b < 256; ++b) {
            if (single[b] != kLeadByte)
                encode[single[b]] = std::uint16_t(b);
        }

        // The double-byte characters are ICU's windows-31j, which agrees with
        // Windows on every pair (it only differs on single bytes).
        if (!QStringDecoder("windows-31j").isValid())
            return;  // every pair then stays escaped, still byte for byte
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(lead))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char bytes[2] = {char(lead), char(trail)};
                // A fresh decoder each time: after one error, resetState()
                // leaves the error flag of Qt's ICU decoder set.
                QStringDecoder decoder("windows-31j");
                const QString one = decoder.decode(QByteArrayView(bytes, 2));
                if (decoder.hasError() || one.size() != 1 || one[0] == u'\uFFFD')
                    continue;
                const std::uint16_t code = std::uint16_t(lead << 8 | trail);
                const char16_t c = one[0].unicode();
                pair[code] = c;
                std::uint16_t &written = encode[c];
                if (written == kNoBytes || (IsNecSelectedRow(written) && !IsNecSelectedRow(code)))
                    written = code;
            }
        }
    }
};

const Tables &Table()
{
    static const Tables tables;
    return tables;
}

// Decodes the character at bytes[i] into out and returns how many bytes it
// took; escapes a byte that starts no character.
template <typename Sink>
qsizetype DecodeOne(const Tables &t, const unsigned char *p, qsizetype n, qsizetype i, Sink &&out)
{
    const char16_t c = t.single[p[i]];
    if (c != kLeadByte) {
        out(c, true);
        return 1;
    }
    if (i + 1 < n) {
        const char16_t two = t.pair[std::size_t(p[i]) << 8 | p[i + 1]];
        if (two != kUnassigned) {
            out(two, true);
            return 2;
        }
    }
    out(EscapedByte(p[i]), false);
    return 1;
}

}  // namespace

char16_t Cp932Form(char16_t c)
{
    for (const LookAlike &pair : kLookAlikes) {
        if (c == pair.typed)
            return pair.cp932;
    }
    return c;
}

QString DecodeCp932(QByteArrayView bytes, bool *valid)
{
    const Tables &t = Table();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    QString text(n, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype length = 0;
    bool allValid = true;
    for (qsizetype i = 0; i < n;) {
        i += DecodeOne(t, p, n, i, [&](char16_t c, bool ok) {
            out[length++] = c;
            allValid = allValid && ok;
        });
    }
    text.truncate(length);
    if (valid && !allValid)
        *valid = false;
    return text;
}

bool IsValidCp932(QByteArrayView bytes)
{
    const Tables &t = Table();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    bool valid = true;
    for (qsizetype i = 0; i < n && valid;)
        i += DecodeOne(t, p, n, i, [&](char16_t, bool ok) { valid = ok; });
    return valid;
}

std::optional<QByteArray> EncodeCp932(QStringView text)
{
    const Tables &t = Table();
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    bool kept = false;
    for (const QChar qc : text) {
        const char16_t c = Cp932Form(qc.unicode());
        if (IsEscapedByte(c)) {
            bytes += char(c & 0xFF);
            kept = true;
            continue;
        }
        const std::uint16_t code = t.encode[c];
        if (code == kNoBytes)
            return std::nullopt;
        if (code > 0xFF)
            bytes += char(code >> 8);
        bytes += char(code & 0xFF);
    }
    // A kept byte of a UTF-8 text may form a character of the code page
    // (0xDE alone is a katakana, with a neighbour a kanji): it has no place.
    if (kept) {
        const QString back = DecodeCp932(bytes);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i >= back.size() || back[i].unicode() != Cp932Form(text[i].unicode()))
                return std::nullopt;
        }
        if (back.size() != text.size())
            return std::nullopt;
    }
    return bytes;
}

}  // namespace typetoki
