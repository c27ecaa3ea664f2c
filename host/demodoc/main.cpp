// korvex-demodoc: puts the viewers' demo document into the demo database, a 12-page delivery
// note file (text pages, black and white as G4, every third grey as JPEG) on the first demo
// address. scripts/demo runs it after seeding; it does nothing when the document is there.
// Prints the document's id.
#include "DemoPages.h"

#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskQuery2.h>

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString caption = QStringLiteral("Lieferscheine (12 Seiten)");
    try {
        TDM1 dm;
        dm.Connect(QCoreApplication::arguments().value(1));
        TVoskQuery2 address(&dm.Database(), QStringLiteral("SELECT dbrid FROM adressen ORDER BY dbrid LIMIT 1"));
        address.Open();
        if (address.IsEmpty()) {
            std::fprintf(stderr, "korvex-demodoc: keine Adresse in der Demo-Datenbank\n");
            return 1;
        }
        const QString recId = address.Fields(0).AsString();
        TVoskQuery2 existing(&dm.Database(),
                             QStringLiteral("SELECT pd_id FROM picndoku WHERE pd_tablename = 'adressen' "
                                            "AND pd_dbrid = CAST(:id AS integer) AND pd_descr = :caption "
                                            "AND NOT pd_deletable"));
        existing.Bind(QStringLiteral("id"), recId).Bind(QStringLiteral("caption"), caption).Open();
        if (!existing.IsEmpty()) {
            std::printf("%d\n", existing.Fields(0).AsInteger());
            return 0;
        }
        QBuffer file;
        file.setData(DemoPages::Document(12, 200, 0, 3, 1));
        file.open(QIODevice::ReadOnly);
        TDokument doc;
        TDokumentInsertData data;
        data.Active = true;
        data.Name = caption;
        data.DokType = QStringLiteral("SCAN");
        data.Source = QStringLiteral("image");
        doc.SetInsertData(data);
        const int id = doc.DMSAddFileAsBLOB(file, QStringLiteral("Lieferscheine.tiff"),
                                            QStringLiteral("adressen"), recId);
        std::printf("%d\n", id);
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "korvex-demodoc: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
