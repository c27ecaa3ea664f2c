// The TIFF viewer's scanning commands: the edit tab's scan buttons and options, pages added from
// a scan, a camera or a file, the barcodes of the pages (read into a list or marked on them) and
// the posted input mode.

#include "UFileViewerTIFF.h"

#include "UFilePreview.h"

#include <AnnotData.h>
#include <EventGuard.h>
#include <IEAcquire.h>
#include <Korvexutils.Dialogs.h>
#include <Korvexutils.h>
#include <TCameraFrame.h>
#include <TUserRights.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Vcl.Services.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskExceptionHelper.h>
#include <Vcl.Components.h>
#include <view/TAcquireDialog.h>
#include <view/TImageEnVect.h>

#include <QActionGroup>
#include <QFileInfo>
#include <QImageReader>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <bit>
#include <optional>

using Imaging::TAcquireStatus;

namespace {

QIcon themeIcon(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

QString scanText() { return makeText(17130, QStringLiteral("Scannen")); }
QString noScannerText() { return makeText(17128, QStringLiteral("Kein Scanner gefunden.")); }
QString scanFailedText() { return makeText(17129, QStringLiteral("Scannen nicht möglich.")); }

// The per-user settings of the scan; without a connection the defaults.
QString setting(const char* name, const QString& def = {}) {
    TDM1* dm = DM1();
    const QString key = QStringLiteral("TFileViewerFrameTIFF~") + QLatin1String(name);
    return dm && dm->Connected() ? dm->LoadLastVal(key, def) : def;
}
bool settingBool(const char* name, bool def) {
    TDM1* dm = DM1();
    const QString key = QStringLiteral("TFileViewerFrameTIFF~") + QLatin1String(name);
    return dm && dm->Connected() ? dm->LoadLastValBool(key, def) : def;
}
void saveSetting(const char* name, const QString& value) {
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastVal(QStringLiteral("TFileViewerFrameTIFF~") + QLatin1String(name), value);
}
void saveSettingBool(const char* name, bool value) {
    if (TDM1* dm = DM1(); dm && dm->Connected())
        dm->SaveLastValBool(QStringLiteral("TFileViewerFrameTIFF~") + QLatin1String(name), value);
}
void logEvent(const QString& text) { PagesLogEvent(text); }

bool ctrlOnly() {
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    return (m & Qt::ControlModifier) && !(m & (Qt::ShiftModifier | Qt::AltModifier));
}

// The acquisition answers and what the scan makes of them: pages that came are kept; an empty
// feeder or a device failure without pages is the scan's error, a break the silent abort.
void raiseScanStatus(TAcquireStatus status, bool gotPages, const QString& prefix, const QString& error) {
    if (status == TAcquireStatus::Good)
        return;
    if (!error.isEmpty())
        logEvent(prefix + QStringLiteral("SANE: ") + error);
    if (status == TAcquireStatus::Cancelled)
        throw EAbort();
    if (status == TAcquireStatus::Failed)
        throw EImagesException(prefix + scanFailedText());
    if (!gotPages)
        throw EImagesException(scanFailedText());
}

bool strToBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double n = t.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Wahrheitswert").arg(text));
    return n != 0;
}

int strToInt(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text));
    return n;
}

} // namespace

QString BarcodeTypesText(const TBarcodeTypes& types) {
    QString text = QStringLiteral("$");
    for (int byte = 0; byte < 17; ++byte) {
        int value = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (byte * 8 + bit < int(types.size()) && types.test(size_t(byte * 8 + bit)))
                value |= 1 << bit;
        if (byte > 0 && byte % 4 == 0)
            text += u' ';
        text += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

TBarcodeTypes BarcodeTypesFromText(const QString& text) {
    QString t = text;
    t.remove(u' ');
    if (!t.startsWith(u'$'))
        t.prepend(u'$');
    t = t.leftJustified(35, u'0', true);
    TBarcodeTypes types;
    for (int byte = 0; byte < 17; ++byte) {
        bool ok = false;
        const int value = t.mid(1 + 2 * byte, 2).toInt(&ok, 16);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' ist kein gültiger Hexadezimalwert").arg(text));
        for (int bit = 0; bit < 8; ++bit)
            if (value & (1 << bit) && byte * 8 + bit < int(types.size()))
                types.set(size_t(byte * 8 + bit));
    }
    return types;
}

int AskScanSource(QWidget* parent, const QStringList& names, const QString& current) {
    // One question whose buttons are the devices (as many as it has room for).
    static constexpr Vcl::TMsgDlgBtn buttons[] = {Vcl::mbYes, Vcl::mbNo, Vcl::mbAll, Vcl::mbYesToAll,
                                                  Vcl::mbNoToAll, Vcl::mbRetry, Vcl::mbIgnore, Vcl::mbAbort};
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.caption = QStringLiteral("ScannerQuelle auswählen");
    q.text = QStringLiteral("Welcher Scanner soll verwendet werden?");
    q.parent = parent;
    q.buttons = Vcl::mbCancel;
    const int shown = qMin(int(names.size()), int(std::size(buttons)));
    for (int i = 0; i < shown; ++i) {
        q.buttons |= buttons[i];
        q.buttonCaptions.insert(buttons[i], names[i]);
        if (names[i] == current)
            q.defaultButton = buttons[i];
    }
    const Vcl::TModalResult answer = Vcl::Dialogs::Instance().Ask(q);
    for (int i = 0; i < shown; ++i)
        if (answer == Vcl::ModalResultOf(buttons[i]))
            return i;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// The edit tab

void TFileViewerFrameTIFF::buildScanCommands() {
    const auto bind = [this](QAction* a, void (TFileViewerFrameTIFF::*handler)(QObject*)) {
        connect(a, &QAction::triggered, this,
                [this, a, handler] { Rtl::Guarded([&] { (this->*handler)(a); }, this); });
    };
    const auto button = [this](const char* name, const QString& caption, const char* icon,
                               const QString& hint, TVoskRibbonGroup::ItemSize size) {
        QToolButton* b = tbEdit->AddButton(QString::fromLatin1(name), caption, themeIcon(icon), {}, size);
        b->defaultAction()->setToolTip(hint);
        return b;
    };
    btEditScan = button("btEditScan", QStringLiteral("Scannen\r\n1 Seite"), "scanner",
                        QStringLiteral("Eine Seite scannen und anhängen"), TVoskRibbonGroup::Large)
                     ->defaultAction();
    btEditMultiScan = button("btEditMultiScan", QStringLiteral("MultiScan\r\nmehrseitig"), "document-multiple",
                             QStringLiteral("Alle Seiten des Einzugs scannen und anhängen"), TVoskRibbonGroup::Large)
                          ->defaultAction();
    btEditRescan = button("btEditRescan", QStringLiteral("Rescan"), "view-refresh",
                          QStringLiteral("Die markierte Seite neu scannen"), TVoskRibbonGroup::Small)
                       ->defaultAction();
    bind(btEditScan, &TFileViewerFrameTIFF::btEditScanClick);
    bind(btEditMultiScan, &TFileViewerFrameTIFF::btEditScanClick);
    bind(btEditRescan, &TFileViewerFrameTIFF::btEditScanClick);

    btEditOptions = button("btEditOptions", QStringLiteral("Optionen"), "configure",
                           QStringLiteral("Scanner, Duplex und Barcode-Suche einstellen"), TVoskRibbonGroup::Small);
    btEditOptionsMenu = new QMenu(btEditOptions);
    btEditOptionsMenu->setObjectName(QStringLiteral("btEditOptionsMenu"));
    btEditOptions->setMenu(btEditOptionsMenu);
    btEditOptions->setPopupMode(QToolButton::InstantPopup);
    connect(btEditOptionsMenu, &QMenu::aboutToShow, this, [this] { Rtl::Guarded([&] { btEditOptionsPopup(); }, this); });
    const auto item = [this](const char* name, const QString& caption, QActionGroup* group) {
        QAction* a = btEditOptionsMenu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(caption);
        if (group) {
            a->setCheckable(true);
            group->addAction(a);
        }
        return a;
    };
    auto* api = new QActionGroup(this);
    btEditOptionsUseWIA = item("btEditOptionsUseWIA", QStringLiteral("WIA-Treiber verwenden"), api);
    btEditOptionsUseTWAIN = item("btEditOptionsUseTWAIN", QStringLiteral("TWAIN-Treiber verwenden"), api);
    btEditOptionsMenu->addSeparator();
    auto* duplex = new QActionGroup(this);
    btEditOptionsDuplexAuto = item("btEditOptionsDuplexAuto", QStringLiteral("Duplex: Treibervorgabe (Neustart erforderlich)"), duplex);
    btEditOptionsDuplexOn = item("btEditOptionsDuplexOn", QStringLiteral("Duplex: Beidseitig scannen"), duplex);
    btEditOptionsDuplexOff = item("btEditOptionsDuplexOff", QStringLiteral("Duplex: Einseitig scannen"), duplex);
    btEditOptionsMenu->addSeparator();
    btEditOptionsSource = item("btEditOptionsSource", QStringLiteral("ScannerQuelle auswählen"), nullptr);
    btEditOptionsSetting = item("btEditOptionsSetting", QStringLiteral("Scanner-Einstellungen (temporär)"), nullptr);
    btEditOptionsMenu->addSeparator();
    auto* range = new QActionGroup(this);
    btEditOptionBarcodeFirst = item("btEditOptionBarcodeFirst", QStringLiteral("Barcode nur auf erster Seite suchen"), range);
    btEditOptionBarcodeAll = item("btEditOptionBarcodeAll", QStringLiteral("Barcode auf allen Seiten suchen"), range);
    btEditOptionBarcodeDebug = item("btEditOptionBarcodeDebug", QStringLiteral("BarcodeScan-Debugger"), nullptr);
    btEditOptionBarcodeDebug->setCheckable(true);
    for (QAction* a : {btEditOptionsUseWIA, btEditOptionsUseTWAIN, btEditOptionsSource})
        bind(a, &TFileViewerFrameTIFF::btEditOptionsSourceClick);
    bind(btEditOptionsSetting, &TFileViewerFrameTIFF::btEditOptionsSettingClick);
    for (QAction* a : {btEditOptionsDuplexAuto, btEditOptionsDuplexOn, btEditOptionsDuplexOff})
        bind(a, &TFileViewerFrameTIFF::btEditOptionsDuplexClick);
    for (QAction* a : {btEditOptionBarcodeFirst, btEditOptionBarcodeAll})
        bind(a, &TFileViewerFrameTIFF::btEditOptionBarcodeClick);
    bind(btEditOptionBarcodeDebug, &TFileViewerFrameTIFF::btEditOptionBarcodeDebugClick);

    btEditBarcodeSearch = button("btEditBarcodeSearch", QStringLiteral("Barcodes"), "view-barcode",
                                 QStringLiteral("Barcodes auf den Seiten markieren oder die Markierungen entfernen"),
                                 TVoskRibbonGroup::Small)
                              ->defaultAction();
    bind(btEditBarcodeSearch, &TFileViewerFrameTIFF::btEditBarcodeSearchClick);
    btEditCamera = button("btEditCamera", QStringLiteral("Kamera"), "camera-photo",
                          QStringLiteral("Ein Kamerabild als Seite aufnehmen"), TVoskRibbonGroup::Small)
                       ->defaultAction();
    bind(btEditCamera, &TFileViewerFrameTIFF::btEditCameraClick);
    pmCamera = new QMenu(this);
    pmCamera->setObjectName(QStringLiteral("pmCamera"));

    btFileScan->setEnabled(true);
    btFileScan->setToolTip(QStringLiteral("Eine Seite mit den Scanner-Einstellungen scannen"));
    bind(btFileScan, &TFileViewerFrameTIFF::btFileScanClick);
}

Imaging::TIEAcquire& TFileViewerFrameTIFF::Acquisition() {
    if (!m_acquire)
        m_acquire = std::make_unique<Imaging::TIEAcquire>();
    return *m_acquire;
}

void TFileViewerFrameTIFF::setScanButtonsEnabled(bool enabled) {
    for (QAction* a : {btEditMultiScan, btEditScan, btEditRescan})
        a->setEnabled(enabled);
    btEditOptions->setEnabled(enabled);
    if (auto* preview = qobject_cast<TFormFilePreview*>(Vcl::Owner(this)))
        preview->BtRescan->setEnabled(enabled);
}

void TFileViewerFrameTIFF::ChooseScanner(Imaging::TIEAcquire& acquisition) {
    const bool useWIA = settingBool("UseWIA", false);
    const int api = useWIA ? Imaging::ieaWIA : Imaging::ieaTWAIN;
    const QString name = useWIA ? QStringLiteral("WIA") : QStringLiteral("TWAIN");
    if (acquisition.SourceCount(api) == 0)
        Korvexutils::RaiseCriticalError(name + QStringLiteral(": ") + noScannerText());
    const QString stored = setting("Scanner");
    if (stored.isEmpty() || !acquisition.SetSource(api, stored)) {
        if (!stored.isEmpty())
            logEvent(name + QStringLiteral(": scanner \"") + stored + QStringLiteral("\" not found"));
        if (!acquisition.SetSource(api, -1))
            logEvent(name + QStringLiteral(": default-scanner not found"));
    }
    const int selected = acquisition.SelectedSourceApi();
    if (selected >= Imaging::ieaNone)
        Korvexutils::RaiseCriticalError(noScannerText());
    Rtl::Assert(selected == api, QStringLiteral("TFileViewerFrameTIFF.ChooseScanner"),
                TDM1::FormatLogText(QStringLiteral("Problem mit ScannerAPI (%d <- %d)"),
                                    {QString::number(selected & 0x7f), QString::number(api)}));
}

void TFileViewerFrameTIFF::addScannedPage(const QImage& image, double dpi, const QString& codeSource,
                                          int& pageToShow) {
    TPageList* list = m_pages->imOverview();
    const int index = list->AppendImage();
    TPageData* data = TPageData::_Get(list, index, -1);
    ++m_pages->FNewPage;
    list->SetImageInfoText(index, TDM1::FormatLogText(makeText(17114, QStringLiteral("Seite %d")),
                                                      {QString::number(m_pages->FNewPage)}));
    logEvent(QStringLiteral("TFileViewerFrameTIFF.btEditScanClick"));
    Imaging::TIOParams& params = list->Params(index);
    params.PixelFormat = Imaging::PixelFormatOf(image);
    params.DpiX = params.DpiY = dpi > 0 ? dpi : image.dotsPerMeterX() * 0.0254;
    CheckImageFormatAndSetName(index, codeSource.arg(index));
    Imaging::TTiffWriter writer;
    writer.WritePage(image, params);
    data->CurImage = writer.Finish();
    data->Loadet = true;
    m_pages->SetDecoded(index, image);
    if (pageToShow < 0)
        pageToShow = index;
}

void TFileViewerFrameTIFF::btEditScanClick(QObject* Sender) {
    const bool multi = Sender == btEditMultiScan;
    const bool rescan = Sender == btEditRescan;
    setScanButtonsEnabled(false);
    const auto end = qScopeGuard([this] {
        pnShowScan->hide();
        ClearUndo(false);
        ClearStatus(false);
        FormResize(nullptr);
        setScanButtonsEnabled(true);
    });
    btBreakScan->setEnabled(true);
    Vcl::SetTag(btBreakScan, 0);
    Vcl::SetTag(pbShowScan, 0);
    m_cancel.Reset();
    QWidget* host = pnShowScan->parentWidget();
    pnShowScan->move(qMax(host->width() / 2 - pnShowScan->width(), 0), (host->height() - pnShowScan->height()) / 2);
    lbShowScan->setText(scanText());
    pnShowScan->show();
    pnShowScan->raise();
    SetStatus(scanText(), 0, false);
    checkPageCommand();

    Imaging::TIEAcquire& acquisition = Acquisition();
    ChooseScanner(acquisition);
    const auto progress = [this](int percent) {
        SetStatus(scanText(), percent, false);
        pbShowScan->setValue(percent);
        QCoreApplication::processEvents();
        return !m_cancel.Armed();
    };
    TPageList* list = m_pages->imOverview();
    QString error;
    if (multi) {
        if (acquisition.DuplexSupported()) {
            const QString duplex = setting("Duplex");
            if (duplex.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
                acquisition.SetDuplexEnabled(false);
            else if (duplex.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
                acquisition.SetDuplexEnabled(true);
        }
        const int selected = list->SelectedImage();
        // A placeholder shows where the pages will come while the feeder runs.
        int placeholder = list->AppendImage();
        list->SetImageInfoText(placeholder, scanText() + QStringLiteral(" ..."));
        {
            const QSignalBlocker block(imOverview->selectionModel());
            list->SetSelectedImage(placeholder);
        }
        QList<QImage> pages;
        TAcquireStatus status = TAcquireStatus::Failed;
        {
            const auto removePlaceholder = qScopeGuard([&] {
                if (placeholder >= 0 && placeholder < list->ImageCount()) {
                    TPageData::_Destroy(list, placeholder);
                    list->DeleteImage(placeholder);
                }
                placeholder = -1;
                const QSignalBlocker block(imOverview->selectionModel());
                list->SetSelectedImage(selected);
            });
            try {
                status = acquisition.Acquire(true, pages, progress, error);
            } catch (const EAbort&) {
                throw;
            } catch (const EImagesException&) {
                throw;
            } catch (...) {
                TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                                      QStringLiteral("btEditMultiScan: ") + scanFailedText());
                throw EImagesException(QStringLiteral("btEditMultiScan: ") + scanFailedText());
            }
        }
        const double scaling = acquisition.XScaling();
        const double resolution = acquisition.XResolution();
        int pageToShow = selected;
        QList<int> turn;
        for (const QImage& page : pages) {
            addScannedPage(page, resolution, QStringLiteral("TFileViewerFrameTIFF.btEditScanClick (Scan %1)"), pageToShow);
            const int index = list->ImageCount() - 1;
            if (PageFormatCheck(QStringLiteral("M"), index, page.width(), page.height(), scaling, resolution))
                turn << index;
        }
        if (!pages.isEmpty() && FDokument && FDokument->InsertData().Source.isEmpty())
            FDokument->InsertData().Source = QStringLiteral("scan");
        RefreshTabs();
        for (int index : turn)
            DoPageRotate(QStringLiteral("M"), index, true);
        if (pageToShow >= 0 && !(turn.contains(pageToShow) && pageToShow == list->SelectedImage()))
            LoadImage(pageToShow, true);
        raiseScanStatus(status, !pages.isEmpty(), QStringLiteral("btEditMultiScan: "), error);
        return;
    }

    // One page: a new one, or the selected page again.
    const bool withDialog = btEditScanDialog->isChecked();
    if (acquisition.DuplexSupported())
        acquisition.SetDuplexEnabled(false);
    if (withDialog) {
        Imaging::TAcquireDialog dialog(acquisition, this);
        if (dialog.exec() != QDialog::Accepted)
            throw EAbort();
        dialog.Apply(false);
    }
    QList<QImage> pages;
    TAcquireStatus status = TAcquireStatus::Failed;
    try {
        status = acquisition.Acquire(false, pages, progress, error);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(), QStringLiteral("btEditScan: ") + scanFailedText());
        throw EImagesException(QStringLiteral("btEditScan: ") + scanFailedText());
    }
    if (pages.isEmpty()) {
        raiseScanStatus(status == TAcquireStatus::Good ? TAcquireStatus::NoDocs : status, false,
                        QStringLiteral("btEditScan: "), error);
        throw EImagesException(QStringLiteral("btEditScan: ") + scanFailedText());
    }
    const QImage& page = pages.first();
    int target = list->SelectedImage();
    if (!rescan || target < 0) {
        int shown = -1;
        addScannedPage(page, acquisition.XResolution(), QStringLiteral("TFileViewerFrameTIFF.btEditScanClick (Rescan %1)"), shown);
        target = shown;
        RefreshTabs();
    } else {
        TPageData* data = TPageData::_Get(list, target, -1);
        Imaging::TIOParams& params = list->Params(target);
        params.PixelFormat = Imaging::PixelFormatOf(page);
        const double dpi = acquisition.XResolution();
        params.DpiX = params.DpiY = dpi > 0 ? dpi : page.dotsPerMeterX() * 0.0254;
        logEvent(QStringLiteral("TFileViewerFrameTIFF.btEditScanClick"));
        CheckImageFormatAndSetName(target, QStringLiteral("TFileViewerFrameTIFF.btEditScanClick (Rescan %1)").arg(target));
        Imaging::TTiffWriter writer;
        writer.WritePage(page, params);
        data->CurImage = writer.Finish();
        data->Loadet = true;
        list->SetImage(target, page);
        m_pages->SetDecoded(target, page);
    }
    if (FDokument && FDokument->InsertData().Source.isEmpty())
        FDokument->InsertData().Source = QStringLiteral("scan");
    LoadImage(target, true);
    if (PageFormatCheck(QStringLiteral("S"), target, page.width(), page.height(), acquisition.XScaling(),
                        acquisition.XResolution()))
        DoPageRotate(QStringLiteral("S"), target, false);
}

void TFileViewerFrameTIFF::btFileScanClick(QObject*) {
    const bool was = btEditScanDialog->isChecked();
    const auto back = qScopeGuard([&] { btEditScanDialog->setChecked(was); });
    ribMenu->SetActiveTab(ribMenuEdit);
    btEditScanDialog->setChecked(true);
    repaint();
    btEditScanClick(btEditScan);
}

int TFileViewerFrameTIFF::DoPageScan(TPageScanOptions Options) {
    const bool was = btEditScanDialog->isChecked();
    const auto back = qScopeGuard([&] { btEditScanDialog->setChecked(was); });
    btEditScanDialog->setChecked(Options & psoWithDialog);
    btEditScanClick((Options & psoMultiScan)           ? btEditMultiScan
                    : (Options & psoRescanCurrentPage) ? btEditRescan
                                                       : btEditScan);
    return m_pages->imOverview()->SelectedImage();
}

// ---------------------------------------------------------------------------------------------
// Options

void TFileViewerFrameTIFF::btEditOptionsSourceClick(QObject* Sender) {
    const bool useWIA = Sender == btEditOptionsUseWIA    ? true
                        : Sender == btEditOptionsUseTWAIN ? false
                                                          : settingBool("UseWIA", false);
    const int api = useWIA ? Imaging::ieaWIA : Imaging::ieaTWAIN;
    Imaging::TIEAcquire& acquisition = Acquisition();
    const QStringList names = acquisition.SourceNames(api);
    if (names.isEmpty())
        Korvexutils::RaiseCriticalError(noScannerText());
    const int chosen = AskScanSource(this, names, setting("Scanner"));
    if (chosen < 0)
        return;
    saveSetting("Scanner", names[chosen]);
    saveSettingBool("UseWIA", useWIA);
}

void TFileViewerFrameTIFF::btEditOptionsSettingClick(QObject*) {
    setScanButtonsEnabled(false);
    const auto end = qScopeGuard([this] {
        ClearUndo(false);
        ClearStatus(false);
        FormResize(nullptr);
        setScanButtonsEnabled(true);
    });
    Imaging::TIEAcquire& acquisition = Acquisition();
    ChooseScanner(acquisition);
    Imaging::TAcquireDialog dialog(acquisition, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The device keeps these values while the program runs.
    const QStringList refused = dialog.Apply(true);
    if (!refused.isEmpty())
        Korvexutils::ShowError(QStringLiteral("Der Scanner hat diese Einstellungen nicht übernommen: ") +
                               refused.join(QStringLiteral(", ")));
}

void TFileViewerFrameTIFF::btEditOptionsDuplexClick(QObject* Sender) {
    Imaging::TIEAcquire& acquisition = Acquisition();
    const int api = settingBool("UseWIA", false) ? Imaging::ieaWIA : Imaging::ieaTWAIN;
    const QString stored = setting("Scanner");
    if (stored.isEmpty() || !acquisition.SetSource(api, stored))
        acquisition.SetSource(api, -1);
    auto* action = qobject_cast<QAction*>(Sender);
    if (!action || !action->isChecked())
        return;
    if (Sender == btEditOptionsDuplexAuto)
        saveSetting("Duplex", QStringLiteral("auto"));
    else if (Sender == btEditOptionsDuplexOff)
        saveSetting("Duplex", QStringLiteral("off"));
    else if (Sender == btEditOptionsDuplexOn)
        saveSetting("Duplex", QStringLiteral("on"));
}

void TFileViewerFrameTIFF::btEditOptionBarcodeClick(QObject* Sender) {
    if (FBarcodeOnlyFirst != foFromOptions)
        return;
    if (Sender == btEditOptionBarcodeFirst)
        saveSettingBool("BarcodeFirstOnly", btEditOptionBarcodeFirst->isChecked());
    else if (Sender == btEditOptionBarcodeAll)
        saveSettingBool("BarcodeFirstOnly", !btEditOptionBarcodeAll->isChecked());
}

void TFileViewerFrameTIFF::btEditOptionBarcodeDebugClick(QObject*) {
    saveSettingBool("DMSBarcodeDebugger", btEditOptionBarcodeDebug->isChecked());
}

void TFileViewerFrameTIFF::btEditOptionsPopup() {
    // Setting the states saves nothing: the handlers listen to triggered, which setChecked does
    // not emit.
    const bool useWIA = settingBool("UseWIA", false);
    btEditOptionsUseWIA->setChecked(useWIA);
    btEditOptionsUseTWAIN->setChecked(!useWIA);

    Imaging::TIEAcquire& acquisition = Acquisition();
    if (acquisition.SelectedSourceApi() >= Imaging::ieaNone) {
        const int api = useWIA ? Imaging::ieaWIA : Imaging::ieaTWAIN;
        const QString stored = setting("Scanner");
        if (stored.isEmpty() || !acquisition.SetSource(api, stored))
            acquisition.SetSource(api, -1);
    }
    const bool duplex = acquisition.DuplexSupported();
    for (QAction* a : {btEditOptionsDuplexAuto, btEditOptionsDuplexOn, btEditOptionsDuplexOff})
        a->setEnabled(duplex);
    if (duplex) {
        const QString d = setting("Duplex");
        const bool on = d.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
        const bool off = d.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0;
        btEditOptionsDuplexOn->setChecked(on);
        btEditOptionsDuplexOff->setChecked(off);
        btEditOptionsDuplexAuto->setChecked(!on && !off);
    } else {
        btEditOptionsDuplexOff->setChecked(true);
    }

    const bool fromOptions = FBarcodeOnlyFirst == foFromOptions;
    btEditOptionBarcodeFirst->setEnabled(fromOptions);
    btEditOptionBarcodeAll->setEnabled(fromOptions);
    const bool first = fromOptions ? settingBool("BarcodeFirstOnly", true) : FBarcodeOnlyFirst == foOnlyFirst;
    btEditOptionBarcodeFirst->setChecked(first);
    btEditOptionBarcodeAll->setChecked(!first);

    btEditOptionBarcodeDebug->setVisible(TUserRights::GetAdmin_User() || Dunmere::IsDevelopSystem());
    btEditOptionBarcodeDebug->setChecked(settingBool("DMSBarcodeDebugger", false));
}

// ---------------------------------------------------------------------------------------------
// Pages from a camera or a file

int TFileViewerFrameTIFF::DoAddCamImage() {
    checkPageCommand();
    btEditCameraClick(nullptr);
    return m_pages->imOverview()->SelectedImage();
}

int TFileViewerFrameTIFF::DoAddFile() {
    checkPageCommand();
    btEditLoadClick(nullptr);
    return m_pages->imOverview()->SelectedImage();
}

void TFileViewerFrameTIFF::btEditCameraClick(QObject* Sender) {
    const bool onlyCtrl = ctrlOnly();
    if (FWebCam)
        delete FWebCam.data();
    checkPageCommand();
    int module = -1;
    if (auto* menuItem = qobject_cast<QAction*>(Sender); menuItem && menuItem->parent() == pmCamera) {
        module = menuItem->data().toInt();
    } else {
        const quint32 active = Ashgrove::TCameraFrame::GetActiveCameraModuls();
        const int count = std::popcount(active);
        if (count > 0)
            module = 31 - std::countl_zero(active);
        if (count > 1) {
            if (Sender) {
                pmCamera->clear();
                for (int n = 0; n < 32; ++n) {
                    if (!(active & (1u << n)))
                        continue;
                    const QString caption = n == 0   ? Ashgrove::TCameraFrameCAPI::GetCaption()
                                            : n == 1 ? Ashgrove::TCameraFrameJPEG::GetCaption()
                                                     : QStringLiteral("unbekannt");
                    QAction* a = pmCamera->addAction(caption);
                    a->setData(n);
                    a->setToolTip(caption);
                    connect(a, &QAction::triggered, this,
                            [this, a] { Rtl::Guarded([&] { btEditCameraClick(a); }, this); });
                }
                pmCamera->popup(ribMenu->mapToGlobal(QPoint(400, 100)));
                return;
            }
            module = -1;
        }
    }
    Ashgrove::TCameraFrame* frame = (module == 0 || module == 1) ? Ashgrove::TCameraFrame::Create(module, pnPage2) : nullptr;
    if (!frame)
        Korvexutils::RaiseCriticalError(TDM1::FormatLogText(
            QStringLiteral("TFileViewerFrameTIFF.btEditCameraClick: kein oder ungültiges KameraModul (%d) ausgewählt"),
            {QString::number(module)}));
    Vcl::SetOwner(frame, this);
    FWebCam = frame;
    frame->OnSave = [this](QObject* s, const QImage& b) { WebCamSave(s, b); };
    frame->OnClose = [this](QObject* s) { WebCamClose(s); };
    frame->setGeometry(pnPage2->contentsRect().adjusted(50, 50, -50, -50));
    frame->show();
    frame->raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    frame->CamConnect();
    if (onlyCtrl)
        frame->CamSaveTimeout(false, 7);
}

void TFileViewerFrameTIFF::WebCamSave(QObject*, const QImage& Bitmap) {
    // The picture becomes a page: a camera picture that went nowhere would be lost.
    DoPageAdd(Bitmap, QStringLiteral("camera"), QStringLiteral("TFileViewerFrameTIFF.WebCamSave"));
}

void TFileViewerFrameTIFF::WebCamClose(QObject*) { FWebCam = nullptr; }

void TFileViewerFrameTIFF::PostSetInputMode(quintptr WParam) {
    QTimer::singleShot(0, this, [this, WParam] { Rtl::Guarded([&] { DoSetInputMode(WParam); }, this); });
}

void TFileViewerFrameTIFF::DoSetInputMode(quintptr WParam) { SetInputMode(quint8(WParam & 0xff)); }

// ---------------------------------------------------------------------------------------------
// Barcodes

bool TFileViewerFrameTIFF::BarcodeFirstOnly() {
    switch (FBarcodeOnlyFirst) {
    case foOnlyFirst: return true;
    case foAllPages: return false;
    default: return settingBool("BarcodeFirstOnly", true);
    }
}

void TFileViewerFrameTIFF::DoScanBarcodes(QStringList& List, quint8 Mode) {
    const bool firstOnly = BarcodeFirstOnly();
    TPageList* list = m_pages->imOverview();
    const int last = firstOnly ? qMin(0, list->ImageCount() - 1) : list->ImageCount() - 1;
    const QString id = QString::number(FDokument ? FDokument->Id() : 0);
    for (int page = 0; page <= last; ++page) {
        TPageData* data = TPageData::_Get(list, page, -1);
        if (!data->Loadet)
            m_pages->LoadImage(page, false);
        const QImage image = TViewerPages::DecodePage(data->CurImage);
        TBarcodeList codes;
        Ubarcode::ReadBarcode(codes, image, FBarcodeFilter, FBarcodeTypes, FBarcodeCheckDigit, FBarcodeDensity);
        for (const TBarcodeData& code : codes)
            List << BarcodeLine(code, Mode);
        logEvent(TDM1::FormatLogText(QStringLiteral("TFileViewerFrameTIFF.DoScanBarcodes : pd_id=%d Seite=%d Codes=%d>%s"),
                                     {id, QString::number(page), QString::number(List.size()), List.join(u',')}));
    }
    if (firstOnly && list->ImageCount() > 1)
        logEvent(TDM1::FormatLogText(QStringLiteral("TFileViewerFrameTIFF.DoScanBarcodes : pd_id=%d - nur erste Seite gescannt"),
                                     {id}));
}

bool TFileViewerFrameTIFF::DoMarkBarcodes(bool RemoveMarkers) {
    // The canvas's edits belong to the page shown; they go into its data before pages change.
    const int shown = m_pages->imOverview()->SelectedImage();
    if (shown >= 0 && FAllowSave && Annot().Changed())
        SaveAnnotationsOfPage(shown);
    Imaging::TIEVectModel& canvas = imCurrentPage->Model();
    const auto removeMarks = [&] {
        bool removed = false;
        for (int i = canvas.ObjectsCount() - 1; i >= 0; --i) {
            const int h = canvas.GetObjFromIndex(i);
            const TAnnotData* d = m_annot->AnnotDataOrNull(h);
            if (d && d->Creator == QLatin1String(BarcodeCreator)) {
                canvas.RemoveObject(h);
                removed = true;
            }
        }
        return removed;
    };
    const auto store = [&](int page) {
        SaveAnnotationsOfPage(page);
        ClearUndo(false);
    };
    TPageList* list = m_pages->imOverview();
    bool result = false;
    if (RemoveMarkers) {
        for (int page = list->ImageCount() - 1; page >= 0; --page) {
            LoadImage(page, true);
            if (removeMarks()) {
                result = true;
                store(page);
            }
        }
        return result;
    }
    const int last = BarcodeFirstOnly() ? qMin(0, list->ImageCount() - 1) : list->ImageCount() - 1;
    for (int page = 0; page <= last; ++page) {
        LoadImage(page, true);
        const bool removed = removeMarks();
        TBarcodeList codes;
        Ubarcode::ReadBarcode(codes, m_pages->CurrentImage(), FBarcodeFilter, FBarcodeTypes,
                              FBarcodeCheckDigit, FBarcodeDensity);
        for (const TBarcodeData& code : codes) {
            const QRect box(code.p1, code.p2, code.p3 - code.p1, code.p4 - code.p2);
            AddAnnotHighlight(box, Imaging::TColor(0x00FF00), QLatin1String(BarcodeCreator));
            AddAnnotText(QRect(code.p1, code.p4 + 5, box.width(), 40), AllowedText(code.Text),
                         Imaging::TColor(0x008000), 34, QStringLiteral("Arial"), false, false,
                         Imaging::clNone, Imaging::clNone, QLatin1String(BarcodeCreator));
        }
        if (!codes.isEmpty())
            result = true;
        if (removed || !codes.isEmpty())
            store(page);
    }
    return result;
}

void TFileViewerFrameTIFF::btEditBarcodeSearchClick(QObject*) {
    if (!TUserRights::GetAdmin_User()) {
        if (!DoMarkBarcodes(true))
            DoMarkBarcodes(false);
        return;
    }
    // A test run with settings for this one search.
    const TBarcodeFilter filter = FBarcodeFilter;
    const TBarcodeTypes types = FBarcodeTypes;
    const bool checkDigit = FBarcodeCheckDigit;
    const int density = FBarcodeDensity;
    const TIFirstOnly onlyFirst = FBarcodeOnlyFirst;
    const auto putBack = qScopeGuard([&] {
        FBarcodeFilter = filter;
        FBarcodeTypes = types;
        FBarcodeCheckDigit = checkDigit;
        FBarcodeDensity = density;
        FBarcodeOnlyFirst = onlyFirst;
    });
    const QString title = QStringLiteral("Admin-BarcodeSearch");
    Vcl::TQuestion q;
    q.kind = Vcl::mtConfirmation;
    q.caption = title;
    q.text = QStringLiteral("FilterProc");
    q.parent = this;
    q.buttons = Vcl::TMsgDlgButtons(Vcl::mbYes | Vcl::mbNo | Vcl::mbCancel);
    q.buttonCaptions.insert(Vcl::mbYes, QStringLiteral("Nicht filtern"));
    q.buttonCaptions.insert(Vcl::mbNo, QStringLiteral("Manuell filtern"));
    if (filter) {
        q.buttons |= Vcl::mbAll;
        q.buttonCaptions.insert(Vcl::mbAll, QStringLiteral("Externe Filterfunktion verwenden"));
    }
    q.defaultButton = filter ? Vcl::mbAll : Vcl::mbYes;
    switch (Vcl::Dialogs::Instance().Ask(q)) {
    case Vcl::mrYes: FBarcodeFilter = {}; break;
    case Vcl::mrNo:
        FBarcodeFilter = [this](const TBarcodeData& code, int count) { return ManualBarcodeFilter(code, count); };
        break;
    case Vcl::mrAll: break;
    default: return;
    }
    if (!Korvexutils::RaiseInputQuestion.Assigned())
        return;
    const auto ask = [&](const QString& prompt, const QString& value) -> std::optional<QString> {
        QVariant v = value;
        QString description;
        if (!Korvexutils::RaiseInputQuestion(title, prompt, v, description, 0, false, this, QString(), QString()))
            return std::nullopt;
        return v.toString();
    };
    const auto typesAnswer = ask(QStringLiteral("BarcodeTypes (Set)\r\n"
                                                "$00000000 00000000 00000000 00000000 00: keine\r\n"
                                                "EAN-8: $00010000 ..., EAN-13: $00200000 ..., "
                                                "Code 39 / QR / Code 128: siehe Dokumentation"),
                                 BarcodeTypesText(FBarcodeTypes));
    if (!typesAnswer)
        return;
    FBarcodeTypes = BarcodeTypesFromText(*typesAnswer);
    const auto check = ask(QStringLiteral("CheckDigit (ZBAR_CFG_ADD_CHECK: Boolean)"),
                           FBarcodeCheckDigit ? QStringLiteral("True") : QStringLiteral("False"));
    if (!check)
        return;
    FBarcodeCheckDigit = strToBool(*check);
    const auto densityAnswer = ask(QStringLiteral("Density (ZBAR_CFG_X_DENSITY: Integer)"), QString::number(FBarcodeDensity));
    if (!densityAnswer)
        return;
    FBarcodeDensity = strToInt(*densityAnswer);
    const auto first = ask(QStringLiteral("OnlyFirstPage (Enum: 0=FromOptions, 1=OnlyFirst, 2=AllPages)"),
                           QString::number(int(FBarcodeOnlyFirst)));
    if (!first)
        return;
    FBarcodeOnlyFirst = TIFirstOnly(qBound(0, strToInt(*first), 2));
    DoMarkBarcodes(false);
}
