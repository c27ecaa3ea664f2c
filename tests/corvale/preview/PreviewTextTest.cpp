// Text files as the preview reads them: which bytes count as text, and which encoding they are
// read in (German files are often Windows-1252), also when the preview reads only a beginning.
#include "VoskPreviewText.h"

#include <gtest/gtest.h>

using namespace VoskPreview;

TEST(PreviewText, TellsTextFromBinaryFiles) {
    EXPECT_TRUE(LooksLikeText("Nr;Name;Ort\r\n1;M\xfcller;K\xf6ln\r\n"));
    EXPECT_TRUE(LooksLikeText("Seite 1\fSeite 2\n"));          // form feed of a print file
    EXPECT_TRUE(LooksLikeText("\xFF\xFEH\0a\0l\0l\0o\0"));      // UTF-16 with its mark
    EXPECT_TRUE(LooksLikeText(""));
    EXPECT_FALSE(LooksLikeText(QByteArrayView("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    EXPECT_FALSE(LooksLikeText(QByteArrayView("PK\x03\x04\x14\0\x06\0", 8)));
    QByteArray controls(200, 'a');
    for (int i = 0; i < 10; ++i)
        controls[i * 20] = '\x01';
    EXPECT_FALSE(LooksLikeText(controls));
}

TEST(PreviewText, ReadsUtf8ElseWindows1252AndHonoursByteOrderMarks) {
    const TDecodedText utf8 = DecodeText("Gr\xc3\xbc\xc3\x9f" "e\r\nZeile 2\rZeile 3");
    EXPECT_EQ(utf8.text, QStringLiteral("Grüße\nZeile 2\nZeile 3"));
    EXPECT_EQ(utf8.encoding, QStringLiteral("UTF-8"));

    // Bytes invalid in UTF-8: the Windows code page, with its characters above Latin-1's.
    const TDecodedText cp = DecodeText("Gr\xfc\xdf" "e \x80 \x84Zitat\x93 \x96 \x81");
    EXPECT_EQ(cp.text, QStringLiteral("Grüße € „Zitat“ – \uFFFD"));
    EXPECT_EQ(cp.encoding, QStringLiteral("Windows-1252"));

    EXPECT_EQ(DecodeText("\xEF\xBB\xBFmit Marke").text, QStringLiteral("mit Marke"));
    const TDecodedText be = DecodeText(QByteArrayView("\xFE\xFF\0\xe4\0\n", 6));
    EXPECT_EQ(be.text, QStringLiteral("ä\n"));
    EXPECT_EQ(be.encoding, QStringLiteral("UTF-16BE"));
}

TEST(PreviewText, ABeginningCutInsideACharacterStaysInItsEncoding) {
    // "Maße" cut after the first byte of the sharp s: not a reason to give up UTF-8.
    const TDecodedText cut = DecodeText("Ma\xc3", true);
    EXPECT_EQ(cut.encoding, QStringLiteral("UTF-8"));
    EXPECT_EQ(cut.text, QStringLiteral("Ma"));
    // Three of a four-byte character's bytes.
    EXPECT_EQ(DecodeText("ok \xf0\x9f\x98", true).text, QStringLiteral("ok "));
    // Not cut, the same bytes are not UTF-8.
    EXPECT_EQ(DecodeText("Ma\xc3").encoding, QStringLiteral("Windows-1252"));
    // A broken sequence before the end is no cut: the file is not UTF-8.
    EXPECT_EQ(DecodeText("\xc3 Ma\xc3", true).encoding, QStringLiteral("Windows-1252"));
    // UTF-16 cut inside a code unit and inside a surrogate pair.
    EXPECT_EQ(DecodeText(QByteArrayView("\xFF\xFEO\0k\0=", 7), true).text, QStringLiteral("Ok"));
    EXPECT_EQ(DecodeText(QByteArrayView("\xFF\xFEO\0=\xD8", 6), true).text, QStringLiteral("O"));
}

TEST(PreviewText, MailCharsetsFallBackWhenUnknownOrWrong) {
    EXPECT_EQ(DecodeCharset("\xe4\x80", "ISO-8859-1"), QStringLiteral("ä€"));
    EXPECT_EQ(DecodeCharset("\xc3\xa4", "utf-8"), QStringLiteral("ä"));
    // Labelled UTF-8 but written in the Windows code page.
    EXPECT_EQ(DecodeCharset("\xe4", "UTF-8"), QStringLiteral("ä"));
    EXPECT_EQ(DecodeCharset("\xc3\xa4", "x-unbekannt"), QStringLiteral("ä"));
    EXPECT_EQ(DecodeCharset("\xe4", ""), QStringLiteral("ä"));
}
