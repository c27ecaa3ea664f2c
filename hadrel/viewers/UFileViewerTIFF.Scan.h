#pragma once
// Scanning into documents: the scan service that turns paper, a camera picture or a file into new
// documents (DMSScan, the system module's scan slot), and the parts of it that need no window:
// reading the scan parameters, the log description of a call, and the splitting of a scanned
// stack into documents at barcodes.

#include <Ubarcode.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QWidget;
class TDokument;

// How a barcode list names its codes; 255 stands for "read no barcodes".
enum TIScanBarcodeMode : quint8 { sbmOnlyCodes, sbmWithTypes, sbmWithTypesAndPos };
constexpr quint8 kNoBarcodeMode = 255;

// Which page operation a scan runs.
enum TPageScanOption : quint8 { psoWithDialog = 1, psoMultiScan = 2, psoRescanCurrentPage = 4 };
using TPageScanOptions = quint8;

// The barcode options of one scan call, read from its "name=value" parameters.
struct TDMSScanBarcodeOptions {
    TBarcodeTypes BarTypes;
    quint8 BarcodeMode = kNoBarcodeMode;
    TIFirstOnly OnlyFirstPage = foFromOptions;
};
// "Barcodes" (symbology names, comma-separated; empty: none), "BarcodesOnFirstPage" and
// "BarcodeMode". A mode that names no value switches reading off, as the stored configurations
// expect; warn receives the value so that the log tells why.
TDMSScanBarcodeOptions ReadScanBarcodeOptions(const QStringList& scanParams,
                                              const std::function<void(const QString&)>& warn);
// The mode's value of a name ("sbmWithTypes"), -1 for none.
int ScanBarcodeModeOfName(const QString& name);

// The one-line description of a call for the log. tableName and recId are null when the template
// has no such parameters; insertDataInfo is the template's insert-data description.
QString DMSScanInfo(const QStringList& scanParams, const QString& tableName, const QString& recId,
                    const QString& dokType, const QString& dokIdent, bool hasEvent,
                    TIFirstOnly onlyFirstPage, const QString& insertDataInfo);

// The symbol set as the administrator's test shows it: "$" and its 17 bytes in memory order,
// two hexadecimal digits each, a blank after every eight digits. Reading drops blanks, adds a
// missing "$" and pads with "0"; digits that are no hexadecimal raise EConvertError.
QString BarcodeTypesText(const TBarcodeTypes& types);
TBarcodeTypes BarcodeTypesFromText(const QString& text);

// The line of one code in a barcode list, by mode ("CODE-128=4711", "CODE-128[1,2,3,4]=4711").
QString BarcodeLine(const TBarcodeData& code, quint8 mode, QChar separator = u'=');

// Which pages of a scanned stack start a new document. read gives the codes of a page (it is not
// asked when ignoreCodes, the Ctrl key at the start, is set, nor once page 0 showed none). A page
// starts a document when it has a code that differs from the one that started the current
// document; no code on the first page puts every page into a document of its own. pdId names the
// template in the log lines.
QList<bool> SplitScanAtBarcodes(int pageCount, bool ignoreCodes, int pdId,
                                const std::function<TBarcodeList(int page)>& read,
                                const std::function<void(const QString&)>& log);

// The scan service (the system module's slot): see TDMSys::Scan.
void DMSScan(QObject* _Owner, bool ScannerSetup, TDokument* Dokument, const QStringList& ScanParams,
             const QString& DokType, const QString& DokIdent, const TDokumentEvent& OnDokEvent);

// Asks which of the scanners names to use (current preselected); its index, -1 when cancelled.
int AskScanSource(QWidget* parent, const QStringList& names, const QString& current);

// Bytes of memory the system can still hand out (MemAvailable); 0 when it cannot be read.
qint64 AvailableMemory();
