#pragma once
// Documents in the store of a fresh database, the forms package initialized, and an answerer for
// the messages: what the viewer and preview tests share.

#include <DialogAnswerer.h>
#include <Korvexcommonvcl.h>
#include <PageCodec.h>
#include <TestDatabase.h>
#include <UDM1.h>
#include <UFilePreview.h>
#include <UFileViewerTIFF.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <uExceptions.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace viewertest {

// A black-and-white text-like page whose lines depend on nr.
inline QImage Page(int nr, int w = 400, int h = 560) {
    QImage img(w, h, QImage::Format_Grayscale8);
    img.fill(255);
    for (int y = 30 + nr * 3; y < h - 30; y += 17)
        for (int x = 25; x < w - 25 - (y * 7 + nr * 31) % 120; ++x)
            img.scanLine(y)[x] = 0;
    return img.convertToFormat(QImage::Format_Mono);
}

inline QByteArray Tiff(int pages) {
    Imaging::TTiffWriter w;
    for (int i = 0; i < pages; ++i) {
        Imaging::TIOParams p;
        p.TIFF_Compression = Imaging::ioTIFF_G4FAX;
        p.DpiX = p.DpiY = 100;
        w.WritePage(Page(i), p);
    }
    return w.Finish();
}

// Answers the error form with OK and keeps what it said.
// The scan previews open on the screen.
inline QList<TFormFilePreview*> OpenPreviews() {
    QList<TFormFilePreview*> list;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<TFormFilePreview*>(w); p && p->isVisible())
            list << p;
    return list;
}

// The viewer's status line as the user sees it change: "percent text" per step, in order.
class StatusSteps final {
public:
    explicit StatusSteps(TFileViewerFrameTIFF& v) {
        QObject::connect(v.pbStatusLoad, &QProgressBar::valueChanged, &m_context, [this, &v](int percent) {
            steps << QStringLiteral("%1 %2").arg(percent).arg(v.lbStatus->text()).trimmed();
            if (onStep)
                onStep(percent);
        });
    }
    QStringList steps;
    std::function<void(int percent)> onStep;

private:
    QObject m_context;
};

class ErrorForms final : public Korvexcommonvcl::ModalForms {
public:
    ErrorForms() : m_old(SetInstance(this)) {}
    ~ErrorForms() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        if (auto* f = qobject_cast<TFormException*>(form))
            shown << f->MemoErrCaption->text();
        return Vcl::mrOk;
    }
    QStringList shown;

private:
    ModalForms* m_old;
};

class ViewerTest : public testsupport::DbTest {
protected:
    void SetUp() override {
        testsupport::TestDatabase::Exec(QStringLiteral(
            "DELETE FROM picndokulink; DELETE FROM picndoku; DELETE FROM picndoku_revision;"
            "DELETE FROM dms_file; DELETE FROM dokutypes_rights; DELETE FROM dokutypes;"
            "DELETE FROM lastval;"
            "DELETE FROM mitarbeiter WHERE mitnr IN (71, 72);"
            "INSERT INTO mitarbeiter (mitnr, m_login, m_admin) VALUES (71, 'anna', false), "
            "(72, 'bernd', false);"
            "INSERT INTO dokutypes (dt_id, dt_descr, dt_write_once) VALUES "
            "('LS', 'Lieferschein', false), ('VT', 'Vertrag', true)"));
        m_dm.Connect();
        m_dm.SetLoginName(QStringLiteral("anna"));
        DMSDokuTypes().Refresh();
        Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
    }
    void TearDown() override { Rtl::Package::Get(QStringLiteral("hadrel")).Finalize(); }

    // A stored document of type type on address 5 holding bytes; its id.
    int store(const QByteArray& bytes, const QString& type = QStringLiteral("LS"),
              const QString& name = QStringLiteral("scan.tiff")) {
        TDokument d;
        TDokumentInsertData data;
        data.Active = true;
        data.Name = QStringLiteral("Lieferschein");
        data.DokType = type;
        d.SetInsertData(data);
        QBuffer b;
        b.setData(bytes);
        b.open(QIODevice::ReadOnly);
        return d.DMSAddFileAsBLOB(b, name, QStringLiteral("adressen"), QStringLiteral("5"));
    }
    static QString scalar(const QString& sql) { return testsupport::TestDatabase::Scalar(sql); }
    static QString lockUser(int id) {
        return scalar(QStringLiteral("SELECT coalesce(pdr_lock_user, '-') FROM picndoku JOIN "
                                     "picndoku_revision ON pdr_revision_id = pd_revision_id WHERE "
                                     "pd_id = %1")
                          .arg(id));
    }
    // A lock taken on this machine, as the program records it.
    static void lock(int id, const QString& user, const QString& checkout = {}) {
        testsupport::TestDatabase::Exec(
            QStringLiteral(
                "UPDATE picndoku_revision SET pdr_lock_user = '%1', pdr_lock_time = now(), "
                "pdr_lock_host = '%4', pdr_checkout_path = %2 WHERE pdr_revision_id = "
                "(SELECT pd_revision_id FROM picndoku WHERE pd_id = %3)")
                .arg(user, checkout.isEmpty() ? QStringLiteral("NULL") : u'\'' + checkout + u'\'')
                .arg(id)
                .arg(TDokument::ThisHost()));
    }

    TDM1 m_dm;
    testsupport::DialogAnswerer m_answers;
};

} // namespace viewertest
