// The navigation frame's special functions: its caption-bar buttons, the tools button, and the
// start-up and admin-state steps the base form runs for every frame.

#include "FrameDBNavigate.h"

#include "DMSys.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TVoskDBGrid2.h"
#include "TVoskMainMenuSql.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Vcl.Components.h"
#include "VoskControls.h"

#include <EventGuard.h>

#include <QHBoxLayout>

namespace {

const char* const kSondFuncButton = "SondFuncButton";

// The module form's header: the frame's special functions and tools run there.
TTopLabelFrame* ModulHeader(const QWidget* frame) {
    for (QObject* o = Vcl::Owner(frame); o; o = Vcl::Owner(o))
        if (auto* form = qobject_cast<Vcl::TForm*>(o)) {
            if (auto* header = qobject_cast<TTopLabelFrame*>(
                    Vcl::FindComponent(form, QStringLiteral("TopLabel"))))
                return header;
            const auto all = Vcl::ComponentsOf<TTopLabelFrame>(form);
            return all.isEmpty() ? nullptr : all.first();
        }
    return nullptr;
}

struct TFrameDBNavStartSteps {
    TFrameDBNavStartSteps() {
        UGrundModulForm::RegisterStartStep(QStringLiteral("TFrameDBNav"), [](QObject* c) {
            if (auto* frame = qobject_cast<TFrameDBNav*>(c)) {
                frame->LoadGridSettings();
                frame->LoadSondFuncs();
            }
        });
        UGrundModulForm::AdminStateStep() = [](QObject* c) {
            if (auto* frame = qobject_cast<TFrameDBNav*>(c)) {
                frame->LoadAutoRefreshSettings();
                frame->LoadGridFilterSettings();
            }
        };
    }
} frameDBNavStartSteps;

} // namespace

QList<TVoskButton2*> TFrameDBNav::SondFuncButtons() const {
    QList<TVoskButton2*> result;
    for (TVoskButton2* b : Vcl::ComponentsOf<TVoskButton2>(this))
        if (b->property(kSondFuncButton).toBool())
            result << b;
    return result;
}

void TFrameDBNav::LoadSondFuncs() {
    qDeleteAll(SondFuncButtons());
    // Only a grid whose data class has a control chain names the table.
    TVoskDBGrid2* grid = grid2();
    TVoskClass* data = grid ? grid->DataClass() : nullptr;
    TTopLabelFrame* header = ModulHeader(this);
    const QString table =
        data && TQ32Control::Of(data) && header ? header->GetAlternativeTableName(data) : QString();
    TDM1* dm = DM1();
    bool any = false;
    if (!table.isEmpty() && dm && dm->Connected()) {
        TVoskQuery2* q = dm->GetQueryBySQL(
            QStringLiteral("SELECT dbrid, sf_hinttxtnr, sf_txtnr, sf_imageIndex, sf_menuButton "
                           "FROM sondfunc WHERE sf_SqlTable=:table"),
            {{QStringLiteral("table"), table}});
        auto* row = qobject_cast<QHBoxLayout*>(pnlTopButtons->layout());
        int at = row ? row->indexOf(BtTools) + 1 : -1;
        for (q->First(); !q->Eof(); q->Next()) {
            any = true;
            if (!q->FieldByName(QStringLiteral("sf_menuButton")).AsBoolean())
                continue;
            const qint64 id = q->FieldByName(QStringLiteral("dbrid")).AsLargeInt();
            const int txtNr = q->FieldByName(QStringLiteral("sf_txtnr")).AsInteger();
            const int hintNr = q->FieldByName(QStringLiteral("sf_hinttxtnr")).AsInteger();
            const int image = q->FieldByName(QStringLiteral("sf_imageIndex")).AsInteger();
            const QString caption = makeText(txtNr, QStringLiteral("Sonderfunktion"));
            const QString hint = hintNr ? makeText(hintNr, caption) : caption;
            auto* b = Vcl::Owned(this, new TVoskButton2(pnlTopButtons),
                                 QStringLiteral("SondFunc%1").arg(id));
            b->setProperty(kSondFuncButton, true);
            b->setFocusPolicy(Qt::NoFocus);
            b->SetDataValue(id);
            b->setToolTip(hint);
            b->setAccessibleName(caption);
            const QIcon icon = image > 0 ? DMSys()->ImageListHot()->Icon(image) : QIcon();
            if (!icon.isNull()) {
                b->setIcon(icon);
                b->setFixedWidth(qMax(BtTools->sizeHint().width(), b->sizeHint().width()));
            } else {
                b->setText(caption);
            }
            connect(b, &QToolButton::clicked, this,
                    [this, b] { Rtl::Guarded([&] { SondFuncClick(b); }); });
            if (row)
                row->insertWidget(at++, b);
            b->setVisible(true);
        }
    }
    BtTools->setVisible(any || (data && CurrentRights().GetIsAdmin()));
}

void TFrameDBNav::SondFuncClick(QObject* sender) {
    TTopLabelFrame* header = ModulHeader(this);
    if (!header)
        Korvexutils::RaiseError(
            QStringLiteral("Sonderfunktionen gibt es nur in einem Modulfenster."));
    header->SondFuncClick(sender);
}
