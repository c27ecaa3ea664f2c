// The header's tools popup (F3): the record's notes and properties, the special functions of the
// data class the user works in, and the module's own entries.

#include "TopLabel.h"

#include "DMSys.h"
#include "TUserRights.h"
#include "TVoskClass.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Vcl.Components.h"
#include "Vcl.Hourglass.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

std::function<void(TTopLabelFrame*, QObject*)> TTopLabelFrame::SondFuncClickProc;
std::function<void(TTopLabelFrame*, QObject*)> TTopLabelFrame::ShowHistorieProc;
std::function<void(TVoskClass*)> TTopLabelFrame::ShowControlWindowProc;

namespace {

struct TSondFuncRow {
    qint64 id = 0;
    int txtNr = 0;
    QVariant imageIndex;
    QString cond;
    bool emptyAllowed = false;
};

// The special functions of a table offered on a form class: those without a form class and those
// whose form class pattern matches, in their order.
QList<TSondFuncRow> AssignToSqlTable(const QString& table, const QString& formClass) {
    TVoskQuery2 q(nullptr,
                  QStringLiteral("SELECT dbrid, sf_txtnr, sf_imageindex, sf_cond, sf_emptyallowed "
                                 "FROM sondfunc WHERE lower(sf_sqltable) = lower(:table) "
                                 "AND (coalesce(sf_formclass, '') = '' "
                                 "OR :formclass ILIKE sf_formclass) "
                                 "ORDER BY sf_nr NULLS LAST, dbrid"));
    q.Bind(QStringLiteral("table"), table);
    q.Bind(QStringLiteral("formclass"), formClass);
    q.Open();
    QList<TSondFuncRow> rows;
    for (; !q.Eof(); q.Next()) {
        TSondFuncRow r;
        r.id = q.FieldByName(QStringLiteral("dbrid")).AsLargeInt();
        r.txtNr = q.FieldByName(QStringLiteral("sf_txtnr")).AsInteger();
        if (!q.FieldByName(QStringLiteral("sf_imageindex")).IsNull())
            r.imageIndex = q.FieldByName(QStringLiteral("sf_imageindex")).AsInteger();
        r.cond = q.FieldByName(QStringLiteral("sf_cond")).AsString();
        r.emptyAllowed = q.FieldByName(QStringLiteral("sf_emptyallowed")).AsBoolean();
        rows << r;
    }
    return rows;
}

// The value a form offers for a parameter name: a named edit's text, a field of one of its data
// classes at the current record, or a start parameter. Null when none matches.
QVariant FormValue(Vcl::TForm* form, const QString& name, QString& source) {
    for (QObject* c : Vcl::Components(form)) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (auto* e = qobject_cast<QLineEdit*>(c)) {
            source = Vcl::FullName(c);
            return e->text();
        }
    }
    for (TVoskClass* d : Vcl::ComponentsOf<TVoskClass>(form)) {
        if (!d->HasRecord() || d->FieldIndex(name) < 0)
            continue;
        source = Vcl::FullName(d) + QLatin1Char('.') + name;
        return d->FieldByName(name).Value();
    }
    if (auto* q32 = qobject_cast<TQ32GrundForm*>(form); q32 && q32->ParameterExists(name)) {
        source = QStringLiteral("Parameter");
        return q32->GetParameterStr(name);
    }
    return {};
}

// An entry whose unit is not loaded says so instead of doing nothing.
void RunSlot(const std::function<void(TTopLabelFrame*, QObject*)>& slot, TTopLabelFrame* frame,
             QObject* sender) {
    if (!slot)
        throw EVoskException(QStringLiteral("Diese Funktion ist in dieser Installation nicht "
                                            "verfügbar: ") +
                             qobject_cast<QAction*>(sender)->text());
    slot(frame, sender);
}

TVoskMenuItem* AddAutoItem(QMenu* menu, const QString& text, int textNr = 0) {
    auto* item = new TVoskMenuItem(text, menu);
    item->SetIsAutoLink(true);
    if (textNr > 0)
        item->SetTextNr(textNr);
    menu->addAction(item);
    return item;
}

void AddAutoSeparator(QMenu* menu) {
    AddAutoItem(menu, QString())->setSeparator(true);
}

} // namespace

void TTopLabelFrame::SetToolsPopup(QMenu* menu) {
    m_toolsPopup = menu;
    if (auto* form = qobject_cast<TFormKorvexGundForm*>(GetParentForm());
        form && Vcl::InheritsFromName(form, QStringLiteral("TModulForm")))
        form->DoAdminState();
}

void TTopLabelFrame::BtToolsClick(QObject* sender) {
    QWidget* anchor = sender ? qobject_cast<QWidget*>(sender) : BtTools;
    if (!anchor)
        anchor = BtTools;
    if (anchor != BtTools && GetCurrentClass() == FDataSource())
        return;
    PopupToolsAnchor = anchor;
    PopupTools->popup(anchor->mapToGlobal(QPoint(0, anchor->height() + 2)));
}

void TTopLabelFrame::BtToolsMouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton)
        BtToolsClick(nullptr);
}

void TTopLabelFrame::PopupToolsPopup() {
    TVoskClass* c = GetCurrentClass();
    TDM1* dm = DM1();
    const bool ctrl = QApplication::keyboardModifiers() & Qt::ControlModifier;
    moBearbeitenSondfunc->setVisible(c && (TUserRights::GetAdmin_User() || ctrl));

    if (c && (_AllowEmptyF3 || c->HasRecord()) && PopupToolsAnchor == BtTools &&
        !GetAlternativeTableName(FDataSource()).isEmpty()) {
        for (int nr : {2260, 2288}) {
            TVoskMenuItem* item = AddAutoItem(PopupTools, QString(), nr);
            if (item->text().isEmpty())
                item->setText(nr == 2260 ? QStringLiteral("Notizen")
                                         : QStringLiteral("Eigenschaften"));
            item->setIcon(DMSys()->ImageList()->Icon(4));
            connect(item, &QAction::triggered, this, [this, item] {
                Rtl::Guarded([&] { RunSlot(ShowHistorieProc, this, item); }, this);
            });
        }
        AddAutoSeparator(PopupTools);
    }

    Vcl::TForm* form = GetParentForm();
    const QString formClass = form ? Vcl::ClassName(form) : QString();
    if (c) {
        const QString table = GetAlternativeTableName(c);
        if (dm)
            dm->LogEventFmt(QStringLiteral("F3/Antenne: Table=%s FormClass=%s DataSource=%s.%s"),
                            {table, formClass, Vcl::ClassName(c), c->objectName()});
        const QList<TSondFuncRow> rows =
            table.isEmpty() ? QList<TSondFuncRow>() : AssignToSqlTable(table, formClass);
        for (const TSondFuncRow& row : rows) {
            bool offered = row.emptyAllowed || c->HasRecord();
            if (offered && !row.cond.trimmed().isEmpty()) {
                try {
                    if (!SqlCheckCond)
                        SqlCheckCond = std::make_unique<TVoskQuery2>();
                    SqlCheckCond->SetSQL(QStringLiteral("SELECT ") + row.cond);
                    QStringList sources, values;
                    for (const QString& name : SqlCheckCond->ParamNames()) {
                        QString source = QStringLiteral("nil");
                        const QVariant v = FormValue(form, name, source);
                        SqlCheckCond->Bind(name, v);
                        sources << name + QStringLiteral("=") + source;
                        values << name + QStringLiteral("=") + v.toString();
                    }
                    if (TKorvexLog::Enabled(3))
                        TKorvexLog::LogMessage(
                            QStringLiteral("FillQueryParamsWithFormValues "
                                           "TTopLabelFrame.BtToolsClick (SondFuncCheck):\n") +
                                QStringLiteral("[Dest] ") + Vcl::FullName(this) +
                                QStringLiteral(".SqlCheckCond\nOwnerForm: ") +
                                sources.join(QStringLiteral(", ")) + QStringLiteral("\n=") +
                                values.join(QStringLiteral(", ")),
                            3);
                    SqlCheckCond->Open();
                    offered = SqlCheckCond->Fields(0).AsBoolean();
                    SqlCheckCond->Close();
                    for (const QString& name : SqlCheckCond->ParamNames())
                        SqlCheckCond->Bind(name, QVariant());
                } catch (const EAbort&) {
                    throw;
                } catch (...) {
                    // A broken condition must not take the popup with it; the function stays.
                    if (SqlCheckCond)
                        SqlCheckCond->Close();
                    if (dm)
                        dm->LogEvent(QStringLiteral("ERROR bei sf_cond (ID %1): ").arg(row.id) +
                                     Rtl::ExceptionMessage(std::current_exception()));
                }
            }
            if (!offered)
                continue;
            TVoskMenuItem* item = AddAutoItem(PopupTools, QString(), row.txtNr);
            if (item->text().isEmpty())
                item->setText(QStringLiteral("Sonderfunktion %1").arg(row.id));
            const int image = row.txtNr == 1034          ? 60
                              : row.imageIndex.isValid() ? row.imageIndex.toInt()
                                                         : -1;
            if (image >= 0) {
                item->setProperty("ImageIndex", image);
                item->setIcon(DMSys()->ImageList()->Icon(image));
            }
            item->setData(row.id);
            item->SetModulLinkLook(true);
            connect(item, &QAction::triggered, this, [this, item] {
                Rtl::Guarded([&] { RunSlot(SondFuncClickProc, this, item); }, this);
            });
        }
    } else if (dm) {
        dm->LogEvent(QStringLiteral("F3/Antenne: no DataSource assigned"));
    }

    if (m_toolsPopup) {
        AddAutoSeparator(PopupTools);
        QMetaObject::invokeMethod(m_toolsPopup, "aboutToShow", Qt::DirectConnection);
        for (QAction* source : m_toolsPopup->actions()) {
            if (!source->isVisible() || source->isSeparator())
                continue;
            auto* src = qobject_cast<TVoskMenuItem*>(source);
            TVoskMenuItem* item = AddAutoItem(PopupTools, source->text());
            if (src && src->TextNr() > 0)
                item->SetTextNr(src->TextNr());
            item->setIcon(source->icon());
            item->setProperty("ImageIndex", source->property("ImageIndex"));
            item->setEnabled(source->isEnabled());
            item->SetModulLinkLook(true);
            QPointer<QAction> target = source;
            connect(item, &QAction::triggered, this, [target] {
                if (target)
                    target->trigger();
            });
        }
    }
}

void TTopLabelFrame::moBearbeitenSondfuncClick() {
    TVoskClass* c = GetCurrentClass();
    TUserRights::AdminCheck(makeText(1007, QStringLiteral("Bearbeiten")));
    Vcl::THourglass hourglass;
    if (!c)
        throw EVoskException(QStringLiteral(
            "TTopLabelFrame.moBearbeitenSondfuncClick: TopLabel._DataSource nicht zugewiesen"));
    if (!ShowControlWindowProc)
        throw EVoskException(makeText(
            26761, QStringLiteral("Das Bearbeiten der Sonderfunktionen ist nicht verfügbar.")));
    ShowControlWindowProc(c);
}
