#pragma once
// TVoskScanButton: the button a module form places beside its data to scan a document, or import
// a file, straight into the document management for the form's current record, without opening
// the document window. Its arrow opens a menu with the scan, the file import into the scan window
// (administrators only) and the import of a PDF or image file as it is.

#include "DMSys.h"
#include "TVoskClass.h"
#include "UModulFormSeams.h"
#include "VoskControls.h"

#include <QPointer>
#include <QStringList>

#include <functional>

class TVoskMenuItem;
class TVoskPopupMenu;

class TVoskScanButton : public TVoskButton2, public UModulFormSeams::IScanButton {
    Q_OBJECT
public:
    // Symbologies the scan service reads; names as the scan parameters carry them.
    enum TSBarcode {
        sbEAN2 = 1 << 0,
        sbEAN5 = 1 << 1,
        sbEAN8 = 1 << 2,
        sbUPCE = 1 << 3,
        sbISBN10 = 1 << 4,
        sbUPCA = 1 << 5,
        sbEAN13 = 1 << 6,
        sbISBN13 = 1 << 7,
        sbEAN_UPC = 1 << 8,
        sbI25 = 1 << 9,
        sbDatabar = 1 << 10,
        sbDatabarExp = 1 << 11,
        sbCodabar = 1 << 12,
        sbCode39 = 1 << 13,
        sbPDF417 = 1 << 14,
        sbQRCode = 1 << 15,
        sbSQCode = 1 << 16,
        sbCode93 = 1 << 17,
        sbCode128 = 1 << 18,
    };
    Q_DECLARE_FLAGS(TSBarcodes, TSBarcode)
    Q_FLAG(TSBarcodes)
    enum TIScanBarcodeMode { sbmOnlyCodes, sbmWithTypes, sbmWithTypesAndPos };
    Q_ENUM(TIScanBarcodeMode)

    Q_PROPERTY(TVoskClass* _ScanOwnerClass READ ScanOwnerClass WRITE SetScanOwnerClass)
    Q_PROPERTY(TVoskClass* _ScanOwnerClass2 READ ScanOwnerClass2 WRITE SetScanOwnerClass2)
    Q_PROPERTY(QString _ScanDokuType MEMBER _ScanDokuType)
    Q_PROPERTY(QString _ScanDokIdentField MEMBER _ScanDokIdentField)
    Q_PROPERTY(bool _ScanDokIdentRequired MEMBER _ScanDokIdentRequired)
    Q_PROPERTY(QString _ScanTableName MEMBER _ScanTableName)
    Q_PROPERTY(QString _ScanRecIdField MEMBER _ScanRecIdField)
    Q_PROPERTY(TSBarcodes _Barcodes READ Barcodes WRITE SetBarcodes)
    Q_PROPERTY(TIScanBarcodeMode _BarcodesInfos MEMBER _BarcodesInfos)
    Q_PROPERTY(bool _BarcodesOnFirstPage MEMBER _BarcodesOnFirstPage)
    Q_PROPERTY(int TextNr READ TextNr WRITE SetTextNr)

public:
    explicit TVoskScanButton(QObject* owner = nullptr, QWidget* parent = nullptr);

    QPointer<TVoskClass> _ScanOwnerClass;  // the record's data class; required
    QPointer<TVoskClass> _ScanOwnerClass2; // searched for fields the first one lacks
    QString _ScanDokuType;
    QString _ScanDokIdentField;
    bool _ScanDokIdentRequired = false;
    QString _ScanTableName;  // empty: the data class's table
    QString _ScanRecIdField; // empty: the data class's dbrid
    TSBarcodes _Barcodes;
    TIScanBarcodeMode _BarcodesInfos = sbmOnlyCodes;
    bool _BarcodesOnFirstPage = false;
    // After a scan has stored a document (mode 0), with the values it reported.
    std::function<void(QObject* sender, const QStringList& values)> OnAfterScan;

    TVoskPopupMenu* DropDownMenu() const { return pmScan; }
    TVoskPopupMenu* pmScan;
    TVoskMenuItem* miScan;
    TVoskMenuItem* miImageFile;
    TVoskMenuItem* miOtherFile;

    TVoskClass* ScanOwnerClass() const { return _ScanOwnerClass; }
    void SetScanOwnerClass(TVoskClass* c) { _ScanOwnerClass = c; }
    TVoskClass* ScanOwnerClass2() const { return _ScanOwnerClass2; }
    void SetScanOwnerClass2(TVoskClass* c) { _ScanOwnerClass2 = c; }
    TSBarcodes Barcodes() const { return _Barcodes; }
    void SetBarcodes(TSBarcodes b) { _Barcodes = b; }
    int TextNr() const { return m_textNr; }
    void SetTextNr(int textNr);

    // The document ident: the value of _ScanDokIdentField, empty without one.
    QString Dokident__Get() override;
    void Click();
    void DoScanClick(QObject* Sender);
    // DMSLoad's call-back once the document is stored.
    void DoDokumentEvent(QObject* Sender, TDokument* Dokument, TDokumentEventMode Mode,
                         const QStringList& Values);

    // The "name=value" lines of the barcode configuration; empty without barcodes.
    QString BarcodeConfiguration() const;

private:
    // The trimmed value of field from the first data class that has it.
    QString FieldValue(const QString& field, bool required);
    void UpdateMenu();
    int m_textNr = 2073;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TVoskScanButton::TSBarcodes)

namespace UImpDoku {
// Registers the scan button by class name and on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace UImpDoku
