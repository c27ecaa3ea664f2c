// The per-page annotation XML: the exact bytes of both streams, round trips, reader tolerance and
// defaults, and bad input.
#include "AnnotFixture.h"
#include "AnnotPayload.h"

#include <IERawBitmap.h>

#include <QXmlStreamReader>

#include <zlib.h>

using namespace annottest;
using namespace Imaging;

namespace {

// The 4 x 2 RGB picture of the vector: red, green, blue, white / black, three others.
QImage SmallImage() {
    QImage img(4, 2, QImage::Format_RGB888);
    const QRgb px[8] = {qRgb(255, 0, 0), qRgb(0, 255, 0),  qRgb(0, 0, 255),    qRgb(255, 255, 255),
                        qRgb(0, 0, 0),   qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(255, 255, 0)};
    for (int i = 0; i < 8; ++i)
        img.setPixel(i % 4, i / 4, px[i]);
    return img;
}

// Base64 of the zlib stream of the picture's raw dump, computed outside this program (Python's
// zlib and base64 on the documented dump layout).
const char kSmallImagePayload[] = "eJzz9gwyZGFgYGACYgkg5gHi/zAMBECKS0TuRIoRkAkAp6UK1A==";

bool Parses(const QByteArray& xml) {
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        r.readNext();
    return !r.hasError();
}

} // namespace

class AnnotXmlTest : public AnnotTest {
protected:
    // One object of every kind, and a barcode marker last.
    void AddVectorObjects() {
        layer.AddAnnotHighlight(QRect(200, 100, 50, 25), 65535);
        layer.AddAnnotText(QRect(20, 10, 100, 50), QStringLiteral("Prüfen"), 0, 34,
                           QStringLiteral("Arial"), true, false, clInfoBk, 0);
        layer.AddAnnotArrow(QRect(40, 300, 100, 50), QStringLiteral("Pos. 1"), true,
                            QStringLiteral("Pos. *"), 255, 0, true, 26);
        layer.AddAnnotDot(QPoint(100, 100), 10, 255, 0);
        layer.AddAnnotImage(QRect(0, 0, 4, 2), SmallImage(), QStringLiteral("Geprüft"));
        layer.AddAnnotHighlight(QRect(5, 5, 80, 30), 65535, QStringLiteral("*Barcode*"));
    }
};

TEST_F(AnnotXmlTest, BothStreamsHaveTheExactBytesOfTheFormat) {
    AddVectorObjects();
    QByteArray full, x;
    layer.SaveAnnotations(full, x);
    const QByteArray common = QByteArray(" creator=\"meier\" c_date=\"65220480\" editor=\"meier\" "
                                         "e_date=\"65220480\"");
    const QByteArray body =
        "  <highlight top=\"100\" left=\"200\" bottom=\"125\" right=\"250\"" + common +
        " color=\"65535\"/>\r\n"
        "  <text top=\"10\" left=\"20\" bottom=\"60\" right=\"120\"" +
        common +
        " font=\"Arial\" bold=\"true\" color=\"0\" size=\"34\" background=\"-16777192\" "
        "border=\"0\">Pr\xC3\xBC"
        "fen</text>\r\n"
        "  <arrow top=\"300\" left=\"40\" bottom=\"350\" right=\"140\"" +
        common +
        " color=\"255\" color2=\"0\" autotext=\"yes\" mask=\"Pos. *\" bold=\"yes\" "
        "fontsize=\"26\">Pos. 1</arrow>\r\n"
        "  <dot top=\"95\" left=\"95\" bottom=\"105\" right=\"105\"" +
        common +
        " size=\"10\" color=\"255\" border=\"0\"/>\r\n"
        "  <image top=\"0\" left=\"0\" bottom=\"2\" right=\"4\"" +
        common +
        " image_name=\"Gepr\xC3\xBC"
        "ft\">" +
        kSmallImagePayload + "</image>\r\n";
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n";
    const QByteArray marker = "  <highlight top=\"5\" left=\"5\" bottom=\"35\" right=\"85\" "
                              "creator=\"*Barcode*\" c_date=\"65220480\" editor=\"*Barcode*\" "
                              "e_date=\"65220480\" color=\"65535\"/>\r\n";
    EXPECT_EQ(full, head + body + marker + "</annotation>\r\n");
    EXPECT_EQ(x, head + body + "</annotation>\r\n");
}

TEST_F(AnnotXmlTest, WriteReadWriteGivesTheSameBytesForEveryKind) {
    AddVectorObjects();
    // The other branch of every conditional attribute.
    layer.AddAnnotText(QRect(300, 300, 80, 40), QStringLiteral("zwei\r\nZeilen & <mehr>"), 255, 20,
                       QStringLiteral("Courier"), false, true, clNone, clNone);
    layer.AddAnnotArrow(QRect(500, 500, -60, 40), QStringLiteral("Hinweis \"A\""), false, {}, 0,
                        65535, false, 30);
    QImage grey(7, 3, QImage::Format_Grayscale8);
    grey.fill(77);
    layer.AddAnnotImage(QRect(10, 700, 70, 30), grey, QStringLiteral("grau"));
    const QByteArray first = Save();

    TIEVectModel other;
    TAnnotLayer reader(other);
    reader.Env = layer.Env;
    now = now.addDays(3); // the dates come from the document, not from the clock
    reader.LoadAnnotations(first, 0);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'\n').toStdString();
    ASSERT_EQ(other.ObjectsCount(), canvas.ObjectsCount());
    QByteArray again, againX;
    reader.SaveAnnotations(again, againX);
    EXPECT_EQ(again, first);

    // The read objects carry what was written.
    const TIEVObject& text = other.ObjAt(6);
    EXPECT_EQ(text.Text, QStringLiteral("zwei\r\nZeilen & <mehr>"));
    EXPECT_TRUE(text.Italic);
    EXPECT_EQ(text.BrushStyle, TBrushStyle::bsClear);
    EXPECT_EQ(text.MemoBorderStyle, TPenStyle::psClear);
    EXPECT_EQ(other.ObjAt(7).Right, 440); // an arrow keeps its direction
    EXPECT_EQ(other.ObjAt(4).Bitmap, SmallImage());
    EXPECT_EQ(other.ObjAt(8).Bitmap, grey);
    EXPECT_EQ(reader.AnnotData(other.GetObjFromIndex(2)).Mask, QStringLiteral("Pos. *"));
    EXPECT_EQ(reader.AnnotData(other.GetObjFromIndex(4)).ImageName(), QStringLiteral("Geprüft"));
    EXPECT_EQ(reader.AnnotData(other.GetObjFromIndex(3)).SrcIndex, 3);
}

TEST_F(AnnotXmlTest, ReaderTakesLineFeedsOtherIndentationAndAByteOrderMark) {
    const QByteArray lf = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<annotation>\n"
                          "\t<dot top=\"1\" left=\"2\" size=\"12\"/>\n"
                          "<highlight top=\"3\" left=\"4\"/><Text>ä</Text>\n</annotation>\n";
    for (const QByteArray& doc : {lf, QByteArray("\xEF\xBB\xBF") + lf}) {
        layer.LoadAnnotations(doc, 0);
        EXPECT_TRUE(shown.isEmpty());
        ASSERT_EQ(canvas.ObjectsCount(), 3);
        EXPECT_EQ(Obj(0).Kind, iekELLIPSE);
        EXPECT_EQ(Obj(1).Kind, iekBOX);
        EXPECT_EQ(Obj(2).Text, QStringLiteral("ä"));
    }
    // Attribute names are exact: "TOP" is not "top".
    layer.LoadAnnotations("<annotation><highlight TOP=\"50\" left=\"7\"/></annotation>", 0);
    EXPECT_EQ(Obj(0).Top, 0);
    EXPECT_EQ(Obj(0).Left, 7);
}

TEST_F(AnnotXmlTest, ReaderDefaultsPresenceBooleansAndTrims) {
    layer.LoadAnnotations(
        "<annotation>"
        "<highlight/>"
        "<text top=\"10\" left=\"20\" bold=\"no\" italic=\"\" background=\"x\" border=\"\">"
        "  Rand  </text>"
        "<arrow autotext=\"\" bold=\"0\" mask=\"  Pos. * \">  Pos. 4 </arrow>"
        "<dot top=\"5\" left=\"6\" bottom=\"900\" right=\"900\" size=\"14\"/>"
        "<dot top=\"abc\" left=\"1.5\" size=\"\"/>"
        "</annotation>",
        1);
    ASSERT_EQ(canvas.ObjectsCount(), 5);
    // No coordinates: a 50 x 25 rectangle at (0, 0); creator and editor "unknown", date 0.
    EXPECT_EQ(QRect(Obj(0).Left, Obj(0).Top, Obj(0).Width(), Obj(0).Height()), QRect(0, 0, 50, 25));
    EXPECT_EQ(Obj(0).BrushColor, 65535);
    EXPECT_EQ(Data(0).Creator, QStringLiteral("unknown"));
    EXPECT_EQ(Data(0).Editor, QStringLiteral("unknown"));
    EXPECT_EQ(Data(0).CDate, 0.0);
    // Presence is what counts, whatever the value says.
    EXPECT_TRUE(Obj(1).Bold);
    EXPECT_TRUE(Obj(1).Italic);
    EXPECT_EQ(Obj(1).BrushStyle, TBrushStyle::bsSolid);
    EXPECT_EQ(Obj(1).MemoBorderStyle, TPenStyle::psSolid);
    EXPECT_EQ(Obj(1).BrushColor, clInfoBk); // present but no number: the control's default
    EXPECT_EQ(Obj(1).FontHeight, 34);
    EXPECT_EQ(Obj(1).Text, QStringLiteral("  Rand  ")); // a text box's text is not trimmed
    EXPECT_EQ(Obj(1).Bottom, 35);
    EXPECT_EQ(Obj(1).Right, 70);
    EXPECT_EQ(Data(2).AutoText, 1);
    EXPECT_TRUE(Obj(2).Bold);
    EXPECT_EQ(Obj(2).PenColor, 255);
    EXPECT_EQ(Obj(2).FontHeight, 26);
    EXPECT_EQ(Obj(2).Text, QStringLiteral("Pos. 4"));
    EXPECT_EQ(Data(2).Mask, QStringLiteral("Pos. *"));
    // A dot is as wide and high as its size, whatever right and bottom say.
    EXPECT_EQ(Obj(3).Width(), 14);
    EXPECT_EQ(Obj(3).Height(), 14);
    EXPECT_EQ(Obj(3).BrushColor, 255);
    // Values that are no integers give the defaults.
    EXPECT_EQ(Obj(4).Top, 0);
    EXPECT_EQ(Obj(4).Left, 0);
    EXPECT_EQ(Obj(4).Width(), 10);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(AnnotXmlTest, BarcodeMarkersStayOutOfTheStoredStream) {
    layer.AddAnnotHighlight(QRect(1, 1, 60, 30), 65535, QStringLiteral("*Barcode*"));
    layer.AddAnnotText(QRect(1, 40, 60, 30), QStringLiteral("4711"), 0, 20, QStringLiteral("Arial"),
                       false, false, clNone, clNone, QStringLiteral("*Barcode*"));
    QByteArray full, x;
    layer.SaveAnnotations(full, x);
    EXPECT_FALSE(full.isEmpty());
    EXPECT_TRUE(x.isEmpty());

    layer.AddAnnotHighlight(QRect(1, 80, 60, 30), 65535, QStringLiteral("*barcode*"));
    layer.SaveAnnotations(full, x);
    EXPECT_TRUE(x.contains("creator=\"*barcode*\""));
    EXPECT_FALSE(x.contains("*Barcode*"));
    EXPECT_FALSE(x.contains("\r\n\r\n"));
    EXPECT_TRUE(Parses(x));
}

TEST_F(AnnotXmlTest, EmptyPagesAndDatesOfNewObjects) {
    QByteArray full = "old", x = "old";
    layer.SaveAnnotations(full, x);
    EXPECT_TRUE(full.isEmpty());
    EXPECT_TRUE(x.isEmpty());
    layer.LoadAnnotations({}, 0);
    EXPECT_EQ(canvas.ObjectsCount(), 0);
    EXPECT_TRUE(shown.isEmpty());

    layer.AddAnnotDot(QPoint(50, 50), 10, 255, 0);
    EXPECT_LT(Data(0).CDate, 0.0);
    now = QDateTime(QDate(2024, 1, 1), QTime(0, 0, 30)); // half a minute rounds to even: 0
    EXPECT_TRUE(Save().contains("c_date=\"65220480\" editor=\"meier\" e_date=\"65220480\""));
    EXPECT_EQ(Data(0).CDate, DateTimeToDays(now)); // the record keeps the time of its first save
    now = now.addSecs(90);
    EXPECT_TRUE(Save().contains("c_date=\"65220480\"")); // and the next save keeps it

    layer.LoadAnnotations("<annotation><dot top=\"1\" left=\"1\"/></annotation>", 0);
    EXPECT_TRUE(Save().contains("c_date=\"0\" editor=\"unknown\" e_date=\"0\""));
}

TEST_F(AnnotXmlTest, MinutesRoundHalvesToEven) {
    EXPECT_EQ(DaysToMinutes(45292.0), FixedMinutes);
    EXPECT_EQ(DaysToMinutes(0.5 / 1440.0), 0);
    EXPECT_EQ(DaysToMinutes(1.5 / 1440.0), 2);
    EXPECT_EQ(DaysToMinutes(2.5 / 1440.0), 2);
    EXPECT_EQ(DaysToMinutes(2.6 / 1440.0), 3);
}

TEST_F(AnnotXmlTest, TextsKeepEveryCharacterAndControlCharactersBecomeBlanks) {
    EXPECT_EQ(AllowedText(QStringLiteral("a\tb\fc\r\nd\x01")), QStringLiteral("a b c\r\nd "));
    const QString text = QStringLiteral("Ω 日本 \u0105\r\n\tx");
    layer.AddAnnotText(QRect(1, 1, 200, 50), text, 0, 20, QStringLiteral("Noto Sans CJK"), false,
                       false, clNone, clNone);
    layer.AddAnnotArrow(QRect(1, 100, 80, 20), QStringLiteral("Ω 3"), true, QStringLiteral("Ω *"),
                        255, 0, false, 26);
    layer.LoadAnnotations(Save(), 0);
    EXPECT_EQ(Obj(0).Text, QStringLiteral("Ω 日本 \u0105\r\n x"));
    EXPECT_EQ(Obj(0).FontName, QStringLiteral("Noto Sans CJK"));
    EXPECT_EQ(Data(1).Mask, QStringLiteral("Ω *"));
}

TEST_F(AnnotXmlTest, CharactersXmlCannotCarryAreReplacedSoTheDocumentParses) {
    QString creator = QStringLiteral("a\x01"
                                     "b");
    creator += QChar(0xD800); // a lone surrogate
    layer.AddAnnotHighlight(QRect(1, 1, 60, 30), 65535, creator);
    layer.AddAnnotText(QRect(1, 40, 60, 30), QStringLiteral("x\uFFFFy\"<&>"), 0, 20,
                       QStringLiteral("Arial\t\"Q\""), false, false, clNone, clNone);
    const QByteArray xml = Save();
    ASSERT_TRUE(Parses(xml));
    layer.LoadAnnotations(xml, 0);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(Data(0).Creator, QStringLiteral("a b\uFFFD"));
    EXPECT_EQ(Obj(1).Text, QStringLiteral("x\uFFFDy\"<&>"));
    EXPECT_EQ(Obj(1).FontName, QStringLiteral("Arial\t\"Q\""));
}

TEST_F(AnnotXmlTest, NamesAreCutToOneHundredBytesAtACharacterBoundary) {
    const QString longName = QString(99, u'x') + QStringLiteral("üü");
    EXPECT_EQ(ShortString(longName), QString(99, u'x')); // "ü" needs two bytes: it does not fit
    EXPECT_EQ(ShortString(QString(150, u'a')).size(), 100);
    EXPECT_EQ(ShortString(QString(60, QChar(0x20AC))).toUtf8().size(), 99); // 33 euro signs
    layer.LoadAnnotations("<annotation><highlight creator=\"" + QString(120, QChar(0xE4)).toUtf8() +
                              "\"/></annotation>",
                          0);
    EXPECT_EQ(Data(0).Creator, QString(50, QChar(0xE4)));
}

TEST_F(AnnotXmlTest, ADocumentThatDoesNotParseLeavesAnEmptyCanvasAndOneMessage) {
    layer.AddAnnotDot(QPoint(50, 50), 10, 255, 0);
    layer.LoadAnnotations("<annotation><highlight top=\"1\"/><dot></annotation>", 2);
    EXPECT_EQ(canvas.ObjectsCount(), 0);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(
        QStringLiteral("Fehler beim Laden der Kommentare von \"dms/4711.tiff\" Seite 3. ")));
}

TEST_F(AnnotXmlTest, AFailingElementIsReportedAndTheRestLoads) {
    QByteArray huge(AnnotPayload::MaxInflated + 1, '\0');
    uLongf size = compressBound(uLong(huge.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(huge.constData()), uLong(huge.size()), 1);
    packed.truncate(qsizetype(size));
    const QByteArray notZlib = QByteArray("no zlib stream here").toBase64();
    const QByteArray cut = QByteArray(kSmallImagePayload).left(30) + "==";
    const QByteArray notADump = AnnotPayload::Encode("not a dump");
    layer.LoadAnnotations("<annotation>"
                          "<image image_name=\"A\">***</image>"
                          "<dot/>"
                          "<line top=\"1\"/>"
                          "<image image_name=\"B\">" +
                              notZlib +
                              "</image>"
                              "<image image_name=\"C\">" +
                              packed.toBase64() +
                              "</image>"
                              "<image image_name=\"D\">" +
                              cut +
                              "</image>"
                              "<image image_name=\"E\">" +
                              notADump +
                              "</image>"
                              "<image image_name=\"F\">" +
                              kSmallImagePayload +
                              "</image>"
                              "</annotation>",
                          0);
    ASSERT_EQ(shown.size(), 5);
    EXPECT_TRUE(shown[0].startsWith(
        QStringLiteral("Fehler beim Laden des 1. Kommentars von \"dms/4711.tiff\" Seite 1. ")));
    EXPECT_TRUE(shown[0].endsWith(QStringLiteral("Ungültiges Annotation-Image (dms/4711.tiff)")));
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("Fehler beim Laden des 4. Kommentars")));
    EXPECT_TRUE(shown[2].startsWith(QStringLiteral("Fehler beim Laden des 5. Kommentars")));
    EXPECT_TRUE(shown[3].startsWith(QStringLiteral("Fehler beim Laden des 6. Kommentars")));
    EXPECT_TRUE(shown[4].startsWith(QStringLiteral("Fehler beim Laden des 7. Kommentars")));
    EXPECT_EQ(raised, QStringList{QStringLiteral("Unbekannte Anmerkung (line)")});
    // The dot and the good image load; the failed images stay with their stored payload.
    ASSERT_EQ(canvas.ObjectsCount(), 7);
    EXPECT_EQ(Obj(1).Kind, iekELLIPSE);
    EXPECT_EQ(Obj(6).Bitmap, SmallImage());
    const QByteArray written = Save();
    EXPECT_TRUE(written.contains("image_name=\"A\">***</image>"));
    EXPECT_TRUE(written.contains("image_name=\"B\">" + notZlib + "</image>"));
    EXPECT_TRUE(written.contains("image_name=\"D\">" + cut + "</image>"));
    EXPECT_TRUE(written.contains(QByteArray("image_name=\"F\">") + kSmallImagePayload));
}

TEST_F(AnnotXmlTest, ARaisingErrorRoutineStillLetsTheRestLoad) {
    layer.Env.RaiseError = [](const QString&) { throw EAbort(); };
    layer.LoadAnnotations("<annotation><Unknown/><dot/></annotation>", 0);
    EXPECT_EQ(canvas.ObjectsCount(), 1);
    EXPECT_TRUE(shown.isEmpty());
    layer.Env.RaiseError = [](const QString& m) { throw EVoskException(m); };
    layer.LoadAnnotations("<annotation><Unknown/><dot/></annotation>", 0);
    EXPECT_EQ(canvas.ObjectsCount(), 1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].endsWith(QStringLiteral("Unbekannte Anmerkung (Unknown)")));
}

TEST_F(AnnotXmlTest, WritingAnotherKindFailsAndKeepsTheStreams) {
    layer.AddAnnotDot(QPoint(50, 50), 10, 255, 0);
    canvas.AddNewObject(iekLINE, QRect(1, 1, 10, 10), 0);
    QByteArray full = "before", x = "beforeX";
    try {
        layer.SaveAnnotations(full, x);
        FAIL() << "no exception";
    } catch (const EImagesException& e) {
        EXPECT_EQ(e.TextNr(), 17117);
        EXPECT_EQ(e.Message(), QStringLiteral("Unbekannte Anmerkung (1)"));
    }
    EXPECT_EQ(full, "before");
    EXPECT_EQ(x, "beforeX");
}

TEST_F(AnnotXmlTest, AnnotationDataOfAnotherLengthIsRefused) {
    const int h = canvas.AddNewObject(iekBOX, QRect(1, 1, 10, 10), 0);
    canvas.ObjRef(h).UserData = QVariant(42);
    canvas.ObjRef(h).UserDataLen = 4;
    try {
        layer.CheckAnnotationData(h);
        FAIL() << "no exception";
    } catch (const EImagesException& e) {
        EXPECT_EQ(e.TextNr(), 17116);
    }
    canvas.ObjRef(h).UserDataLen = 0;
    layer.CheckAnnotationData(h);
    EXPECT_EQ(layer.AnnotData(h).Creator, QStringLiteral("meier"));
    EXPECT_EQ(layer.AnnotData(h).SrcIndex, -1);
}

TEST_F(AnnotXmlTest, DeeplyNestedMarkupIsRefusedWithoutRecursionAndKeptAsItCame) {
    // 100,000 levels inside a text (some 700 KB): read without running the stack out.
    const int levels = 100000;
    QByteArray deep = "<text top=\"1\" left=\"1\">";
    for (int i = 0; i < levels; ++i)
        deep += "<b>";
    deep += "tief";
    for (int i = 0; i < levels; ++i)
        deep += "</b>";
    deep += "</text>";
    const QByteArray doc = "<annotation><dot top=\"5\" left=\"5\"/>" + deep +
                           "<highlight top=\"9\" left=\"9\"/></annotation>";
    layer.LoadAnnotations(doc, 1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(
        QStringLiteral("Fehler beim Laden des 2. Kommentars von \"dms/4711.tiff\" Seite 2. ")))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("64 Ebenen")));
    ASSERT_EQ(canvas.ObjectsCount(), 2);
    EXPECT_EQ(Obj(0).Kind, iekELLIPSE);
    EXPECT_EQ(Obj(1).Kind, iekBOX);
    // The refused element is not this program's to drop: it is written back in its place.
    const QByteArray written = Save();
    EXPECT_TRUE(Parses(written));
    const qsizetype at = written.indexOf(deep);
    ASSERT_GE(at, 0);
    EXPECT_LT(written.indexOf("<dot "), at);
    EXPECT_GT(written.indexOf("<highlight "), at);

    // Just beyond the limit is refused, at it is read; an unknown element may nest at will.
    const auto nested = [](const char* name, int n) {
        QByteArray e = QByteArray("<") + name + ">";
        for (int i = 0; i < n; ++i)
            e += "<i>";
        e += "x";
        for (int i = 0; i < n; ++i)
            e += "</i>";
        return e + "</" + name + ">";
    };
    shown.clear();
    layer.LoadAnnotations("<annotation>" + nested("text", 65) + nested("text", 64) +
                              nested("zukunft", 5000) + "</annotation>",
                          0);
    EXPECT_EQ(shown.size(), 1);
    ASSERT_EQ(canvas.ObjectsCount(), 1);
    EXPECT_EQ(Obj(0).Text, QStringLiteral("x"));
    EXPECT_EQ(raised.size(), 1);
    EXPECT_TRUE(Save().contains(nested("zukunft", 5000)));
}

TEST_F(AnnotXmlTest, ExtremeCoordinatesAndSizesStayOnThePage) {
    // The page is 1000 x 800.
    layer.LoadAnnotations("<annotation>"
                          "<highlight top=\"2147483647\" left=\"-2147483648\"/>"
                          "<dot top=\"10\" left=\"20\" size=\"-2147483648\"/>"
                          "<text top=\"99999999999999\" right=\"2147483647\"/>"
                          "</annotation>",
                          0);
    ASSERT_EQ(canvas.ObjectsCount(), 3);
    EXPECT_EQ(QRect(QPoint(Obj(0).Left, Obj(0).Top), QPoint(Obj(0).Right, Obj(0).Bottom)),
              QRect(QPoint(0, 800), QPoint(0, 800)));
    EXPECT_EQ(Obj(1).Right, 1000);
    EXPECT_EQ(Obj(1).Bottom, 800);
    EXPECT_EQ(Obj(2).Top, 800);
    EXPECT_EQ(Obj(2).Right, 1000);
    const QByteArray written = Save();
    EXPECT_TRUE(written.contains("<dot top=\"10\" left=\"20\" bottom=\"800\" right=\"1000\""));
    EXPECT_TRUE(written.contains("size=\"980\""));

    // Without a page the values are only kept from overflowing.
    TIEVectModel bare;
    TAnnotLayer other(bare);
    other.Env = layer.Env;
    other.LoadAnnotations("<annotation><highlight top=\"2147483647\"/></annotation>", 0);
    ASSERT_EQ(bare.ObjectsCount(), 1);
    EXPECT_EQ(bare.ObjAt(0).Top, 1 << 29);
    EXPECT_EQ(bare.ObjAt(0).Bottom, 1 << 29);
}

TEST_F(AnnotXmlTest, WhatANewerProgramWroteSurvivesTheNextSave) {
    const QByteArray doc =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<annotation xmlns:neu=\"urn:neu\" version=\"7\">\n"
        "<!-- von Version 7 -->\n"
        "<neu:ebene name=\"A\"><neu:punkt x=\"1\"/>Text &amp; mehr</neu:ebene>\n"
        "<highlight top=\"1\" left=\"2\" bottom=\"30\" right=\"40\" opacity=\"0.5\" neu:id=\"h1\"/>\n"
        "<?neu anweisung?>\n"
        "<text top=\"50\" left=\"50\" bottom=\"90\" right=\"200\">Hallo <b>fett</b><!-- k --></text>\n"
        "<arrow top=\"100\" left=\"100\" bottom=\"150\" right=\"200\">Pfeil</arrow>\n"
        "<dot top=\"300\" left=\"300\"><neu:schatten/></dot>\n"
        "lose<![CDATA[ <roh> ]]>\n"
        "</annotation>\n";
    layer.LoadAnnotations(doc, 0);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'\n').toStdString();
    ASSERT_EQ(canvas.ObjectsCount(), 4);
    EXPECT_EQ(Obj(1).Text, QStringLiteral("Hallo fett"));
    const QByteArray written = Save();
    ASSERT_TRUE(Parses(written));
    const QList<QByteArray> kept = {
        "<annotation xmlns:neu=\"urn:neu\" version=\"7\">",
        "<!-- von Version 7 -->",
        "<neu:ebene name=\"A\"><neu:punkt x=\"1\"/>Text &amp; mehr</neu:ebene>",
        " opacity=\"0.5\" neu:id=\"h1\"/>",
        "<?neu anweisung?>",
        ">Hallo <b>fett</b><!-- k --></text>",
        "<arrow ",
        "><neu:schatten/></dot>",
        "lose",
        "<![CDATA[ <roh> ]]>"};
    qsizetype from = 0;
    for (const QByteArray& k : kept) {
        const qsizetype at = written.indexOf(k, from);
        EXPECT_GE(at, from) << k.toStdString() << "\n" << written.toStdString();
        from = std::max(from, at);
    }
    // Written again it stays as it is; the stored stream (without barcode marks) has it too.
    TIEVectModel other;
    TAnnotLayer reader(other);
    reader.Env = layer.Env;
    reader.LoadAnnotations(written, 0);
    QByteArray again, againX;
    reader.SaveAnnotations(again, againX);
    EXPECT_EQ(again, written);
    EXPECT_EQ(againX, written);

    // A text changed here is written as it is now; its old markup cannot stand for it.
    canvas.ObjRef(Handle(1)).Text = QStringLiteral("Neu");
    const QByteArray changed = Save();
    EXPECT_TRUE(changed.contains(">Neu</text>"));
    EXPECT_FALSE(changed.contains("<b>fett</b>"));
    EXPECT_TRUE(changed.contains("<neu:ebene name=\"A\">"));

    // Only kept nodes and no object: still a document; nothing at all: no stream.
    layer.LoadAnnotations("<annotation><!-- nur ein Kommentar --></annotation>", 0);
    EXPECT_TRUE(Save().contains("<!-- nur ein Kommentar -->"));
    layer.LoadAnnotations("<annotation>\n</annotation>", 0);
    EXPECT_TRUE(Save().isEmpty());
}

TEST_F(AnnotXmlTest, APageInAnotherEncodingKeepsItsCharacters) {
    const QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><annotation>"
                              "<zukunft wert=\"\xE4\xF6\xFC\"/><text>Gr\xFC\xDF" "e</text></annotation>";
    layer.LoadAnnotations(latin1, 0);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'\n').toStdString();
    ASSERT_EQ(canvas.ObjectsCount(), 1);
    EXPECT_EQ(Obj(0).Text, QStringLiteral("Grüße"));
    EXPECT_TRUE(Save().contains(QStringLiteral("<zukunft wert=\"äöü\"/>").toUtf8()));
}
