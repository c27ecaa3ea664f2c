// The window-free parts of the scan service: parameters, log description and splitting.

#include "UFileViewerTIFF.Scan.h"

#include <StrUtils.h>
#include <UDM1.h>

#include <QFile>

namespace {
QString param(const QStringList& params, const char* name) {
    return Rtl::ValueOf(params, QString::fromLatin1(name));
}
} // namespace

int ScanBarcodeModeOfName(const QString& name) {
    static const char* const names[] = {"sbmOnlyCodes", "sbmWithTypes", "sbmWithTypesAndPos"};
    for (int i = 0; i < 3; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TDMSScanBarcodeOptions ReadScanBarcodeOptions(const QStringList& scanParams,
                                              const std::function<void(const QString&)>& warn) {
    TDMSScanBarcodeOptions o;
    const QString barcodes = param(scanParams, "Barcodes");
    if (barcodes.isEmpty())
        return o;
    for (const QString& name : barcodes.split(u',')) {
        const int type = Ubarcode::SymbolTypeOfName(name.trimmed());
        if (type >= 0)
            o.BarTypes.set(size_t(type));
    }
    o.OnlyFirstPage = Rtl::StrToBoolDef(param(scanParams, "BarcodesOnFirstPage"), false) ? foOnlyFirst
                                                                                         : foAllPages;
    QString mode = param(scanParams, "BarcodeMode");
    if (mode.isEmpty())
        mode = QStringLiteral("sbmOnlyCodes");
    const int value = ScanBarcodeModeOfName(mode);
    if (value < 0) {
        o.BarcodeMode = kNoBarcodeMode;
        if (warn)
            warn(mode);
    } else {
        o.BarcodeMode = quint8(value);
    }
    return o;
}

QString DMSScanInfo(const QStringList& scanParams, const QString& tableName, const QString& recId,
                    const QString& dokType, const QString& dokIdent, bool hasEvent,
                    TIFirstOnly onlyFirstPage, const QString& insertDataInfo) {
    QString info = QStringLiteral("Tablename= RecId= ");
    if (!tableName.isNull() && !recId.isNull())
        info = TDM1::FormatLogText(QStringLiteral("Tablename=%s RecId=%s "), {tableName, recId});
    const QString parent = param(scanParams, "parentnodeident");
    if (!parent.isEmpty())
        info += TDM1::FormatLogText(QStringLiteral("ParentNodeIdent=%s "), {parent});
    info += TDM1::FormatLogText(QStringLiteral("DokType=%s DokIdent=%s "), {dokType, dokIdent});
    if (hasEvent)
        info += QStringLiteral("OnDokEvent=True ");
    switch (onlyFirstPage) {
    case foFromOptions: info += QStringLiteral("Barcodes="); break;
    case foOnlyFirst: info += QStringLiteral("Barcodes@FirstPage="); break;
    case foAllPages: info += QStringLiteral("Barcodes@AllPages="); break;
    }
    const QString barcodes = param(scanParams, "Barcodes");
    info += barcodes.isEmpty() ? QStringLiteral("default ") : barcodes + u' ';
    if (!insertDataInfo.isEmpty())
        info += QStringLiteral("\r\n  InsertData: ") + insertDataInfo;
    return info;
}

QString BarcodeLine(const TBarcodeData& code, quint8 mode, QChar separator) {
    switch (mode) {
    case sbmWithTypes: return code.SymbologyName + separator + code.Text;
    case sbmWithTypesAndPos:
        return QStringLiteral("%1[%2,%3,%4,%5]%6%7")
            .arg(code.SymbologyName)
            .arg(code.p1)
            .arg(code.p2)
            .arg(code.p3)
            .arg(code.p4)
            .arg(separator)
            .arg(code.Text);
    default: return code.Text;
    }
}

QList<bool> SplitScanAtBarcodes(int pageCount, bool ignoreCodes, int pdId,
                                const std::function<TBarcodeList(int page)>& read,
                                const std::function<void(const QString&)>& log) {
    const QString id = QString::number(pdId);
    QList<bool> newPage(pageCount, false);
    QString lastCode;
    for (int i = 0; i < pageCount; ++i) {
        TBarcodeList codes;
        if (!ignoreCodes) {
            codes = read(i);
            log(TDM1::FormatLogText(QStringLiteral("TDMSys.Scan : Barcode suchen > pd_id=%d Seite=%d Codes=%d:%s"),
                                    {id, QString::number(i), QString::number(codes.size()),
                                     Ubarcode::GetAllBarcodes(codes)}));
            QString s = codes.isEmpty() ? QString() : codes.first().Text;
            // A page with different codes is ambiguous: it starts a document and is remembered
            // by none of them.
            for (qsizetype k = 1; k < codes.size(); ++k)
                if (codes[k].Text != s) {
                    s.clear();
                    lastCode.clear();
                }
            if (!s.isEmpty() && s == lastCode) {
                codes.clear();
                log(TDM1::FormatLogText(
                    QStringLiteral("TDMSys.Scan : Barcode wird ignoriert - aktueller Barcode \"%s\" "
                                   "stimmt mit dem zuletzt Gefundenen überein"),
                    {s}));
            }
            if (!s.isEmpty())
                lastCode = s;
        }
        if (i == 0 && codes.isEmpty()) {
            log(TDM1::FormatLogText(
                QStringLiteral("TDMSys.Scan : kein Barcode auf 1. Seite - in Einzelseiten aufeilen > pd_id=%d"),
                {id}));
            newPage.fill(true);
            return newPage;
        }
        newPage[i] = !codes.isEmpty() || ignoreCodes;
    }
    return newPage;
}

qint64 AvailableMemory() {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return 0;
    // /proc files report no size: read them whole rather than testing for their end.
    for (const QByteArray& line : meminfo.readAll().split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            const QList<QByteArray> parts = line.mid(13).simplified().split(' ');
            return parts.value(0).toLongLong() * 1024;
        }
    }
    return 0;
}
