#include "UImpDoku.ScanButton.h"

#include "Korvexutils.h"
#include "TUserRights.h"
#include "TVoskClass.h"
#include "TVoskPopupMenu.h"
#include "UDM1.h"
#include "UModulForm.h"
#include "UnitTable.h"
#include "Vcl.Classes.h"
#include "Vcl.Components.h"

#include <EventGuard.h>

#include <QMetaEnum>
#include <QScopeGuard>

TVoskScanButton::TVoskScanButton(QObject* owner, QWidget* parent) : TVoskButton2(parent) {
    if (owner)
        Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("VoskScanButton"));
    setFixedWidth(89);
    setIcon(DMSys()->ImageList()->Icon(233));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::MenuButtonPopup);

    pmScan = new TVoskPopupMenu(this);
    pmScan->setObjectName(QStringLiteral("pmScan"));
    auto item = [this](const QString& name, int image) {
        auto* i = new TVoskMenuItem(QString(), pmScan);
        i->setObjectName(name);
        i->setIcon(DMSys()->ImageList()->Icon(image));
        pmScan->addAction(i);
        connect(i, &QAction::triggered, this,
                [this, i] { Rtl::Guarded([this, i] { DoScanClick(i); }, this); });
        return i;
    };
    miScan = item(QStringLiteral("miScan"), 233);
    miImageFile = item(QStringLiteral("miImageFile"), 305);
    miImageFile->setText(QStringLiteral("Datei im Scan-Fenster importieren"));
    miOtherFile = item(QStringLiteral("miOtherFile"), 152);
    miOtherFile->setText(makeText(25180, QStringLiteral("Dokument importieren")) +
                         QStringLiteral(" (PDF/Images)"));
    setMenu(pmScan);
    // The administrators' entry follows the user's state whenever the menu opens.
    connect(pmScan, &QMenu::aboutToShow, this, [this] { UpdateMenu(); });
    connect(this, &QToolButton::clicked, this, [this] { Rtl::Guarded([this] { Click(); }, this); });
    SetTextNr(m_textNr);
    UpdateMenu();
}

void TVoskScanButton::SetTextNr(int textNr) {
    m_textNr = textNr;
    const QString caption = makeText(textNr, QStringLiteral("Scannen"));
    setText(caption);
    setAccessibleName(caption);
    setToolTip(caption + QStringLiteral(": ein Dokument für diesen Datensatz scannen; der Pfeil "
                                        "bietet den Import einer Datei an"));
    miScan->setText(caption);
    for (QAction* a : pmScan->actions())
        a->setToolTip(a->text());
}

void TVoskScanButton::UpdateMenu() {
    miImageFile->setVisible(TUserRights::GetAdmin_User());
}

QString TVoskScanButton::FieldValue(const QString& field, bool required) {
    TVoskDataField f;
    for (TVoskClass* c : {_ScanOwnerClass.data(), _ScanOwnerClass2.data()})
        if (c && c->FieldIndex(field) >= 0) {
            f = c->FieldByName(field);
            break;
        }
    if (!f.Exists())
        Korvexutils::RaiseCriticalError(QStringLiteral("TVoskScanButton: ") + field +
                                        QStringLiteral(" nicht gefunden."));
    const QString value = f.AsString().trimmed();
    if (value.isEmpty() && required)
        Korvexutils::RaiseCriticalError(QStringLiteral("TVoskScanButton: ") + field +
                                        QStringLiteral(" enthält keinen Wert."));
    return value;
}

QString TVoskScanButton::Dokident__Get() {
    if (_ScanDokIdentField.isEmpty())
        return {};
    return FieldValue(_ScanDokIdentField, _ScanDokIdentRequired);
}

QString TVoskScanButton::BarcodeConfiguration() const {
    if (!_Barcodes)
        return {};
    const QMetaEnum flags = QMetaEnum::fromType<TSBarcodes>();
    QStringList names;
    for (int i = 0; i < flags.keyCount(); ++i)
        if (_Barcodes.testFlag(TSBarcode(flags.value(i))))
            names << QLatin1String(flags.key(i));
    QStringList lines{
        QStringLiteral("Barcodes=") + names.join(QLatin1Char(',')),
        QStringLiteral("BarcodeMode=") +
            QLatin1String(QMetaEnum::fromType<TIScanBarcodeMode>().valueToKey(_BarcodesInfos))};
    if (_BarcodesOnFirstPage)
        lines << QStringLiteral("BarcodesOnFirstPage=True");
    return lines.join(QStringLiteral("\r\n"));
}

void TVoskScanButton::Click() {
    DoScanClick(this);
}

void TVoskScanButton::DoScanClick(QObject* Sender) {
    if (!_ScanOwnerClass) {
        if (!_ScanDokuType.isEmpty() || !_ScanDokIdentField.isEmpty() ||
            !_ScanTableName.isEmpty() || !_ScanRecIdField.isEmpty() || _ScanOwnerClass2)
            Korvexutils::RaiseError(
                QStringLiteral("TVoskScanButton: _ScanOwnerClass nicht angegeben (aber "
                               "_ScanDokuType, _ScanDokIdentField, _ScanTableName oder "
                               "_ScanRecIdField wurde definiert)"));
        return;
    }
    if (!_ScanOwnerClass->HasRecord())
        return;
    setEnabled(false);
    const auto enable = qScopeGuard([this] { setEnabled(true); });

    const QString ident = Dokident__Get();
    const QString table =
        _ScanTableName.isEmpty() ? _ScanOwnerClass->GetSqlTableName() : _ScanTableName;
    const QString recId = _ScanRecIdField.isEmpty()
                              ? _ScanOwnerClass->FieldByName(QStringLiteral("dbrid")).AsString()
                              : FieldValue(_ScanRecIdField, true);
    const int mode = Sender == miOtherFile ? 5 : Sender == miImageFile ? 4 : 0;
    DMSys()->DMSLoad(
        this, mode, _ScanDokuType, ident, table, recId, BarcodeConfiguration(), 0, 0, -1, {},
        [this](QObject* sender, TDokument* doc, TDokumentEventMode m, const QStringList& values) {
            DoDokumentEvent(sender, doc, m, values);
        });
}

void TVoskScanButton::DoDokumentEvent(QObject* Sender, TDokument* Dokument, TDokumentEventMode Mode,
                                      const QStringList& Values) {
    Q_UNUSED(Sender)
    Q_UNUSED(Dokument)
    if (OnAfterScan && Mode == 0)
        OnAfterScan(this, Values);
    if (_ScanOwnerClass && !_ScanOwnerClass->InEdit())
        _ScanOwnerClass->Refresh();
    if (auto* form = qobject_cast<TModulForm*>(Korvexutils::KorvexGetForm(this)))
        form->LastDokuID.clear();
}

namespace UImpDoku {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"),
                            {Vcl::ComponentClass<TVoskScanButton>()});
}

} // namespace UImpDoku

namespace {
void InitUnit() {
    Vcl::RegisterClass<TVoskScanButton>();
}
void FiniUnit() {
    Vcl::UnRegisterClass(QStringLiteral("TVoskScanButton"));
}
} // namespace

KORVEX_UNIT("hadrel", "UImpDoku.ScanButton", InitUnit, FiniUnit, &UImpDoku::Register);
