// The header's tools popup (F3): the record's notes and properties, the special functions of the
// data class the user works in, and the module's own entries.

#include "TopLabel.h"

#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TSondFunc.h"

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

// The special functions of a table offered on a form class, in their order.
QList<TSondFuncRow> AssignToSqlTable(TSondFunc& sf, const QString& table, const QString& formClass) {
    sf.AssignToSqlTable(table, formClass);
    QList<TSondFuncRow> rows;
    for (int r = 0; r < sf.RecordCount(); ++r) {
        sf.SetRecNo(r + 1);
        TSondFuncRow row;
        row.id = sf.Id();
        row.txtNr = sf.TxtNr();
        row.imageIndex = sf.ImageIndex();
        row.cond = sf.Cond();
        row.emptyAllowed = sf.EmptyAllowed();
        rows << row;
    }
    sf.Close();
    return rows;
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
                Rtl::Guarded(
                    [&] {
                        if (ShowHistorieProc)
                            ShowHistorieProc(this, item);
                        else
                            ShowHistorie(item);
                    },
                    this);
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
        if (!SondFunc1)
            SondFunc1 = new TSondFunc(this);
        const QList<TSondFuncRow> rows = table.isEmpty()
                                             ? QList<TSondFuncRow>()
                                             : AssignToSqlTable(*SondFunc1, table, formClass);
        for (const TSondFuncRow& row : rows) {
            bool offered = row.emptyAllowed || c->HasRecord();
            if (offered && !row.cond.trimmed().isEmpty()) {
                try {
                    if (!SqlCheckCond)
                        SqlCheckCond = std::make_unique<TVoskQuery2>();
                    SqlCheckCond->SetSQL(QStringLiteral("SELECT ") + row.cond);
                    const QStringList values = Korvexutils::FillQueryParamsWithFormValues(
                        *SqlCheckCond, form, QStringLiteral("OwnerForm"));
                    if (TKorvexLog::Enabled(3))
                        TKorvexLog::LogMessage(
                            QStringLiteral("FillQueryParamsWithFormValues "
                                           "TTopLabelFrame.BtToolsClick (SondFuncCheck):\n") +
                                QStringLiteral("[Dest] ") + Vcl::FullName(this) +
                                QStringLiteral(".SqlCheckCond\nOwnerForm: ") +
                                (form ? Vcl::FullName(form) : QStringLiteral("nil")) +
                                QStringLiteral("\n=") + values.join(QStringLiteral(", ")),
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
            item->SetDataValue(row.id);
            item->SetModulLinkLook(true);
            connect(item, &QAction::triggered, this, [this, item] {
                Rtl::Guarded(
                    [&] {
                        if (SondFuncClickProc)
                            SondFuncClickProc(this, item);
                        else
                            SondFuncClick(item);
                    },
                    this);
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
    if (ShowControlWindowProc) {
        ShowControlWindowProc(c);
        return;
    }
    TQ32Control* control = TQ32Control::Of(c);
    if (!control)
        throw EVoskException(makeText(
            26761, QStringLiteral("Das Bearbeiten der Sonderfunktionen ist nicht verfügbar.")));
    control->ShowControlWindow();
}
