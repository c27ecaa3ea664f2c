#include "UNummernKreis.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.Dialogs.h"
#include "Korvexutils.h"
#include "TNummernKreis.h"
#include "TVoskDBGrid2.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "UModulForm.Start.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskExceptionHelper.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"
#include <EventGuard.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

const QColor TFormNummernKreis::ColorInvalid = QColor(247, 181, 166);
const QColor TFormNummernKreis::ColorTyped = QColor(255, 255, 128);
const QColor TFormNummernKreis::ColorDefaultRow = QColor(138, 207, 131);

namespace {

const QString kHelp = QStringLiteral(
    " [Enter] = OK\r\n [ESC] = Abbrechen\r\n [F2] = F2-Fenster anzeigen\r\n [F5] = Manuelle "
    "Nummer verwenden\r\n [F9] = Standardvorgabe verwenden + [Enter]");

// Paints the preselected (or default) range green.
class GreenRowDelegate final : public QStyledItemDelegate {
public:
    explicit GreenRowDelegate(TFormNummernKreis* form) : QStyledItemDelegate(form), m_form(form) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_form->IsGreenRow(index.row())) {
            option->backgroundBrush = TFormNummernKreis::ColorDefaultRow;
            // Selected, the row stays recognisably green.
            option->palette.setColor(QPalette::Highlight,
                                     TFormNummernKreis::ColorDefaultRow.darker(135));
            option->palette.setColor(QPalette::HighlightedText, Qt::black);
        }
    }

private:
    TFormNummernKreis* m_form;
};

// Each "%s" of text in turn replaced by the next value, literally: a value is never read as a
// placeholder.
QString FillPlaceholders(const QString& text, const QStringList& values) {
    QString out;
    int from = 0;
    for (const QString& v : values) {
        const int at = text.indexOf(QLatin1String("%s"), from);
        if (at < 0)
            break;
        out += text.mid(from, at - from) + v;
        from = at + 2;
    }
    return out + text.mid(from);
}

QString Quoted(const QString& caption) {
    if (caption.size() >= 2 && caption.startsWith(u'"') && caption.endsWith(u'"'))
        return caption;
    return u'"' + caption + u'"';
}

} // namespace

TFormNummernKreis::TFormNummernKreis(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormNummernKreis"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poScreenCenter);
    setWindowTitle(QStringLiteral("Nummernkreisauswahl"));
    resize(560, 430);

    auto* box = new QVBoxLayout(this);
    lbAdminHint = Vcl::Owned(this, new QLabel(this), QStringLiteral("lbAdminHint"));
    lbAdminHint->setVisible(false);
    lbAdminHint->setToolTip(QStringLiteral("Aufrufparameter (nur für Administratoren)"));
    lbAdminHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbHint = Vcl::Owned(this, new QLabel(this), QStringLiteral("lbHint"));
    lbHint->setWordWrap(true);
    lbHint->setToolTip(QStringLiteral("Was in diesem Dialog gewählt wird"));
    lbCaption = Vcl::Owned(this, new QLabel(this), QStringLiteral("lbCaption"));
    lbCaption->setText(makeText(17532, QStringLiteral("Nummernkreisauswahl")));
    lbCaption->setToolTip(lbCaption->text());
    sqlNumCircles = Vcl::Owned(this, new TNummernKreis(this), QStringLiteral("sqlNumCircles"));
    NumCirclesCX = Vcl::Owned(this, new TVoskDBGrid2(this), QStringLiteral("NumCirclesCX"));
    NumCirclesCX->setEditTriggers(QAbstractItemView::NoEditTriggers);
    NumCirclesCX->setSelectionBehavior(QAbstractItemView::SelectRows);
    NumCirclesCX->setSelectionMode(QAbstractItemView::SingleSelection);
    NumCirclesCX->setItemDelegate(new GreenRowDelegate(this));
    NumCirclesCX->SetHiddenFields({QStringLiteral("dbrid"), QStringLiteral("nc_ident"),
                                   QStringLiteral("nc_modulname"), QStringLiteral("nc_active"),
                                   QStringLiteral("nc_default")});
    NumCirclesCX->horizontalHeader()->setStretchLastSection(true);
    NumCirclesCX->setToolTip(QStringLiteral("Die Nummernkreise des Moduls mit ihrer nächsten "
                                            "Nummer; Tippen sucht in der Spalte"));
    NumCirclesCX->setAccessibleName(QStringLiteral("Nummernkreise"));
    NumCirclesCX->SetDataClass(sqlNumCircles);
    lbCaption->setBuddy(NumCirclesCX);
    edNumber = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("edNumber"));
    edNumber->setFixedHeight(25);
    QFont f = edNumber->font();
    f.setPointSize(12);
    edNumber->setFont(f);
    edNumber->setAccessibleName(QStringLiteral("Nummer"));
    edNumber->setToolTip(QStringLiteral("Die Nummer, die übernommen wird; eine eigene Nummer "
                                        "kann hier eingetragen werden"));
    edNumber->setAutoFillBackground(true);

    auto* buttons = new QHBoxLayout;
    btHelp = Vcl::Owned(this, new QToolButton(this), QStringLiteral("btHelp"));
    btHelp->setIcon(QIcon::fromTheme(QStringLiteral("help-contextual"),
                                     QIcon::fromTheme(QStringLiteral("help-about"))));
    btHelp->setCursor(Qt::WhatsThisCursor);
    btHelp->setToolTip(kHelp);
    btHelp->setAccessibleName(QStringLiteral("Tastenbelegung anzeigen"));
    btOK = Vcl::Owned(this, new QPushButton(makeText(4769, QStringLiteral("&OK")), this),
                      QStringLiteral("btOK"));
    btOK->setDefault(true);
    btOK->setToolTip(QStringLiteral("Die Nummer übernehmen"));
    btCancel = Vcl::Owned(this,
                          new QPushButton(makeText(5218, QStringLiteral("&Abbrechen")), this),
                          QStringLiteral("btCancel"));
    btCancel->setToolTip(QStringLiteral("Ohne Nummer schließen"));
    for (QPushButton* b : {btOK, btCancel})
        b->setAccessibleName(Korvexcommonvcl::PlainCaption(b->text()));
    buttons->addWidget(btHelp);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);

    box->addWidget(lbAdminHint);
    box->addWidget(lbHint);
    box->addWidget(lbCaption);
    box->addWidget(NumCirclesCX, 1);
    box->addWidget(edNumber);
    box->addLayout(buttons);

    connect(edNumber, &QLineEdit::textChanged, this, [this] { edNumberChange(); });
    connect(sqlNumCircles, &TVoskClass::CurrentChanged, this, [this] { NumCirclesScroll(); });
    connect(NumCirclesCX, &QAbstractItemView::doubleClicked, this,
            [this] { Rtl::Guarded([this] { NumCirclesDblClick(); }, this); });
    connect(btOK, &QPushButton::clicked, this, [this] { Rtl::Guarded([this] { btOKClick(); }, this); });
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });
    connect(btHelp, &QToolButton::clicked, this, [this] { Rtl::Guarded([this] { btHelpClick(); }, this); });
    // The form sees the keys of its controls first.
    for (QWidget* w : {static_cast<QWidget*>(NumCirclesCX), static_cast<QWidget*>(edNumber),
                       static_cast<QWidget*>(btOK), static_cast<QWidget*>(btCancel)})
        w->installEventFilter(this);
}

// ---- list ----------------------------------------------------------------------------------

bool TFormNummernKreis::locateManualRow() {
    const int col = sqlNumCircles->FieldIndex(QStringLiteral("dbrid"));
    for (int r = 0; col >= 0 && r < sqlNumCircles->RecordCount(); ++r)
        if (sqlNumCircles->Value(r, col).isNull()) {
            sqlNumCircles->SetRecNo(r + 1);
            return true;
        }
    return false;
}

bool TFormNummernKreis::locateIdent(const QString& ident) {
    const int col = sqlNumCircles->FieldIndex(QStringLiteral("nc_ident"));
    for (int r = 0; col >= 0 && r < sqlNumCircles->RecordCount(); ++r)
        if (sqlNumCircles->Value(r, col).toString().compare(ident, Qt::CaseInsensitive) == 0) {
            sqlNumCircles->SetRecNo(r + 1);
            return true;
        }
    return false;
}

bool TFormNummernKreis::locateDefault() {
    const int col = sqlNumCircles->FieldIndex(QStringLiteral("nc_default"));
    for (int r = 0; col >= 0 && r < sqlNumCircles->RecordCount(); ++r)
        if (sqlNumCircles->Value(r, col).toBool()) {
            sqlNumCircles->SetRecNo(r + 1);
            return true;
        }
    return false;
}

bool TFormNummernKreis::SelectDefault() {
    if (!sqlNumCircles->HasRecord())
        return false;
    sqlNumCircles->First();
    bool found = false;
    if (sqlNumCircles->HasManualRow() && !FNotSelectManual)
        found = locateManualRow();
    else if (!FPreSelectedNrKr.isEmpty())
        found = locateIdent(FPreSelectedNrKr);
    if (!found)
        found = locateDefault();
    return found;
}

bool TFormNummernKreis::IsGreenRow(int row) const {
    const int identCol = sqlNumCircles->FieldIndex(QStringLiteral("nc_ident"));
    const int defCol = sqlNumCircles->FieldIndex(QStringLiteral("nc_default"));
    if (row < 0 || row >= sqlNumCircles->RecordCount() || identCol < 0 || defCol < 0)
        return false;
    if (!FPreSelectedNrKr.isEmpty())
        return sqlNumCircles->Value(row, identCol)
                   .toString()
                   .compare(FPreSelectedNrKr, Qt::CaseInsensitive) == 0;
    return sqlNumCircles->Value(row, defCol).toBool();
}

QString TFormNummernKreis::currentPreview() const {
    const int col = sqlNumCircles->FieldIndex(QStringLiteral("nc_preview"));
    if (col < 0 || !sqlNumCircles->HasRecord())
        return {};
    return sqlNumCircles->Value(sqlNumCircles->CurrentRow(), col).toString();
}

void TFormNummernKreis::NumCirclesScroll() {
    if (!sqlNumCircles->HasRecord())
        return;
    edNumber->setText(currentPreview());
    if (edNumber->isEnabled())
        edNumber->selectAll();
}

void TFormNummernKreis::NumCirclesDblClick() {
    NumCirclesScroll();
    btOK->click();
}

// ---- number --------------------------------------------------------------------------------

bool TFormNummernKreis::CheckNumber() const {
    const QString t = edNumber->text().trimmed();
    if (t.isEmpty())
        return false;
    bool isInt = false;
    const qlonglong n = t.toLongLong(&isInt);
    return !isInt || n != 0;
}

void TFormNummernKreis::edNumberChange() {
    const bool valid = CheckNumber();
    btOK->setEnabled(valid);
    QPalette p = edNumber->palette();
    if (!valid)
        p.setColor(QPalette::Base, ColorInvalid);
    else if (sqlNumCircles->HasRecord() && edNumber->text() == currentPreview())
        p.setColor(QPalette::Base, QApplication::palette(edNumber).color(QPalette::Base));
    else
        p.setColor(QPalette::Base, ColorTyped);
    edNumber->setPalette(p);
}

void TFormNummernKreis::btOKClick() {
    if (!btOK->isEnabled())
        return;
    if (!CheckNumber())
        Korvexutils::RaiseCriticalError(makeText(1235, QStringLiteral("Eingabe ungültig")));
    if (sqlNumCircles->HasRecord() && !sqlNumCircles->IsManualRow() &&
        edNumber->text() == currentPreview()) {
        const QString shown = edNumber->text();
        const QString ident = sqlNumCircles->Ident();
        const QString drawn = sqlNumCircles->SelectNrKr(ident);
        if (drawn.isEmpty())
            // The range was switched off or removed while the dialog was open.
            Korvexutils::RaiseCriticalError(
                QStringLiteral("Der Nummernkreis \"%1\" ist nicht mehr aktiv.").arg(ident));
        edNumber->setText(drawn);
        if (drawn != shown)
            Korvexutils::RaiseInformation(FillPlaceholders(
                makeText(17533, QStringLiteral("Die gewählte Nummer \"%s\" war schon vergeben.\n"
                                               "Stattdessen wird \"%s\" verwendet.")),
                {shown, drawn}));
        FLastNrKr = ident;
    }
    FLastNumber = edNumber->text();
    SetModalResult(Vcl::mrOk);
}

void TFormNummernKreis::btHelpClick() { Korvexutils::RaiseInformation(btHelp->toolTip()); }

void TFormNummernKreis::takePreviewAndOk() {
    edNumber->setText(currentPreview());
    btOKClick();
}

bool TFormNummernKreis::FormKeyDown(int Key, Qt::KeyboardModifiers Shift) {
    Q_UNUSED(Shift)
    switch (Key) {
    case Qt::Key_F1:
        btHelpClick();
        return true;
    case Qt::Key_F2:
        MakeF2(this, edNumber, true, false, QString(), QStringList(), QString());
        return true;
    case Qt::Key_F5:
        if (locateManualRow())
            takePreviewAndOk();
        return true;
    case Qt::Key_F9:
        if (!SelectDefault())
            Korvexutils::RaiseInformation(
                makeText(31056, QStringLiteral("Standardnummernkreis nicht vorhanden")));
        else
            takePreviewAndOk();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        btOKClick();
        return true;
    case Qt::Key_Escape:
        btCancel->click();
        return true;
    case Qt::Key_Up:
        if (sqlNumCircles->HasRecord())
            sqlNumCircles->Prior();
        return true;
    case Qt::Key_Down:
        if (sqlNumCircles->HasRecord())
            sqlNumCircles->Next();
        return true;
    default:
        return false;
    }
}

bool TFormNummernKreis::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        bool handled = false;
        Rtl::Guarded([&] { handled = FormKeyDown(k->key(), k->modifiers()); }, this);
        if (handled)
            return true;
    }
    return TVoskBaseForm::eventFilter(watched, e);
}

// ---- class functions -----------------------------------------------------------------------

bool TFormNummernKreis::DoGetNumber(QWidget* OwnerForm, const QString& ModulName,
                                    const QString& NrKrCaption, const QString& PreSelectedNrKr,
                                    const QString& Number, const QString& NumberDesc,
                                    TNKOptions Options, const QStringList& F2Params,
                                    const QStringList& ExcludedNrKr, QString& ResultNr) {
    ResultNr.clear();
    try {
        Korvexutils::WaitBeforeNextInput(true);
        const auto release = [](TFormNummernKreis* f) {
            f->PrepareDestruction();
            delete f;
        };
        std::unique_ptr<TFormNummernKreis, decltype(release)> form(
            new TFormNummernKreis(OwnerForm), release);
        if (TDM1* dm = DM1(); dm && dm->IsAdmin()) {
            const QString x =
                (Options.Contains(nkoExcludeIsInclude) ? QStringLiteral("NOT ") : QString()) +
                ExcludedNrKr.join(u',');
            form->lbAdminHint->setText(
                QStringLiteral("Modul=%1  PreSelect=%2  ManNumber=%3  Exclude=%4")
                    .arg(ModulName, PreSelectedNrKr, Number, x));
            form->lbAdminHint->setVisible(true);
        }
        if (Options.Contains(nkoDisableUserInput))
            Options.Include(nkoSelectIfOne);
        FLastNrKr.clear();
        // Lookup definitions are keyed per module by the edit's name.
        form->edNumber->setObjectName(QStringLiteral("edNumber_") + ModulName);
        form->edNumber->setEnabled(!Options.Contains(nkoDisableUserInput));
        for (int i = 0; i + 1 < F2Params.size(); i += 2) {
            auto* e = Vcl::Owned(form.get(), new TVoskEdit(form.get()), F2Params.at(i));
            e->setText(F2Params.at(i + 1));
            e->setVisible(false);
        }
        const bool isInclude = Options.Contains(nkoExcludeIsInclude);
        if (!Number.isEmpty())
            form->sqlNumCircles->SearchByModule_AddDefault(ModulName, Number, NumberDesc,
                                                           ExcludedNrKr, isInclude);
        else
            form->sqlNumCircles->SearchByModule(ModulName, ExcludedNrKr, isInclude);
        form->FPreSelectedNrKr = PreSelectedNrKr;
        form->FNotSelectManual = Options.Contains(nkoInternal_NotSelectManual);
        if (!form->FPreSelectedNrKr.isEmpty()) {
            const int col = form->sqlNumCircles->FieldIndex(QStringLiteral("nc_ident"));
            bool listed = false;
            for (int r = 0; col >= 0 && r < form->sqlNumCircles->RecordCount() && !listed; ++r)
                listed = form->sqlNumCircles->Value(r, col).toString().compare(
                             PreSelectedNrKr, Qt::CaseInsensitive) == 0;
            if (!listed)
                form->FPreSelectedNrKr.clear();
        }
        const bool found = form->SelectDefault();
        if (OwnerForm)
            form->setParent(OwnerForm, form->windowFlags());

        form->setWindowTitle(makeText(17532, QStringLiteral("Nummernkreisauswahl")) +
                             QStringLiteral(": ") + Quoted(NrKrCaption));
        form->lbCaption->setProperty("TextNr", 0);
        QString hint = makeText(17531, QStringLiteral("Bitte wählen Sie die #####."))
                           .replace(QLatin1String("#####"), NrKrCaption);
        if (found)
            hint += u' ' + makeText(31057, QStringLiteral("Die Standardvorgabe ist grün markiert."
                                                          "\nMit F9 bestätigen Sie die "
                                                          "Standardvorgabe sofort."));
        hint += u'\n' + makeText(31058, QStringLiteral("Über die Liste kann ein anderer "
                                                       "Nummernkreis gewählt werden."));
        if (form->edNumber->isEnabled())
            hint += u' ' + makeText(31059, QStringLiteral("Die manuelle Eingabe einer "
                                                          "abweichenden Nummer ist im unteren "
                                                          "Feld möglich."));
        form->lbHint->setText(hint);

        TNummernKreis* list = form->sqlNumCircles;
        if (Options.Contains(nkoInternal_WithoutDialog) ||
            (Options.Contains(nkoSelectIfOne) && list->RecordCount() == 1)) {
            // An empty list has nothing to draw from; the manual row is its own number.
            if (!list->HasRecord())
                ResultNr.clear();
            else if (list->IsManualRow())
                ResultNr = list->Preview();
            else
                ResultNr = list->SelectNrKr(list->Ident());
        } else {
            delete new TTranslationCombo(form.get());
            UGrundModulForm::StartVoskComponent(form.get(), nullptr, false);
            // The start-up gives the grid its lookup delegate; the list is read-only and paints
            // its default row itself.
            form->NumCirclesCX->setItemDelegate(new GreenRowDelegate(form.get()));
            form->NumCirclesScroll();
            form->edNumberChange();
            if (Korvexcommonvcl::ShowModal(form.get()) == Vcl::mrOk)
                ResultNr = form->edNumber->text();
        }
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              QStringLiteral("TFormNummernKreis.DoGetNumber: "));
        throw;
    }
    return !ResultNr.isEmpty();
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& Number, const QString& NumberDesc,
                                     TNKOptions Options) {
    return GetNumber(ModulName, NrKrCaption, QString(), Number, NumberDesc, Options, {}, {});
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& Number, const QString& NumberDesc,
                                     TNKOptions Options, const QStringList& F2Params,
                                     const QStringList& ExcludedNrKr) {
    return GetNumber(ModulName, NrKrCaption, QString(), Number, NumberDesc, Options, F2Params,
                     ExcludedNrKr);
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& PreSelectedNrKr, TNKOptions Options) {
    return GetNumber(ModulName, NrKrCaption, PreSelectedNrKr, QString(), QString(), Options, {},
                     {});
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& PreSelectedNrKr, TNKOptions Options,
                                     const QStringList& F2Params,
                                     const QStringList& ExcludedNrKr) {
    return GetNumber(ModulName, NrKrCaption, PreSelectedNrKr, QString(), QString(), Options,
                     F2Params, ExcludedNrKr);
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& PreSelectedNrKr, const QString& Number,
                                     const QString& NumberDesc, TNKOptions Options) {
    return GetNumber(ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc, Options, {}, {});
}

QString TFormNummernKreis::GetNumber(const QString& ModulName, const QString& NrKrCaption,
                                     const QString& PreSelectedNrKr, const QString& Number,
                                     const QString& NumberDesc, TNKOptions Options,
                                     const QStringList& F2Params,
                                     const QStringList& ExcludedNrKr) {
    QString result;
    DoGetNumber(nullptr, ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc,
                Options.Public(), F2Params, ExcludedNrKr, result);
    return result;
}

QString TFormNummernKreis::GetNumberDirect(const QString& ModulName, const QString& NrKrCaption,
                                           const QString& PreSelectedNrKr) {
    QString result;
    DoGetNumber(nullptr, ModulName, NrKrCaption, PreSelectedNrKr, QString(), QString(),
                TNKOptions{nkoInternal_WithoutDialog}, {}, {}, result);
    return result;
}

QString TFormNummernKreis::GetNumberSelNrKr(const QString& ModulName, const QString& NrKrCaption,
                                            const QString& PreSelectedNrKr, const QString& Number,
                                            const QString& NumberDesc, TNKOptions Options) {
    return GetNumberSelNrKr(ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc, Options,
                            {}, {});
}

QString TFormNummernKreis::GetNumberSelNrKr(const QString& ModulName, const QString& NrKrCaption,
                                            const QString& PreSelectedNrKr, const QString& Number,
                                            const QString& NumberDesc, TNKOptions Options,
                                            const QStringList& F2Params,
                                            const QStringList& ExcludedNrKr) {
    QString result;
    DoGetNumber(nullptr, ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc,
                Options.Public().Include(nkoInternal_NotSelectManual), F2Params, ExcludedNrKr,
                result);
    return result;
}

bool TFormNummernKreis::SetNumber(QWidget* EditControl, const QString& ModulName,
                                  const QString& NrKrCaption, TNKOptions Options) {
    return SetNumber(EditControl, ModulName, NrKrCaption, QString(), QString(), QString(), Options,
                     {});
}

bool TFormNummernKreis::SetNumber(QWidget* EditControl, const QString& ModulName,
                                  const QString& NrKrCaption, const QString& PreSelectedNrKr,
                                  const QString& Number, const QString& NumberDesc,
                                  TNKOptions Options) {
    return SetNumber(EditControl, ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc,
                     Options, {});
}

bool TFormNummernKreis::SetNumber(QWidget* EditControl, const QString& ModulName,
                                  const QString& NrKrCaption, const QString& PreSelectedNrKr,
                                  const QString& Number, const QString& NumberDesc,
                                  TNKOptions Options, const QStringList& ExcludedNrKr) {
    QString result;
    QWidget* owner = EditControl ? Korvexutils::KorvexGetForm(EditControl) : nullptr;
    if (!DoGetNumber(owner, ModulName, NrKrCaption, PreSelectedNrKr, Number, NumberDesc,
                     Options.Public(), {}, ExcludedNrKr, result))
        return false;
    if (!EditControl)
        return false;
    if (EditControl->focusPolicy() != Qt::NoFocus)
        EditControl->setFocus(Qt::OtherFocusReason);
    return Korvexutils::SetControlValue(result, EditControl);
}

namespace {
void FiniUnit() {
    TFormNummernKreis::FLastNrKr.clear();
    TFormNummernKreis::FLastNumber.clear();
}
} // namespace

KORVEX_UNIT("hadrel", "UNummernKreis", [] {}, FiniUnit);
