// The RTF reader and writer: what the writer writes comes back whole, samples in a rich-edit
// control's style read right, and hostile input ends in the text read so far.

#include "RtfCodec.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

namespace {

struct Frag {
    QString text;
    QTextCharFormat format;
};

std::vector<Frag> Fragments(const QTextBlock& b) {
    std::vector<Frag> out;
    for (auto it = b.begin(); !it.atEnd(); ++it)
        out.push_back({it.fragment().text(), it.fragment().charFormat()});
    return out;
}

QTextBlock Block(const QTextDocument& d, int n) { return d.findBlockByNumber(n); }

constexpr int ListStart = QTextFormat::UserProperty + 0x51;

// Paragraph by paragraph: in a list or not, its kind, start, number and a suffix that was set.
void ExpectSameLists(const QTextDocument& doc, const QTextDocument& back) {
    ASSERT_EQ(back.blockCount(), doc.blockCount());
    for (int i = 0; i < doc.blockCount(); ++i) {
        QTextList* a = Block(doc, i).textList();
        QTextList* b = Block(back, i).textList();
        ASSERT_EQ(a == nullptr, b == nullptr) << i;
        if (!a)
            continue;
        EXPECT_EQ(a->format().style(), b->format().style()) << i;
        EXPECT_EQ(a->itemNumber(Block(doc, i)), b->itemNumber(Block(back, i))) << i;
        EXPECT_EQ(a->format().property(ListStart), b->format().property(ListStart)) << i;
        if (a->format().style() != QTextListFormat::ListDisc &&
            a->format().hasProperty(QTextFormat::ListNumberSuffix))
            EXPECT_EQ(a->format().numberSuffix(), b->format().numberSuffix()) << i;
    }
}

QByteArray Hex(const QByteArray& b) { return b.toHex(); }

// A 24-bit DIB as the picture tool writes it: info header, rows bottom-up, padded to 4 bytes.
QByteArray Dib(const QImage& img) {
    const int w = img.width(), h = img.height();
    const int stride = (w * 3 + 3) & ~3;
    QByteArray d(40 + stride * h, '\0');
    auto put32 = [&](int o, quint32 v) {
        for (int i = 0; i < 4; ++i)
            d[o + i] = char(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, quint32(w));
    put32(8, quint32(h));
    d[12] = 1;
    d[14] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = img.pixel(x, h - 1 - y);
            const int o = 40 + y * stride + x * 3;
            d[o] = char(qBlue(p));
            d[o + 1] = char(qGreen(p));
            d[o + 2] = char(qRed(p));
        }
    return d;
}

QImage TestImage() {
    QImage img(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            img.setPixel(x, y, qRgb(40 * x + 10, 80 * y + 5, (x * y * 37) % 256));
    return img;
}

void ExpectSamePixels(const QImage& a, const QImage& b) {
    ASSERT_EQ(a.size(), b.size());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.pixel(x, y) & 0xFFFFFF, b.pixel(x, y) & 0xFFFFFF) << x << "," << y;
}

QImage FirstImage(const QTextDocument& d) {
    for (QTextBlock b = d.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QString name = it.fragment().charFormat().toImageFormat().name();
                return d.resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
            }
    return {};
}

} // namespace

TEST(RtfRoundTrip, EveryCharacterAndParagraphFormatComesBack) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("Arial")});
    plain.setFontPointSize(10);
    QTextCharFormat bold = plain;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat mixed = plain;
    mixed.setFontItalic(true);
    mixed.setFontUnderline(true);
    mixed.setFontStrikeOut(true);
    mixed.setFontFamilies({QStringLiteral("Times New Roman")});
    mixed.setFontPointSize(17.5);
    mixed.setForeground(QColor(0x12, 0x34, 0x56));
    mixed.setBackground(QColor(255, 255, 0));
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setTopMargin(8);
    centred.setBottomMargin(4);
    c.setBlockFormat(centred);
    c.insertText(QStringLiteral("Grüße {aus} C:\\Temp – 5 € "), plain);
    c.insertText(QStringLiteral("fett"), bold);
    QTextBlockFormat indented;
    indented.setAlignment(Qt::AlignJustify);
    indented.setLeftMargin(48);
    indented.setRightMargin(24);
    indented.setTextIndent(-12);
    c.insertBlock(indented);
    c.insertText(QStringLiteral("a\tb\u2028c\u00A0d\u00ADe\u2011f 中文 \U0001F600"), mixed);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    c.insertBlock(right);
    c.insertBlock(QTextBlockFormat()); // an empty last paragraph stays

    const QByteArray rtf = Rtf::Write(&doc);
    for (char ch : rtf)
        ASSERT_LT(uchar(ch), 0x80) << "the writer writes 7-bit RTF";
    QTextDocument back;
    const Rtf::ReadResult r = Rtf::Read(rtf, &back);
    EXPECT_TRUE(r.isRtf);
    EXPECT_FALSE(r.Skipped()) << r.problems.join(u'|').toStdString();
    ASSERT_EQ(back.blockCount(), doc.blockCount()) << rtf.constData();
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    for (int i = 0; i < doc.blockCount(); ++i) {
        const QTextBlockFormat a = Block(doc, i).blockFormat(), b = Block(back, i).blockFormat();
        EXPECT_EQ(a.alignment() & Qt::AlignHorizontal_Mask, b.alignment() & Qt::AlignHorizontal_Mask)
            << i;
        EXPECT_NEAR(a.leftMargin(), b.leftMargin(), 0.1) << i;
        EXPECT_NEAR(a.rightMargin(), b.rightMargin(), 0.1) << i;
        EXPECT_NEAR(a.textIndent(), b.textIndent(), 0.1) << i;
        EXPECT_NEAR(a.topMargin(), b.topMargin(), 0.1) << i;
        EXPECT_NEAR(a.bottomMargin(), b.bottomMargin(), 0.1) << i;
    }
    const auto f0 = Fragments(Block(back, 0));
    ASSERT_EQ(f0.size(), 2u);
    EXPECT_FALSE(f0[0].format.fontWeight() > QFont::Normal);
    EXPECT_EQ(f0[1].text, QStringLiteral("fett"));
    EXPECT_EQ(f0[1].format.fontWeight(), QFont::Bold);
    const auto f1 = Fragments(Block(back, 1));
    ASSERT_EQ(f1.size(), 1u);
    const QTextCharFormat m = f1[0].format;
    EXPECT_TRUE(m.fontItalic() && m.fontUnderline() && m.fontStrikeOut());
    EXPECT_EQ(m.fontFamilies().toStringList().value(0), QStringLiteral("Times New Roman"));
    EXPECT_DOUBLE_EQ(m.fontPointSize(), 17.5);
    EXPECT_EQ(m.foreground().color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(m.background().color(), QColor(255, 255, 0));

    // Written again, the same bytes: nothing drifts from one save to the next.
    EXPECT_EQ(Rtf::Write(&back), rtf);
}

TEST(RtfRoundTrip, ListsKeepKindNumberingAndStart) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Vorher"));
    const struct {
        QTextListFormat::Style style;
        int start;
    } kinds[] = {{QTextListFormat::ListDisc, 1}, {QTextListFormat::ListDecimal, 3},
                 {QTextListFormat::ListLowerAlpha, 1}};
    for (const auto& k : kinds) {
        c.insertBlock();
        QTextListFormat lf;
        lf.setStyle(k.style);
        if (k.start != 1)
            lf.setProperty(ListStart, k.start);
        QTextList* list = c.createList(lf);
        c.insertText(QStringLiteral("eins"));
        c.insertBlock();
        list->add(c.block());
        c.insertText(QStringLiteral("zwei"));
        c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("Zwischentext"));
    }
    const QByteArray rtf = Rtf::Write(&doc);
    EXPECT_TRUE(rtf.contains("\\pnstart3\\pndec")) << rtf.constData();
    QTextDocument back;
    Rtf::Read(rtf, &back);
    ExpectSameLists(doc, back);
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
}

TEST(RtfRoundTrip, ListsAlsoGoIntoTheListTableForOtherPrograms) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Vorher"));
    const struct {
        QTextListFormat::Style style;
        int start;
        const char* suffix;
    } kinds[] = {{QTextListFormat::ListLowerRoman, 4, "."},
                 {QTextListFormat::ListUpperAlpha, 1, ")"},
                 {QTextListFormat::ListDisc, 1, ""}};
    for (const auto& k : kinds) {
        c.insertBlock();
        QTextListFormat lf;
        lf.setStyle(k.style);
        lf.setNumberSuffix(QString::fromLatin1(k.suffix));
        if (k.start != 1)
            lf.setProperty(ListStart, k.start);
        c.createList(lf);
        c.insertText(QStringLiteral("Punkt"));
        c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("Zwischentext"));
    }
    const QByteArray rtf = Rtf::Write(&doc);
    EXPECT_TRUE(rtf.contains("\\levelnfc2\\levelnfcn2")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\levelstartat4")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("{\\leveltext\\'02\\'00);}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\levelnfc23")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\ls3\\ilvl0")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\pnlcrm")) << "the old numbering stays for older readers";

    // A reader that takes the list table alone finds kind, start and suffix of every list.
    const QByteArray tablesOnly = QString::fromLatin1(rtf)
                     .remove(QRegularExpression(QStringLiteral(R"(\{\\\*\\pn[^{}]*(\{[^{}]*\})?\})")))
                     .toLatin1();
    ASSERT_FALSE(tablesOnly.contains("\\pnlcrm"));
    QTextDocument back;
    Rtf::Read(tablesOnly, &back);
    ExpectSameLists(doc, back);
}

TEST(RtfCodePages, EastAsianTextIsDecodedAndWrittenBackAsUnicode) {
    const QByteArray in =
        "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
        "\\'96\\'be\\'92\\'a9;}{\\f1\\fnil\\fcharset129 Gulim;}{\\f2\\fnil\\fcharset134 SimSun;}"
        "{\\f3\\fnil\\fcharset136 MingLiU;}{\\f4\\fnil\\fcharset0 Arial;}}"
        "\\f0 \\'82\\'a0\\'82\\'a2\\'95\\'5c \\f1 \\'c7\\'d1 \\f2 \\'d6\\'d0\\'ce\\'c4 "
        "\\f3 \\'a4\\'a4\\'a4\\'e5 \\f4 caf\\'e9\\par}";
    QTextDocument doc;
    const Rtf::ReadResult r = Rtf::Read(in, &doc);
    EXPECT_FALSE(r.Skipped()) << r.problems.join(QStringLiteral("; ")).toStdString();
    const QString text = QStringLiteral("あい表 한 中文 中文 café");
    EXPECT_EQ(doc.toPlainText(), text);
    EXPECT_EQ(Fragments(Block(doc, 0))[0].format.fontFamilies().toStringList().value(0),
              QStringLiteral("ＭＳ 明朝"));

    // Written as Unicode escapes in 7-bit RTF: read again, and by any reader, it is the same.
    const QByteArray out = Rtf::Write(&doc);
    for (char ch : out)
        ASSERT_LT(uchar(ch), 0x80);
    EXPECT_TRUE(out.contains("\\u12354?")) << out.constData();
    QTextDocument back;
    Rtf::Read(out, &back);
    EXPECT_EQ(back.toPlainText(), text);

    // The document's code page for text without a font of its own, raw bytes included.
    QTextDocument raw;
    Rtf::Read("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\xce\xc4}", &raw);
    EXPECT_EQ(raw.toPlainText(), QStringLiteral("中文"));

    // A code page nobody knows: shown as 1252, and said so.
    QTextDocument unknown;
    const Rtf::ReadResult u = Rtf::Read("{\\rtf1\\ansi\\ansicpg12345 caf\\'e9}", &unknown);
    EXPECT_EQ(unknown.toPlainText(), QStringLiteral("café"));
    EXPECT_TRUE(u.Skipped());
    EXPECT_TRUE(u.problems.join(u' ').contains(QStringLiteral("12345")));
}

TEST(RtfSamples, OfficeSuiteDocumentsKeepShapesFieldsHighlightsAndListSuffixes) {
    QByteArray png;
    QBuffer pb(&png);
    pb.open(QIODevice::WriteOnly);
    TestImage().save(&pb, "PNG");
    // The way an office suite writes a picture: as the shape's picture, with a fall-back result.
    const QByteArray shapes =
        "{\\rtf1\\ansi{\\colortbl;\\red255\\green255\\blue0;}"
        "vor {\\shp{\\*\\shpinst\\shpleft0\\shptop0{\\sp{\\sn shapeType}{\\sv 75}}"
        "{\\sp{\\sn pib}{\\sv {\\pict{\\*\\picprop{\\sp{\\sn wzName}{\\sv Bild 1}}}"
        "\\pngblip\\picw5\\pich3 " + Hex(png) + "}}}}"
        "{\\shprslt{\\*\\do\\dobxcolumn\\dodhgt8193}{\\pict\\wmetafile8 0100}}} nach\\par"
        "{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 202}}"
        "{\\shptxt \\pard Rahmentext\\par}}}"
        "{\\field{\\*\\fldinst {\\lang1031 MACROBUTTON  NoMacro [Name eingeben]}}{\\fldrslt }}"
        " {\\chcbpat1 gelb}\\par"
        "{\\*\\listtable{\\list{\\listlevel\\levelnfc2\\levelstartat3{\\leveltext\\'02\\'00);}"
        "{\\levelnumbers\\'01;}}\\listid5}}"
        "{\\*\\listoverridetable{\\listoverride\\listid5\\listoverridecount0\\ls2}}"
        "\\pard\\ls2 eins\\par}";
    QTextDocument doc;
    const Rtf::ReadResult r = Rtf::Read(shapes, &doc);
    EXPECT_FALSE(r.Skipped()) << r.problems.join(QStringLiteral("; ")).toStdString();
    ExpectSamePixels(FirstImage(doc), TestImage());
    EXPECT_EQ(doc.toPlainText(),
              QStringLiteral("vor \uFFFC nach\nRahmentext\n[Name eingeben] gelb\neins"));
    const std::vector<Frag> line = Fragments(Block(doc, 2));
    EXPECT_EQ(line.back().text, QStringLiteral("gelb"));
    EXPECT_EQ(line.back().format.background().color(), QColor(255, 255, 0));
    QTextList* list = Block(doc, 3).textList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->format().style(), QTextListFormat::ListLowerRoman);
    EXPECT_EQ(list->format().numberSuffix(), QStringLiteral(")"));
    EXPECT_EQ(list->format().property(ListStart).toInt(), 3);

    // What is still left out makes the editor warn before it saves over it.
    for (const char* lost : {"{\\rtf1 a{\\header Kopf\\par}b}",
                             "{\\rtf1 a{\\footnote Fu\\'df}b}",
                             "{\\rtf1 a{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 1}}}}b}",
                             "{\\rtf1 sichtbar {\\v verborgen}\\v0  weiter}"}) {
        QTextDocument d;
        EXPECT_TRUE(Rtf::Read(lost, &d).Skipped()) << lost;
        EXPECT_FALSE(d.toPlainText().contains(QStringLiteral("verborgen"))) << lost;
    }
}

TEST(RtfSamples, NestedTableFallbacksAndBrokenPicturesLeaveTheRestAlone) {
    QByteArray png;
    QBuffer pb(&png);
    pb.open(QIODevice::WriteOnly);
    TestImage().save(&pb, "PNG");
    QTextDocument nested;
    Rtf::Read("{\\rtf1 x{\\*\\nesttableprops\\nestrow}{\\nonesttables y\\par}z\\par}", &nested);
    EXPECT_EQ(nested.toPlainText(), QStringLiteral("xz"));

    // A picture whose group holds properties without a star, and one whose \bin runs past
    // the end: each ends at its closing brace, and the picture behind them is shown.
    QTextDocument pictures;
    Rtf::Read("{\\rtf1 a{\\pict\\pngblip{\\picprop{\\sp{\\sn wzName}{\\sv Bild}}}" + Hex(png) +
                  "}b{\\pict\\pngblip\\bin99999 kaputt}c{\\pict\\pngblip " + Hex(png) + "}d}",
              &pictures);
    EXPECT_EQ(pictures.toPlainText(), QStringLiteral("a\uFFFCbc\uFFFCd"));
    for (QTextBlock b = pictures.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                ExpectSamePixels(pictures
                                     .resource(QTextDocument::ImageResource,
                                               QUrl(it.fragment().charFormat().toImageFormat().name()))
                                     .value<QImage>(),
                                 TestImage());
}

TEST(RtfPictures, PixelsSurviveEveryWayIn) {
    const QImage img = TestImage();
    // An image the editor holds is written as PNG and read back pixel for pixel.
    QTextDocument doc;
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("bild")), img);
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("vor "));
    QTextImageFormat f;
    f.setName(QStringLiteral("bild"));
    f.setWidth(50);
    f.setHeight(30);
    c.insertImage(f);
    c.insertText(QStringLiteral(" nach"));
    QTextDocument back;
    Rtf::Read(Rtf::Write(&doc), &back);
    ExpectSamePixels(FirstImage(back), img);
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());

    // The hex DIB the picture tool writes, with padded rows stored bottom-up.
    const QByteArray dibRtf = "{\\rtf1 {\\pict\\dibitmap0\\picw5\\pich3\\picwgoal750\\pichgoal450 " +
                              Hex(Dib(img)).toUpper() + "}\\u8192?\\par}";
    QTextDocument fromDib;
    EXPECT_FALSE(Rtf::Read(dibRtf, &fromDib).Skipped());
    ExpectSamePixels(FirstImage(fromDib), img);

    // A palette DIB goes through the BMP reader behind a file header of our own: two colours,
    // one bit a pixel, rows of 4 bytes, bottom-up.
    QByteArray pal(40 + 8 + 2 * 4, '\0');
    pal[0] = 40;
    pal[4] = 2;
    pal[8] = 2;
    pal[12] = 1;
    pal[14] = 1;
    pal[32] = 2;                                            // colours used
    pal[40] = char(0xFF); pal[41] = 0; pal[42] = 0;         // 0: blue
    pal[44] = 0; pal[45] = 0; pal[46] = char(0xFF);         // 1: red
    pal[48] = char(0x80);                                   // bottom row: red, blue
    pal[52] = char(0x40);                                   // top row: blue, red
    QTextDocument fromPalette;
    Rtf::Read("{\\rtf1 {\\pict\\dibitmap0 " + Hex(pal) + "}}", &fromPalette);
    const QImage palImg = FirstImage(fromPalette);
    ASSERT_EQ(palImg.size(), QSize(2, 2));
    EXPECT_EQ(palImg.pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(palImg.pixel(1, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(palImg.pixel(0, 1) & 0xFFFFFF, 0xFF0000u);

    QByteArray png, jpeg;
    QBuffer pb(&png), jb(&jpeg);
    pb.open(QIODevice::WriteOnly);
    jb.open(QIODevice::WriteOnly);
    img.save(&pb, "PNG");
    img.scaled(64, 64).save(&jb, "JPEG");
    QTextDocument fromPng, fromJpeg;
    Rtf::Read("{\\rtf1 {\\pict\\pngblip\\picw5\\pich3 " + Hex(png) + "}}", &fromPng);
    ExpectSamePixels(FirstImage(fromPng), img);
    // \bin carries the bytes raw.
    Rtf::Read("{\\rtf1 {\\pict\\jpegblip\\bin" + QByteArray::number(jpeg.size()) + " " + jpeg + "}}",
              &fromJpeg);
    EXPECT_EQ(FirstImage(fromJpeg).size(), QSize(64, 64));
}

TEST(RtfPictures, KindsWeCannotShowAreWrittenBackUnchanged) {
    const QByteArray emf = "0100000084000000ff00aa55";
    const QByteArray in = "{\\rtf1\\ansi Vorher {\\pict\\emfblip\\picw2000\\pich1000\\picwgoal1134"
                          "\\pichgoal567 " + emf + "} nachher\\par}";
    QTextDocument doc;
    const Rtf::ReadResult r = Rtf::Read(in, &doc);
    EXPECT_EQ(r.placeholders, 1);
    EXPECT_TRUE(r.Skipped());
    const QImage shown = FirstImage(doc);
    EXPECT_FALSE(shown.isNull()) << "a placeholder is shown in its place";
    const QByteArray out = Rtf::Write(&doc);
    EXPECT_TRUE(out.contains("{\\pict\\emfblip\\picw2000\\pich1000\\picwgoal1134\\pichgoal567\r\n" +
                             emf + "}"))
        << out.constData();
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Vorher \uFFFC nachher"));
}

TEST(RtfSamples, RichEditStyleDocumentsReadRight) {
    // Written by hand from the format's description, in the way a rich-edit control writes.
    const QByteArray sample =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1031"
        "{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1\\fnil\\fcharset2 Symbol;}"
        "{\\f2\\fswiss\\fcharset238 Arial CE;}{\\f3\\fnil\\fcharset204 Arial Cyr;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
        "{\\stylesheet{\\s0 Normal;}}{\\info{\\author Jemand}}"
        "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
        "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang7 Stra\\'dfe \\cf1\\b rot\\cf0\\b0  "
        "\\f2\\'b9\\'e6\\f3\\'c0\\f0  \\u8364? \\uc2\\u8220\\'93\\'94x\\uc1\\par\r\n"
        "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
        "\\fi-360\\li720 erstens\\par\r\n"
        "{\\pntext\\f1\\'B7\\tab}zweitens\\par\r\n"
        "\\pard{\\pntext\\f0 c)\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart3\\pnlcltr"
        "{\\pntxta)}}\\fi-360\\li720 dritter Punkt\\par\r\n"
        "\\pard\\trowd\\cellx1000\\cellx2000\\intbl A1\\cell B1\\cell\\row"
        "\\pard{\\field{\\*\\fldinst{HYPERLINK \"x\"}}{\\fldrslt{Verweis}}}\\par\r\n"
        "}\r\n\0";
    QTextDocument doc;
    const Rtf::ReadResult r = Rtf::Read(sample, &doc);
    EXPECT_TRUE(r.complete);
    ASSERT_EQ(doc.blockCount(), 6) << doc.toPlainText().toStdString();
    EXPECT_EQ(Block(doc, 0).text(), QStringLiteral("Straße rot ąćА € “x"));
    EXPECT_EQ(Fragments(Block(doc, 0))[1].format.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(Fragments(Block(doc, 0))[1].format.fontWeight(), QFont::Bold);
    EXPECT_EQ(Block(doc, 1).text(), QStringLiteral("erstens"));
    ASSERT_TRUE(Block(doc, 1).textList());
    EXPECT_EQ(Block(doc, 1).textList()->format().style(), QTextListFormat::ListDisc);
    EXPECT_EQ(Block(doc, 2).textList(), Block(doc, 1).textList());
    ASSERT_TRUE(Block(doc, 3).textList());
    EXPECT_EQ(Block(doc, 3).textList()->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_EQ(Block(doc, 3).textList()->format().numberSuffix(), QStringLiteral(")"));
    EXPECT_EQ(Block(doc, 4).text(), QStringLiteral("A1\tB1"));
    EXPECT_EQ(Block(doc, 5).text(), QStringLiteral("Verweis"));

    // List-table numbering, as newer writers use it.
    const QByteArray lists =
        "{\\rtf1{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1"
        "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}\\listid7}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        "{\\listtext 1.\\tab}\\pard\\ls1 eins\\par{\\listtext 2.\\tab}zwei\\par\\pard danach\\par}";
    QTextDocument ld;
    Rtf::Read(lists, &ld);
    ASSERT_EQ(ld.blockCount(), 3);
    ASSERT_TRUE(Block(ld, 0).textList());
    EXPECT_EQ(Block(ld, 0).textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(Block(ld, 1).textList(), Block(ld, 0).textList());
    EXPECT_FALSE(Block(ld, 2).textList());
    EXPECT_EQ(ld.toPlainText(), QStringLiteral("eins\nzwei\ndanach"));

    // Raw UTF-8 in place of escapes, and a fragment inserted into existing text.
    QTextDocument host;
    host.setPlainText(QStringLiteral("AB"));
    QTextCursor at(&host);
    at.setPosition(1);
    Rtf::Insert(QByteArray("{\\rtf1 {\\b Übergröße}}"), at);
    EXPECT_EQ(host.toPlainText(), QStringLiteral("AÜbergrößeB"));
    // A fragment's closing \par ends its text; it does not break the line it lands in.
    Rtf::Insert(QByteArray("{\\rtf1 x\\par y\\par}"), at);
    EXPECT_EQ(host.toPlainText(), QStringLiteral("AÜbergrößex\nyB"));
}

TEST(RtfHostileInput, EndsWithTheTextReadSoFarAndNoBlowUp) {
    QElapsedTimer t;
    t.start();
    const struct {
        const char* what;
        QByteArray data;
        QString text;
    } cases[] = {
        {"deep nesting", "{\\rtf1 vorn " + QByteArray(200000, '{') + "x" + QByteArray(200000, '}') +
                             " hinten}",
         QStringLiteral("vorn  hinten")},
        {"truncated", "{\\rtf1 abc {\\b fett", QStringLiteral("abc fett")},
        {"huge \\bin", "{\\rtf1 a{\\pict\\pngblip\\bin2000000000 xyz}b}", QStringLiteral("ab")},
        {"huge picture size", "{\\rtf1 a{\\pict\\dibitmap0\\picw99999999\\pich99999999 "
                              "28000000ffffff7f}b}",
         QStringLiteral("a\uFFFCb")},
        {"bad hex", "{\\rtf1 a{\\pict\\pngblip 89504zzq}b\\'zz c}", QStringLiteral("ab c")},
        {"closing too often", "{\\rtf1 a}}}} b", QStringLiteral("a")},
        {"endless numbers", "{\\rtf1\\fs99999999999999999999999\\li-99999999999999999 x\\u99999999999?}",
         QStringLiteral("x\uFFFF")},
        {"no RTF", "just text", QStringLiteral("just text")},
        {"long control word", "{\\rtf1 \\" + QByteArray(100000, 'a') + " y}", QStringLiteral("y")},
        {"unicode skip past group end", "{\\rtf1\\uc5\\u228?}z}", QStringLiteral("ä")},
    };
    for (const auto& c : cases) {
        QTextDocument doc;
        const Rtf::ReadResult r = Rtf::Read(c.data, &doc);
        EXPECT_EQ(doc.toPlainText(), c.text) << c.what;
        Rtf::Write(&doc); // what was read can always be written
    }
    for (const char* broken : {"{\\rtf1 abc {\\b fett", "{\\rtf1 a{\\pict\\pngblip 89504zzq}b}"}) {
        QTextDocument doc;
        EXPECT_TRUE(Rtf::Read(broken, &doc).Skipped()) << broken;
    }
    EXPECT_LT(t.elapsed(), 5000) << "hostile input must not hang the reader";
}
