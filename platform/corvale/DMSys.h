#pragma once
// The system data module of the common components: the image lists that tool bars and buttons of
// every form share. Created on first use, lives as long as the application, unless a host brings it
// up with an owner (ModulInitialize); Current() is null before that and once it is destroyed.

#include "VoskControls.h"

#include <HookSlot.h>
#include <Ubarcode.h>

#include <QStringList>

class TDokument;

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

    // Scanning into new documents: owner of the preview dialogs, whether the scanner's own
    // dialog comes first, the template document (may be null), name=value parameters, document
    // type and ident of the new documents, the call-back told about them. Filled by the viewers'
    // unit while it is loaded.
    using TDMSScanProc = void(QObject* Owner, bool ScannerSetup, TDokument* Dokument,
                              const QStringList& ScanParams, const QString& DokType,
                              const QString& DokIdent, const TDokumentEvent& OnDokEvent);
    static Rtl::HookSlot<TDMSScanProc> _DMSScan;
    // Scans from the scanner into a new document of dokType for the record (tableName, recId)
    // through _DMSScan; while the slot is empty the user is told that scanning is not available
    // here, and nothing else happens.
    void DMSLoadFromScanner(QObject* owner, const QString& dokType, const QString& dokIdent,
                            const QString& tableName, const QString& recId,
                            const QString& parentNodeIdent, const TDokumentEvent& onDokEvent,
                            bool scannerSetup);

private:
    TDMSys();
    TImageList* m_imageList;
    TImageList* m_imageListHot;
};

// DMSys, as the forms call it.
inline TDMSys* DMSys() { return TDMSys::Instance(); }
