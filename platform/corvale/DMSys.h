#pragma once
// The system data module of the common components: the image lists that tool bars and buttons of
// every form share. Created on first use, lives as long as the application, unless a host brings it
// up with an owner (ModulInitialize); Current() is null before that and once it is destroyed.

#include "VoskControls.h"

#include <HookSlot.h>

#include <Ubarcode.h>

#include <QStringList>

class TDokument;

// Options of an import started with DMSLoad; none are defined yet.
struct TDMSLoadOptions {};

class TDMSys final : public QObject {
    Q_OBJECT
public:
    static TDMSys* Instance();
    static TDMSys* Current();
    static TDMSys* ModulInitialize(QObject* owner);

    TImageList* ImageList() const { return m_imageList; }
    TImageList* ImageListHot() const { return m_imageListHot; }

    // Pictures the forms address by number.
    static constexpr int ImageClose = 0;
    static constexpr int ImageOk = 28;
    static constexpr int ImageMinimize = 317;
    static constexpr int ImageCount = 400;

    // Whether the number has a picture in the table, and the theme names tried for it in order.
    static bool HasThemeIcon(int index);
    static QStringList ThemeIconNames(int index);
    // The icon of the program and its windows.
    static QIcon AppIcon();

    // ---- scanning into the document management
    // The scan service: scans, takes a camera picture or imports a file into new documents of
    // dokType and dokIdent, taking over the template document's events, query and insert data,
    // and tells onDokEvent of each new one. Filled by the viewers' unit, empty without one.
    using TDMSScan = void(QObject* owner, bool scannerSetup, TDokument* dokument,
                          const QStringList& scanParams, const QString& dokType,
                          const QString& dokIdent, const TDokumentEvent& onDokEvent);
    static Rtl::HookSlot<TDMSScan> _DMSScan;

    // The document window's scan: scanParams are "name=value" lines ("ScanPath", "ScanSource"),
    // the new documents take over dokument's insert data (type, ident, folder) and events.
    // Without a scan service the user is told so.
    void Scan(QObject* owner, bool scannerSetup, int, int, int, int, const QStringList& scanParams,
              TDokument* dokument);
    // A scan (mode 0), an image file in the scan window (4) or a PDF or image file stored as it
    // is (5) into a new document of dokType and dokIdent for the record (table, recId); config
    // holds further "name=value" lines (barcodes). onDokEvent hears of the stored document.
    // Without a scan service mode 5 asks for the file and stores it here; 0 and 4 tell the user
    // that no scan service is there.
    void DMSLoad(QObject* owner, int mode, const QString& dokType, const QString& dokIdent,
                 const QString& table, const QString& recId, const QString& config, int, int, int,
                 TDMSLoadOptions options, const TDokumentEvent& onDokEvent);
    static QString NoScanServiceText() { return QStringLiteral("Kein Scan-Dienst geladen."); }

private:
    TDMSys();
    TImageList* m_imageList;
    TImageList* m_imageListHot;
};

// DMSys, as the forms call it.
inline TDMSys* DMSys() { return TDMSys::Instance(); }
