#pragma once
// Base64 as a mail carries it (RFC 2045): lines of 76 characters (57 bytes), each ended by CR LF,
// the last one shorter and padded with "=". One pass, two characters at a time from a table of
// every 12-bit value, with the line ends written as it goes: no second pass for the line breaks.
// Qt Core only, no GMime: the draft writer streams attachments through it.

#include <QByteArray>
#include <QByteArrayView>

namespace UEMailSenden {

// Encodes a byte stream fed in chunks of any size. The bytes of an unfinished line wait for the
// next chunk, so that chunk boundaries never split the 57-byte lines: the lines are those of
// the whole stream encoded at once. Memory is constant: at most 56 bytes are held.
class TBase64LineEncoder final {
public:
    static constexpr qsizetype kLineBytes = 57; // input bytes per full line
    static constexpr qsizetype kLineChars = 78; // 76 characters and CR LF
    // Room in out that Encode(data of n bytes) needs at most.
    static constexpr qsizetype EncodeBound(qsizetype n) {
        return (n / kLineBytes + 1) * kLineChars;
    }
    // Room in out that Finish needs at most.
    static constexpr qsizetype kFinishBound = kLineChars;
    // The size of the text for a stream of n bytes: full lines and a last shorter one.
    static constexpr qint64 EncodedSize(qint64 n) {
        const qint64 rest = n % kLineBytes;
        return n / kLineBytes * kLineChars + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
    }

    // Writes the full lines of what waited and data to out; returns the characters written.
    qsizetype Encode(QByteArrayView data, char* out);
    // Writes what still waits as the last line (nothing when no byte waits) and starts a new
    // stream; returns the characters written.
    qsizetype Finish(char* out);
    // Bytes waiting for the rest of their line.
    qsizetype Pending() const { return m_pending; }

    // The whole text of data at once.
    static QByteArray Lines(QByteArrayView data);

private:
    unsigned char m_line[kLineBytes];
    qsizetype m_pending = 0;
};

} // namespace UEMailSenden
