#include "TFormAbfrage.h"

#include "TVoskClass.h"
#include "UDM1.h"
#include "VoskDatabase.h"
#include "UFrameDataset.h"
#include "UFrameSQLEditor.h"
#include "UVoskSQLMemo.h"
#include "Vcl.Components.h"
#include "Vcl.DB.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSplitter>

namespace {
const char* const kSql = "SELECT name, strasse, plz, ort, telefon, email\n"
                         "FROM adressen\n"
                         "ORDER BY name";

// The rows of the editor's text, read in a read-only transaction that is rolled back: a query
// module shows data, it never changes it, whatever the text says.
class TAbfrageClass final : public TVoskClass2 {
public:
    TAbfrageClass(QObject* parent, TFrameSQLEditor* editor) : TVoskClass2(parent), m_editor(editor) {}
    void Refresh(bool keepPosition, bool silent, int reserved) override {
        ReadOnly([&] { TVoskClass2::Refresh(keepPosition, silent, reserved); });
    }
    void OpenText() {
        ReadOnly([&] { Open(); });
    }

private:
    template <class F> void ReadOnly(F run) {
        SetQuerySql(m_editor->SQLMemo->text());
        TDM1* dm = DM1();
        if (!dm || dm->Database().InTransaction())
            return run(); // inside someone's transaction the rows are read in it
        TVoskDatabase& db = dm->Database();
        db.StartTransaction();
        try {
            db.Exec(QStringLiteral("SET TRANSACTION READ ONLY"));
            run();
        } catch (...) {
            db.Rollback();
            throw;
        }
        db.Rollback();
    }
    TFrameSQLEditor* m_editor;
};
} // namespace

TFormAbfrage::TFormAbfrage(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormAbfrage"));
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterAbfrage"));
    ModulLayout()->addWidget(split, 1);

    FrameSQLEditor =
        Vcl::Owned(this, new TFrameSQLEditor(this, split), QStringLiteral("FrameSQLEditor"));
    FrameSQLEditor->SQLMemo->setText(QString::fromUtf8(kSql));
    split->addWidget(FrameSQLEditor);

    DataAbfrage = Vcl::Owned(this, new TAbfrageClass(this, FrameSQLEditor),
                             QStringLiteral("DataAbfrage"));
    DataAbfrage->SetDescription(QStringLiteral("Abfrage"));
    DataAbfrage->SetReadOnly(true);
    DSAbfrage = Vcl::Owned(this, new Vcl::TDataSource(this), QStringLiteral("DSAbfrage"));
    DSAbfrage->SetDataSet(DataAbfrage);
    FrameDataSet = Vcl::Owned(this, new TFrameDataSet(this, split), QStringLiteral("FrameDataSet"));
    split->addWidget(FrameDataSet);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);

    TopLabel->Toplabel->setText(QStringLiteral("Abfrage"));
    TopLabel->FSetDataSource(DataAbfrage);
}

void TFormAbfrage::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    // A start's own text ("TFormAbfrage:SQL=SELECT ..."); read only like any other.
    if (const QString sql = GetParameterStr(QStringLiteral("SQL")); !sql.isEmpty())
        FrameSQLEditor->SQLMemo->setText(sql);
    static_cast<TAbfrageClass*>(DataAbfrage)->OpenText();
    FrameDataSet->FSetDataSource(DSAbfrage);
    FrameDataSet->SetReadOnly(true);
}

TFormAbfrage* TFormAbfrage::Open(QObject* owner, const QStringList& parameters) {
    return UModulForm::OpenModulForm<TFormAbfrage>(owner, parameters);
}
