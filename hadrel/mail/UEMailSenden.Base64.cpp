#include "UEMailSenden.Base64.h"

#include <QtEndian>

#include <array>
#include <cstdint>
#include <cstring>

namespace UEMailSenden {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12-bit value.
constexpr auto kPairs = [] {
    std::array<std::array<char, 2>, 4096> t{};
    for (int i = 0; i < 4096; ++i)
        t[size_t(i)] = {kAlphabet[i >> 6], kAlphabet[i & 63]};
    return t;
}();

inline void Pair(char* o, unsigned v) {
    std::memcpy(o, kPairs[v].data(), 2);
}

// One full line: 57 bytes as 76 characters and CR LF. Six bytes a step from one 8-byte load
// (the ninth step's load ends at byte 56, inside the line), the last three bytes alone.
inline char* FullLine(const unsigned char* s, char* o) {
    for (int i = 0; i < 54; i += 6, s += 6, o += 8) {
        const quint64 x = qFromBigEndian<quint64>(s);
        Pair(o, unsigned(x >> 52) & 0xFFF);
        Pair(o + 2, unsigned(x >> 40) & 0xFFF);
        Pair(o + 4, unsigned(x >> 28) & 0xFFF);
        Pair(o + 6, unsigned(x >> 16) & 0xFFF);
    }
    const unsigned v = unsigned(s[0]) << 16 | unsigned(s[1]) << 8 | s[2];
    Pair(o, v >> 12);
    Pair(o + 2, v & 0xFFF);
    o[4] = '\r';
    o[5] = '\n';
    return o + 6;
}

// The last line: fewer than 57 bytes, padded to whole groups of four characters.
char* ShortLine(const unsigned char* s, qsizetype n, char* o) {
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3, o += 4) {
        const unsigned v = unsigned(s[i]) << 16 | unsigned(s[i + 1]) << 8 | s[i + 2];
        Pair(o, v >> 12);
        Pair(o + 2, v & 0xFFF);
    }
    if (n - i == 1) {
        const unsigned v = unsigned(s[i]) << 4;
        Pair(o, v);
        o[2] = o[3] = '=';
        o += 4;
    } else if (n - i == 2) {
        const unsigned v = unsigned(s[i]) << 10 | unsigned(s[i + 1]) << 2;
        Pair(o, v >> 6);
        o[2] = kAlphabet[v & 63];
        o[3] = '=';
        o += 4;
    }
    o[0] = '\r';
    o[1] = '\n';
    return o + 2;
}

} // namespace

qsizetype TBase64LineEncoder::Encode(QByteArrayView data, char* out) {
    const auto* s = reinterpret_cast<const unsigned char*>(data.data());
    qsizetype n = data.size();
    char* o = out;
    if (m_pending > 0) {
        const qsizetype take = qMin(n, kLineBytes - m_pending);
        std::memcpy(m_line + m_pending, s, size_t(take));
        m_pending += take;
        s += take;
        n -= take;
        if (m_pending < kLineBytes)
            return 0;
        o = FullLine(m_line, o);
        m_pending = 0;
    }
    for (; n >= kLineBytes; s += kLineBytes, n -= kLineBytes)
        o = FullLine(s, o);
    if (n > 0)
        std::memcpy(m_line, s, size_t(n));
    m_pending = n;
    return o - out;
}

qsizetype TBase64LineEncoder::Finish(char* out) {
    if (m_pending == 0)
        return 0;
    const char* end = ShortLine(m_line, m_pending, out);
    m_pending = 0;
    return end - out;
}

QByteArray TBase64LineEncoder::Lines(QByteArrayView data) {
    QByteArray text(EncodeBound(data.size()) + kFinishBound, Qt::Uninitialized);
    TBase64LineEncoder e;
    qsizetype n = e.Encode(data, text.data());
    n += e.Finish(text.data() + n);
    text.truncate(n);
    return text;
}

} // namespace UEMailSenden
