// korvex-demodoc: puts the viewers' demo documents into the demo database on the first demo
// address: a 12-page delivery note file (text pages, black and white as G4, every third grey as
// JPEG), a 3-page offer as PDF, and for the preview a price list (CSV in the Windows code page),
// a letter (RTF) and a mail with an attachment. scripts/demo runs it after seeding; a document that is there
// already is left as it is. Prints the documents' ids.
#include "DemoPages.h"

#include <AnnotLayer.h>
#include <Dataclient_files.h>

#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskQuery2.h>

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>
#include <functional>

namespace {

// The first page's annotations: a highlight, a text, two numbered arrows, a dot, and the
// "Geprüft" stamp when the stamp list has it.
QByteArray FirstPageAnnotations(TDM1& dm) {
    Imaging::TIEVectModel page;
    TAnnotLayer annot(page);
    annot.Env.UserName = [] { return QStringLiteral("mueller"); };
    annot.AddAnnotHighlight(QRect(150, 560, 900, 60), 65535);
    annot.AddAnnotText(QRect(1050, 330, 480, 150),
                       QStringLiteral("Menge prüfen!\r\nLieferung unvollständig"), 255, 36,
                       QStringLiteral("Arial"), true, false, Imaging::clInfoBk, 0);
    annot.AddAnnotArrow(QRect(1250, 760, -330, -120), {}, true, QStringLiteral("Pos. *"), 255, 0,
                        true, 30);
    annot.AddAnnotArrow(QRect(1250, 960, -330, -120), {}, true, QStringLiteral("Pos. *"), 255, 0,
                        true, 30);
    annot.CalcAutoText({}, false);
    annot.AddAnnotDot(QPoint(120, 1190), 24, 255, 0);
    TVoskQuery2 stamp(
        &dm.Database(),
        QStringLiteral("SELECT pd_dmsremotefile FROM picndoku WHERE pd_tablename = 'dokseals' "
                       "AND pd_dbrid = 0 AND pd_path = :name"));
    stamp.Bind(QStringLiteral("name"), QStringLiteral("Geprüft")).Open();
    if (!stamp.IsEmpty()) {
        const QByteArray picture = DCFileMethods().ReadFile(stamp.Fields(0).AsString());
        annot.AddAnnotImage(QRect(1000, 1180, 0, 0), picture, QStringLiteral("Geprüft"));
        Imaging::TIEVObject& o = page.ObjAtRef(page.ObjectsCount() - 1);
        o.SetRect(o.Left, o.Top, o.Bitmap.width() * 2, o.Bitmap.height() * 2);
    }
    QByteArray full, stored;
    annot.SaveAnnotations(full, stored);
    return stored;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString caption = QStringLiteral("Lieferscheine (12 Seiten)");
    try {
        TDM1 dm;
        dm.Connect(QCoreApplication::arguments().value(1));
        TVoskQuery2 address(&dm.Database(),
                            QStringLiteral("SELECT dbrid FROM adressen ORDER BY dbrid LIMIT 1"));
        address.Open();
        if (address.IsEmpty()) {
            std::fprintf(stderr, "korvex-demodoc: keine Adresse in der Demo-Datenbank\n");
            return 1;
        }
        const QString recId = address.Fields(0).AsString();
        // The preview's documents go to the address the address module opens on (the first by
        // name), in its correspondence.
        TVoskQuery2 shown(&dm.Database(),
                          QStringLiteral("SELECT dbrid FROM adressen ORDER BY name, dbrid LIMIT 1"));
        shown.Open();
        const QString shownId = shown.Fields(0).AsString();
        // A new document gets its file; annotate, when given, adds to it after storing.
        const auto storeOnce = [&](const QString& caption, const QByteArray& bytes,
                                   const QString& fileName,
                                   const std::function<void(TDokument&, int)>& annotate = {},
                                   const QString& docType = QStringLiteral("SCAN"),
                                   const QString& owner = {}) {
            const QString rec = owner.isEmpty() ? recId : owner;
            TVoskQuery2 existing(
                &dm.Database(),
                QStringLiteral("SELECT pd_id FROM picndoku WHERE pd_tablename = 'adressen' "
                               "AND pd_dbrid = CAST(:id AS integer) AND pd_descr = :caption "
                               "AND NOT pd_deletable"));
            existing.Bind(QStringLiteral("id"), rec).Bind(QStringLiteral("caption"), caption).Open();
            if (!existing.IsEmpty())
                return existing.Fields(0).AsInteger();
            QBuffer file;
            file.setData(bytes);
            file.open(QIODevice::ReadOnly);
            TDokument doc;
            TDokumentInsertData data;
            data.Active = true;
            data.Name = caption;
            data.DokType = docType;
            data.Source = docType == u"SCAN" ? QStringLiteral("image") : QStringLiteral("file");
            doc.SetInsertData(data);
            const int id = doc.DMSAddFileAsBLOB(file, fileName, QStringLiteral("adressen"), rec);
            if (annotate)
                annotate(doc, id);
            return id;
        };
        std::printf("%d\n", storeOnce(caption, DemoPages::Document(12, 200, 0, 3, 1),
                                      QStringLiteral("Lieferscheine.tiff"), [&](TDokument& doc, int id) {
                                          const QByteArray annotations = FirstPageAnnotations(dm);
                                          DCFileMethods().WriteAnnotation(
                                              &annotations, doc.DMSRemoteFilename(), 0);
                                          dm.ExecSQL(QStringLiteral("UPDATE picndoku SET pd_dmscomment = "
                                                                    "true WHERE pd_id = :id"),
                                                     {{QStringLiteral("id"), id}});
                                      }));
        const QString offer = QStringLiteral("Angebot (PDF, 3 Seiten)");
        std::printf("%d\n", storeOnce(offer, DemoPages::PdfDocument(3, QStringLiteral("Angebot 2024-117")),
                                      QStringLiteral("Angebot.pdf")));
        std::printf("%d\n", storeOnce(QStringLiteral("Preisliste (CSV)"),
                                      "Artikel;Bezeichnung;Preis\r\n4711;Gr\xfc\xdf" "e-Karte;2,50 \x80\r\n"
                                      "4712;Schl\xfcsselanh\xe4nger \x84Ma\xdf\x93;4,95 \x80\r\n",
                                      QStringLiteral("Preisliste.csv"), {}, QStringLiteral("KO"),
                                      shownId));
        std::printf("%d\n", storeOnce(QStringLiteral("Anschreiben (RTF)"),
                                      "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}"
                                      "{\\colortbl;\\red0\\green0\\blue160;}\\f0\\fs28\\b "
                                      "Lieferung 2024-117\\b0\\par\\fs22\\par Sehr geehrte Damen und "
                                      "Herren,\\par\\par anbei erhalten Sie die \\cf1 "
                                      "Lieferscheine\\cf0  zu Ihrem Auftrag. Bitte pr\\'fcfen Sie die "
                                      "Mengen.\\par\\par Mit freundlichen Gr\\'fc\\'dfen\\par "
                                      "\\i M\\'fcller GmbH\\i0\\par}",
                                      QStringLiteral("Anschreiben.rtf"), {}, QStringLiteral("KO"),
                                      shownId));
        std::printf("%d\n", storeOnce(
                                 QStringLiteral("Mail Lieferverzug"),
                                 "From: =?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <juergen@example.de>\r\n"
                                 "To: Einkauf <einkauf@example.de>\r\n"
                                 "Cc: lager@example.de\r\n"
                                 "Subject: =?UTF-8?Q?Lieferverzug_Auftrag_2024-117_=E2=80=93_neue_Termine?=\r\n"
                                 "Date: Tue, 03 Mar 2026 14:05:09 +0100\r\n"
                                 "MIME-Version: 1.0\r\n"
                                 "Content-Type: multipart/mixed; boundary=\"teil\"\r\n\r\n"
                                 "--teil\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                 "Guten Tag,\r\n\r\ndie Positionen 3 und 7 kommen erst in KW 12. Die =\r\n"
                                 "=FCbrigen Positionen gehen heute raus.\r\n\r\n"
                                 "Mit freundlichen Gr=FC=DFen\r\nJ=FCrgen M=FCller\r\n"
                                 "--teil\r\nContent-Type: application/pdf\r\n"
                                 "Content-Disposition: attachment; filename*=UTF-8''Liefertermine%20M%C3%A4rz.pdf\r\n"
                                 "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--teil--\r\n",
                                 QStringLiteral("Lieferverzug.eml"), {}, QStringLiteral("KO"), shownId));
        // Both belong to one order and two customers: the stamp SQL reads the customers, the
        // related-documents panel the order.
        dm.ExecSQL(QStringLiteral(
            "INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, r_descr) "
            "SELECT 'picndoku', d.dbrid, k.kat, k.val FROM picndoku d, (VALUES ('auftrag', '2024-117'), "
            "('kunde', 'Müller GmbH'), ('kunde', 'Schmidt & Söhne')) AS k(kat, val) "
            "WHERE d.pd_tablename = 'adressen' AND d.pd_doktype = 'SCAN' AND NOT d.pd_deletable "
            "AND NOT EXISTS (SELECT 1 FROM recnokeyword r WHERE r.r_tablename = 'picndoku' AND "
            "r.r_dbrid = d.dbrid AND r.r_kategorie = k.kat AND r.r_descr = k.val)"));
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "korvex-demodoc: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
