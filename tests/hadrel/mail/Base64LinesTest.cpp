#include "UEMailSenden.Base64.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <vector>

using namespace UEMailSenden;

namespace {

// What the encoder has to write: Qt's base64 of the whole, cut into lines of 76 characters,
// each with CR LF.
QByteArray Expected(const QByteArray& bytes) {
    const QByteArray b64 = bytes.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < b64.size(); at += 76)
        lines += b64.mid(at, 76) + "\r\n";
    return lines;
}

QByteArray RandomBytes(qsizetype size, QRandomGenerator& rng) {
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

// bytes fed in chunks whose sizes cuts yields one after another (the last chunk takes the rest).
QByteArray InChunks(const QByteArray& bytes, const std::vector<qsizetype>& cuts) {
    TBase64LineEncoder e;
    QByteArray text;
    qsizetype at = 0;
    size_t next = 0;
    while (at < bytes.size()) {
        const qsizetype n =
            next < cuts.size() ? qMin(cuts[next++], bytes.size() - at) : bytes.size() - at;
        QByteArray out(TBase64LineEncoder::EncodeBound(n), Qt::Uninitialized);
        const qsizetype m = e.Encode(QByteArrayView(bytes).sliced(at, n), out.data());
        EXPECT_LE(m, out.size());
        text += out.left(m);
        at += n;
        EXPECT_EQ(e.Pending(), at % TBase64LineEncoder::kLineBytes);
    }
    QByteArray last(TBase64LineEncoder::kFinishBound, Qt::Uninitialized);
    text += last.left(e.Finish(last.data()));
    EXPECT_EQ(e.Pending(), 0);
    return text;
}

} // namespace

TEST(Base64Lines, TheSizesAroundALineAndItsGroups) {
    QRandomGenerator rng(57);
    for (const qsizetype size :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 54, 55, 56, 57, 58, 59, 60, 113, 114, 115, 171, 1000}) {
        const QByteArray bytes = RandomBytes(size, rng);
        const QByteArray text = TBase64LineEncoder::Lines(bytes);
        EXPECT_EQ(text, Expected(bytes)) << size;
        EXPECT_EQ(text.size(), TBase64LineEncoder::EncodedSize(size)) << size;
    }
    EXPECT_EQ(TBase64LineEncoder::Lines(""), QByteArray());
    EXPECT_EQ(TBase64LineEncoder::Lines("M"), QByteArray("TQ==\r\n"));
    EXPECT_EQ(TBase64LineEncoder::Lines("Ma"), QByteArray("TWE=\r\n"));
    EXPECT_EQ(TBase64LineEncoder::Lines("Man"), QByteArray("TWFu\r\n"));
    // Every byte value in every place of a group (256 is 1 modulo 3: each run of the 256 values
    // starts one place further on), and every 12-bit pair of characters.
    QByteArray all(3 * 256, Qt::Uninitialized);
    for (int i = 0; i < all.size(); ++i)
        all[i] = char(i % 256);
    EXPECT_EQ(TBase64LineEncoder::Lines(all), Expected(all));
    QByteArray pairs(4096 * 3 / 2, Qt::Uninitialized); // each 12-bit value once, in turn
    for (int v = 0; v < 4096; v += 2) {
        const unsigned w = unsigned(v) << 12 | unsigned(v + 1);
        pairs[v / 2 * 3] = char(w >> 16);
        pairs[v / 2 * 3 + 1] = char(w >> 8);
        pairs[v / 2 * 3 + 2] = char(w);
    }
    EXPECT_EQ(TBase64LineEncoder::Lines(pairs), Expected(pairs));
}

TEST(Base64Lines, RandomSizesInRandomChunksAreQtsBase64InLines) {
    QRandomGenerator rng(4711); // fixed: the same sizes and cuts in every run
    for (int round = 0; round < 400; ++round) {
        const qsizetype size = round < 200 ? rng.bounded(1, 600) : rng.bounded(600, 200000);
        const QByteArray bytes = RandomBytes(size, rng);
        const QByteArray expected = Expected(bytes);
        ASSERT_EQ(TBase64LineEncoder::Lines(bytes), expected) << size;
        std::vector<qsizetype> cuts;
        for (qsizetype sum = 0; sum < size;) {
            // Single bytes, pieces of a line, and pieces of many lines, mixed.
            const int kind = rng.bounded(3);
            const qsizetype n = kind == 0   ? 1
                                : kind == 1 ? rng.bounded(1, 120)
                                            : rng.bounded(1, 70000);
            cuts.push_back(n);
            sum += n;
        }
        ASSERT_EQ(InChunks(bytes, cuts), expected) << size << " in " << cuts.size() << " chunks";
    }
}

TEST(Base64Lines, AnEncoderStartsAfreshAfterFinish) {
    TBase64LineEncoder e;
    char out[256];
    EXPECT_EQ(e.Encode("abcd", out), 0);
    EXPECT_EQ(e.Pending(), 4);
    EXPECT_EQ(QByteArray(out, e.Finish(out)), QByteArray("YWJjZA==\r\n"));
    EXPECT_EQ(e.Finish(out), 0);
    EXPECT_EQ(e.Encode("xyz", out), 0);
    EXPECT_EQ(QByteArray(out, e.Finish(out)), QByteArray("eHl6\r\n"));
}
