// The SQL editor package: fills the database layer's EditSql slot with a plain SQL dialog while it
// is loaded.
#include "Korvexcommonvcl.h"
#include "Q32GrundForm.h"
#include "RtlDialog.h"
#include "UnitTable.h"
#include "Vcl.Components.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString editSql(const QString& title, const QString& sql, bool) {
    TVoskBaseForm form;
    form.setObjectName(QStringLiteral("FormEditSql"));
    form.setWindowTitle(title);
    form.resize(720, 480);
    auto* layout = new QVBoxLayout(&form);
    auto* edit = Vcl::Owned(&form, new QPlainTextEdit(sql, &form), QStringLiteral("MemoSql"));
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setAccessibleName(QStringLiteral("SQL"));
    edit->setToolTip(QStringLiteral("SQL-Text"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Übernehmen"));
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("SQL übernehmen"));
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("Übernehmen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("SQL verwerfen"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Abbrechen"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &form,
                     [&form] { form.SetModalResult(Vcl::mrOk); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &form,
                     [&form] { form.SetModalResult(Vcl::mrCancel); });
    layout->addWidget(edit);
    layout->addWidget(buttons);
    return Korvexcommonvcl::ShowModal(&form) == Vcl::mrOk ? edit->toPlainText() : sql;
}

void unitInit() { RtlDialog::FEditSql.Set(&editSql); }
void unitFini() { RtlDialog::FEditSql.Reset(); }

} // namespace

KORVEX_UNIT("ferrisby280", "UEditSql", unitInit, unitFini);

extern "C" Q_DECL_EXPORT void Initialize() { Rtl::Package::Get(QStringLiteral("ferrisby280")).Initialize(); }
extern "C" Q_DECL_EXPORT void Finalize() { Rtl::Package::Get(QStringLiteral("ferrisby280")).Finalize(); }
