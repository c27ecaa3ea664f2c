// The scan service of the document management: new documents from the scanner (in the preview,
// or split at barcodes on the spot), from a camera picture, an image file, or any file stored as
// it is. Each new document opens in its own scan preview.

#include "UFileViewerTIFF.h"

#include "UFilePreview.h"

#include <DMSys.h>
#include <IEAcquire.h>
#include <Korvexutils.h>
#include <StrUtils.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <UnitTable.h>
#include <VoskExceptionHelper.h>
#include <Vcl.Components.h>
#include <Vcl.Services.h>
#include <view/TAcquireDialog.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QTime>

namespace {

void logEvent(const QString& text) { PagesLogEvent(text); }
QString fmt(const QString& format, const QStringList& args) { return TDM1::FormatLogText(format, args); }
void cursor(bool busy) {
    if (TDM1::CursorHook.Assigned())
        TDM1::CursorHook(busy);
}

constexpr qint64 kLowMemory = 104857600; // 100 MiB

QString lastVal(const QString& key, const QString& def = {}) {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm->LoadLastVal(key, def) : def;
}
bool lastValBool(const QString& key, bool def) {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm->LoadLastValBool(key, def) : def;
}

// The list of devices for the diagnostic question.
QString deviceList(Imaging::TIEAcquire& acquisition) {
    QString text = QStringLiteral("\n#WIA");
    for (const QString& n : acquisition.SourceNames(Imaging::ieaWIA))
        text += u'\n' + (n.isEmpty() ? QStringLiteral("ERROR") : n);
    text += QStringLiteral("\n#TWAIN");
    for (const QString& n : acquisition.SourceNames(Imaging::ieaTWAIN))
        text += u'\n' + (n.isEmpty() ? QStringLiteral("ERROR") : n);
    return text;
}

QString exceptionText(std::exception_ptr e) {
    return Rtl::ExceptionClassName(e) + QStringLiteral(" in ");
}

} // namespace

void DMSScan(QObject* _Owner, bool ScannerSetup, TDokument* Dokument, const QStringList& ScanParams,
             const QString& DokType, const QString& DokIdent, const TDokumentEvent& OnDokEvent) {
    const TBarcodeFilter filter = [](const TBarcodeData& code, int count) {
        return Ubarcode::BarcodeFilter_KorvexDokuLink(code, count);
    };
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    const bool strgPressed = (keys & Qt::ControlModifier) && !(keys & (Qt::ShiftModifier | Qt::AltModifier));
    cursor(true);
    bool busy = true;
    QPointer<TFormFilePreview> preview;
    const QString pdId = QString::number(Dokument ? Dokument->Id() : 0);
    const auto finish = qScopeGuard([&] {
        if (busy)
            cursor(false);
        logEvent(fmt(QStringLiteral("TDMSys.Scan : Dokument fertig gescannt > pd_id=%d"), {pdId}));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (preview && preview->isVisible()) {
            preview->raise();
            preview->activateWindow();
            preview->setFocus();
        }
    });
    if (lastVal(QStringLiteral("HintScanDPI")) != QLatin1String("OK")) {
        Korvexutils::RaiseInformation(makeText(17138, QStringLiteral("*")));
        if (TDM1* dm = DM1(); dm && dm->Connected())
            dm->SaveLastVal(QStringLiteral("HintScanDPI"), QStringLiteral("OK"));
    }

    const TDMSScanBarcodeOptions barcodes = ReadScanBarcodeOptions(ScanParams, [](const QString& mode) {
        logEvent(QStringLiteral("TDMSys.Scan : BarcodeMode \"") + mode +
                 QStringLiteral("\" ist unbekannt - Barcodes werden nicht gelesen"));
    });
    QString tableName, recId;
    if (Dokument) {
        const auto table = Dokument->FindParam(QStringLiteral("pdtablename"));
        const auto rec = Dokument->FindParam(QStringLiteral("pddbrid"));
        if (table && rec) {
            tableName = table->toString();
            recId = rec->toString();
            if (tableName.isNull())
                tableName = QStringLiteral("");
            if (recId.isNull())
                recId = QStringLiteral("");
        }
    }
    const QString scanInfo = DMSScanInfo(ScanParams, tableName, recId, DokType, DokIdent, bool(OnDokEvent),
                                         barcodes.OnlyFirstPage,
                                         Dokument ? Dokument->_InsertData_GetInfo() : QString());

    const auto NewDokument = [&]() -> TFileViewerFrameTIFF* {
        if (preview && AvailableMemory() < kLowMemory)
            Vcl::Ask(Vcl::mtCustom, QString(),
                     QStringLiteral("Ungenügend Speicher. Evenuell sind zu viele Dokumente geöffnet ... "
                                    "bitte diese schließen, bevor die nächsten gescannten Dokumente "
                                    "geöffnet werden sollen."),
                     Vcl::mbOK);
        auto* doc = new TDokument(nullptr);
        try {
            if (Dokument) {
                doc->AssignEvents(*Dokument);
                doc->AssignQuery(*Dokument);
                doc->setObjectName(Dokument->objectName() + QStringLiteral("__TDMSys_Scan"));
                doc->SetInsertData(Dokument->InsertData());
            }
            preview = ShowPreview(_Owner, doc, nullptr, &ScanParams, DokType, DokIdent, QStringLiteral(".tiff"),
                                  true, false, OnDokEvent, QString());
            auto* viewer = preview ? qobject_cast<TFileViewerFrameTIFF*>(preview->FImagePages.data()) : nullptr;
            Rtl::Assert(viewer != nullptr, QStringLiteral("DMSScan.NewDokument"));
            if (barcodes.BarcodeMode != kNoBarcodeMode) {
                viewer->SetBarcodeFilter({}, barcodes.BarTypes, true, 1, barcodes.OnlyFirstPage);
                viewer->FDMSScan_BarcodeMode = barcodes.BarcodeMode;
            }
            return viewer;
        } catch (...) {
            if (!Vcl::Owner(doc))
                delete doc;
            throw;
        }
    };

    const QString source = Rtl::ValueOf(ScanParams, QStringLiteral("ScanSource")).toLower();
    const auto start = [&](const char* prefix) { logEvent(QLatin1String(prefix) + scanInfo); };

    if (source == QLatin1String("manuell")) {
        start("TDMSys.Scan : Dokument manuell scannen > ");
        NewDokument();
        return;
    }
    if (source == QLatin1String("camera")) {
        start("TDMSys.Scan : Dokument von WebCam einlesen > ");
        NewDokument()->DoAddCamImage();
        return;
    }
    if (source == QLatin1String("file")) {
        start("TDMSys.Scan : Dokument aus Datei erstellen > ");
        NewDokument()->DoAddFile();
        return;
    }

    if (source == QLatin1String("otherfile")) {
        start("TDMSys.Scan : Dokument als Datei importieren > ");
        Rtl::Assert(Dokument != nullptr, QStringLiteral("DMSScan"), QStringLiteral("Vorlagedokument fehlt"));
        TDokumentInsertData& insert = Dokument->InsertData();
        insert.Active = true;
        insert.Name = Rtl::ValueOf(ScanParams, QStringLiteral("Caption"));
        if (insert.Name.isEmpty())
            insert.Name = QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + u'_' +
                          (DM1() ? DM1()->LoginName() : QString());
        if (!DokType.isEmpty()) {
            insert.DokType = DokType;
            insert.DokIdent = DokIdent;
        }
        insert.ParentNodeIdent = Rtl::ValueOf(ScanParams, QStringLiteral("parentnodeident"));
        if (insert.Source.isEmpty())
            insert.Source = QStringLiteral("file");
        // Whatever happens, the template forgets what it was prepared with.
        auto clearInsert = qScopeGuard([&] {
            if (!busy) {
                cursor(true);
                busy = true;
            }
            Dokument->ClearInsertData();
        });
        if (OnDokEvent)
            OnDokEvent(nullptr, Dokument, demPreview, {});

        Vcl::TFileRequest request;
        request.caption = QApplication::applicationDisplayName();
        QStringList formats;
        for (const QByteArray& f : QImageReader::supportedImageFormats())
            formats << QStringLiteral("*.") + QString::fromLatin1(f);
        QString readable = QStringLiteral("Alle lesbaren Bilder|") + formats.join(u';') + u'|';
        if (!readable.contains(QLatin1String("*.tiff")))
            readable.replace(QLatin1String("*.tif"), QLatin1String("*.tif;*.tiff"));
        request.filter = QStringLiteral("All Images (jpeg png tiff bmp svg pdf)|*.jpeg;*.jpg;*.jpe;*.jp2;*.j2k;"
                                        "*.jpc;*.j2c;*.png;*.tiff;*.tif;*.bmp;*.pcx;*.wbmp;*.gif;*.svg;*.pdf|") +
                         readable + QStringLiteral("All Files (*.*)|*.*|");
        request.parent = qobject_cast<QWidget*>(_Owner);
        cursor(false);
        busy = false;
        const QString file = Vcl::FileDialogs::Instance().OpenFile(request);
        cursor(true);
        busy = true;
        if (file.isEmpty())
            throw EAbort();

        // One transaction stores the bytes and the record: a failure leaves neither behind. A
        // template that stored a file before holds that document instead of its record query.
        const bool fromQuery = !tableName.isEmpty();
        Dokument->DMSAddFileAsBLOB(file, fromQuery ? tableName : Dokument->TableName(),
                                   fromQuery ? recId : Dokument->RecordId());
        Dokument->DMSDoAutoExport();
        insert.Active = false;

        QStringList lines;
        if (barcodes.BarcodeMode != kNoBarcodeMode) {
            const bool firstOnly = barcodes.OnlyFirstPage == foFromOptions
                                       ? lastValBool(QStringLiteral("TFileViewerFrameTIFF~BarcodeFirstOnly"), true)
                                       : barcodes.OnlyFirstPage == foOnlyFirst;
            QString name = Dokument->FileName();
            if (QFileInfo(name).suffix().isEmpty())
                name = file;
            const QString ext = QFileInfo(name).suffix().toLower();
            static const QStringList images{QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("jpg"),
                                            QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("bmp"),
                                            QStringLiteral("gif")};
            int pages = 0;
            TBarcodeList codes;
            try {
                QFile stream(file);
                if (ext == QLatin1String("pdf") || images.contains(ext)) {
                    if (!stream.open(QIODevice::ReadOnly))
                        throw EVoskException(QStringLiteral("Die Datei kann nicht gelesen werden: ") + stream.errorString());
                    pages = ext == QLatin1String("pdf")
                                ? Ubarcode::ReadBarcodeFormPDF(codes, stream, {}, barcodes.BarTypes, true, 1, 0.0f, firstOnly)
                                : Ubarcode::ReadBarcodeFormImage(codes, stream, {}, barcodes.BarTypes, true, 1, 0.0f, firstOnly);
                }
            } catch (...) {
                const auto e = std::current_exception();
                Korvexutils::ShowError(exceptionText(e) + QStringLiteral("DMSScan-ScanBarcodes: ") + Rtl::ExceptionMessage(e));
            }
            for (const TBarcodeData& code : codes)
                lines << BarcodeLine(code, barcodes.BarcodeMode);
            logEvent(fmt(QStringLiteral("DMSScan-ScanBarcodes : pd_id=%d Seiten=%d Codes=%d>%s"),
                         {QString::number(Dokument->Id()), QString::number(pages), QString::number(lines.size()),
                          lines.join(u',')}));
            if (firstOnly && pages > 1)
                logEvent(fmt(QStringLiteral("DMSScan-ScanBarcodes : pd_id=%d - nur erste Seite gescannt"),
                             {QString::number(Dokument->Id())}));
        }
        if (OnDokEvent) {
            try {
                OnDokEvent(nullptr, Dokument, demNewDokument, lines);
            } catch (const EAbort&) {
            } catch (...) {
                const auto e = std::current_exception();
                Korvexutils::ShowError(exceptionText(e) + QStringLiteral("DMSScan.OnDokEvent: ") + Rtl::ExceptionMessage(e));
            }
        }
        clearInsert.dismiss();
        cursor(false);
        busy = false;
        Dokument->ClearInsertData();
        if (Korvexutils::RaiseQuestionYes(makeText(31242, QStringLiteral("Eingelesene Datei löschen?")) +
                                          QStringLiteral("\r\n\r\n") + file))
            QFile::remove(file);
        return;
    }

    if (source != QLatin1String("einseitig")) {
        start("TDMSys.Scan : Dokument mehrseitig scannen > ");
        TFileViewerFrameTIFF* viewer = NewDokument();
        TPageScanOptions options = psoMultiScan;
        if (ScannerSetup) {
            viewer->btEditOptionsSourceClick(viewer->btEditOptionsSource);
            options |= psoWithDialog;
        }
        viewer->DoPageScan(options);
        return;
    }

    // ---- single-sided, split at barcodes
    start("TDMSys.Scan : Dokument einseitig scannen > ");
    Imaging::TIEAcquire acquisition;
    const bool useWIA = lastValBool(QStringLiteral("TFileViewerFrameTIFF~UseWIA"), false);
    const int api = useWIA ? Imaging::ieaWIA : Imaging::ieaTWAIN;
    const QString apiName = useWIA ? QStringLiteral("WIA") : QStringLiteral("TWAIN");
    const QString stored = lastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"));
    const auto selectStored = [&] {
        if (stored.isEmpty() || !acquisition.SetSource(api, stored)) {
            if (!stored.isEmpty())
                logEvent(apiName + QStringLiteral(": scanner \"") + stored + QStringLiteral("\" not found"));
            if (!acquisition.SetSource(api, -1))
                logEvent(apiName + QStringLiteral(": default-scanner not found"));
        }
    };
    if (!ScannerSetup) {
        try {
            if (acquisition.SourceCount(api) == 0)
                throw EVoskException(17128, QStringLiteral("Kein Scanner gefunden."));
            selectStored();
            const int selected = acquisition.SelectedSourceApi();
            if (selected >= Imaging::ieaNone)
                throw EVoskException(17128, QStringLiteral("Kein Scanner gefunden."));
            if (selected != api)
                throw EVoskException(31236, QStringLiteral("Scannerauswahl fehlerhaft."));
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            const auto e = std::current_exception();
            const int selected = acquisition.SelectedSourceApi();
            const QString text = Rtl::ExceptionMessage(e).trimmed() + QStringLiteral("\n\nRequired: ") + apiName +
                                 QStringLiteral(" = ") + stored + QStringLiteral("\nSelected: ") +
                                 (selected == Imaging::ieaWIA     ? QStringLiteral("ieaWIA")
                                  : selected == Imaging::ieaTWAIN ? QStringLiteral("ieaTWAIN")
                                                                  : QStringLiteral("ieaNone")) +
                                 QStringLiteral(" = ") + acquisition.SelectedSource() + QStringLiteral("\nScanners: ") +
                                 deviceList(acquisition);
            if (Korvexutils::RaiseQuestionBtn(text, QStringLiteral("Cancel|Ignore"), 0, Vcl::mtError) !=
                QLatin1String("Ignore")) {
                TVoskExceptionHelper::InsertStackInfo(e, QStringLiteral("DMSScan: ") + text);
                throw EAbort();
            }
        }
    } else {
        if (acquisition.SourceCount(api) > 0)
            selectStored();
        const QStringList names = acquisition.SourceNames(api);
        const int chosen = AskScanSource(qobject_cast<QWidget*>(_Owner), names, acquisition.SelectedSource());
        if (chosen < 0 || !acquisition.SetSource(api, names[chosen]))
            throw EAbort();
        if (TDM1* dm = DM1(); dm && dm->Connected()) {
            dm->SaveLastValBool(QStringLiteral("TFileViewerFrameTIFF~UseWIA"), useWIA);
            dm->SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~Scanner"), names[chosen]);
        }
    }
    if (acquisition.DuplexSupported()) {
        const QString duplex = lastVal(QStringLiteral("TFileViewerFrameTIFF~Duplex"));
        if (duplex.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
            acquisition.SetDuplexEnabled(false);
        else if (duplex.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
            acquisition.SetDuplexEnabled(true);
    }
    if (ScannerSetup) {
        Imaging::TAcquireDialog dialog(acquisition, qobject_cast<QWidget*>(_Owner));
        if (dialog.exec() != QDialog::Accepted)
            throw EAbort();
        dialog.Apply(false);
    }
    // The invisible page store of the whole stack.
    QList<QImage> View;
    QString error;
    const QString prefix = useWIA ? QStringLiteral("WIA-DMSScan: ") : QStringLiteral("Twain-DMSScan: ");
    Imaging::TAcquireStatus status = Imaging::TAcquireStatus::Failed;
    try {
        status = acquisition.Acquire(true, View, {}, error);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              prefix + makeText(17129, QStringLiteral("Scannen nicht möglich.")));
        throw EImagesException(prefix + makeText(17129, QStringLiteral("Scannen nicht möglich.")));
    }
    if (!error.isEmpty())
        logEvent(prefix + QStringLiteral("SANE: ") + error);
    if (View.isEmpty()) {
        if (status == Imaging::TAcquireStatus::Cancelled)
            throw EAbort();
        throw EImagesException(prefix + makeText(17129, QStringLiteral("Scannen nicht möglich.")));
    }
    const double scaling = acquisition.XScaling();
    const double resolution = acquisition.XResolution();

    logEvent(fmt(QStringLiteral("TDMSys.Scan : Seiten/Dokumente aufteilen (Beginn) > pd_id=%d"), {pdId}));
    if (strgPressed)
        logEvent(fmt(QStringLiteral("TDMSys.Scan : Barcodes ignorieren > pd_id=%d"), {pdId}));
    TBarcodeTypes splitTypes;
    splitTypes.set(Ubarcode::sbCode39);
    splitTypes.set(Ubarcode::sbQRCode);
    splitTypes.set(Ubarcode::sbCode128);
    const QList<bool> NewPage = SplitScanAtBarcodes(
        int(View.size()), strgPressed, pdId.toInt(),
        [&](int page) {
            TBarcodeList codes;
            Ubarcode::ReadBarcode(codes, View[page], filter, splitTypes, true, 1);
            return codes;
        },
        logEvent);
    TFileViewerFrameTIFF* viewer = nullptr;
    for (int i = 0; i < View.size(); ++i) {
        if (NewPage[i] || i == 0)
            viewer = NewDokument();
        const QImage& page = View[i];
        // The page's place in its own document, not in the stack.
        const int added = viewer->DoPageAdd(page, QStringLiteral("scan"), QStringLiteral("TDMSys.Scan"));
        if (viewer->PageFormatCheck(QStringLiteral("DMSys"), added, page.width(), page.height(), scaling,
                                    resolution))
            viewer->DoPageRotate(QStringLiteral("DMSys"), added, false);
    }
    logEvent(fmt(QStringLiteral("TDMSys.Scan : Seiten/Dokumente aufteilen (Ende) > pd_id=%d"), {pdId}));
    // A feeder that failed part-way: the sheets read are kept as documents, and the user is told.
    if (status == Imaging::TAcquireStatus::Failed)
        throw EImagesException(prefix + makeText(17129, QStringLiteral("Scannen nicht möglich.")));
}

namespace {
void fillScanHooks(TFileViewerFrameTIFF* viewer, bool withDialog) {
    viewer->DoPageScan(psoRescanCurrentPage | (withDialog ? psoWithDialog : 0));
}
void chooseScanSource(TFileViewerFrameTIFF* viewer) { viewer->btEditOptionsSourceClick(viewer->btEditOptionsSource); }

void InitUnit() {
    TDMSys::_DMSScan.Set(&DMSScan);
    TFileViewerFrameTIFF::Rescan.Set(&fillScanHooks);
    TFileViewerFrameTIFF::ChooseScanSource.Set(&chooseScanSource);
}
void FiniUnit() {
    TFileViewerFrameTIFF::ChooseScanSource.Reset();
    TFileViewerFrameTIFF::Rescan.Reset();
    TDMSys::_DMSScan.Reset();
}
} // namespace

KORVEX_UNIT("hadrel", "UFileViewerTIFF.Scan", InitUnit, FiniUnit);
