#include "TFormStandardSql.h"

#include "EventGuard.h"
#include "TVoskClass.h"
#include "TVoskDBGrid2.h"
#include "UVoskSQLMemo.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"

#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

TFormStandardSql::TFormStandardSql(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormStandardSql"));
    setWindowTitle(QStringLiteral("Standard-SQL"));
    DataStandardSql = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataStandardSql"));
    DataStandardSql->SetSqlTable(QStringLiteral("standardsql"));
    DataStandardSql->SetKeyFieldName(QStringLiteral("ss_key"));
    DataStandardSql->SetDescription(QStringLiteral("Standard-SQL"));
    DataStandardSql->SetQuerySql(QStringLiteral("SELECT * FROM standardsql ORDER BY ss_key"));

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    MainMenu->setAccessibleName(QStringLiteral("Menü SQL"));
    MainMenu->setNativeMenuBar(false);
    QMenu* sql = MainMenu->addMenu(QStringLiteral("&SQL"));
    sql->setToolTipsVisible(true);
    const auto item = [&](const QString& caption, const QString& tip, const QKeySequence& key,
                          void (TFormStandardSql::*slot)()) {
        QAction* a = sql->addAction(caption);
        a->setToolTip(tip);
        a->setShortcut(key);
        connect(a, &QAction::triggered, this,
                [this, slot] { Rtl::Guarded([&] { (this->*slot)(); }, this); });
    };
    item(QStringLiteral("Syntaxprüfung"), QStringLiteral("Das SQL prüfen, ohne es auszuführen"),
         QKeySequence(Qt::CTRL | Qt::Key_F9), &TFormStandardSql::miSyntaxClick);
    item(QStringLiteral("Sprachtext einfügen"),
         QStringLiteral("Einen Sprachtext aus der Suche einfügen"),
         QKeySequence(Qt::CTRL | Qt::Key_L), &TFormStandardSql::miLangTextClick);
    item(QStringLiteral("Tabellenfeld einfügen"),
         QStringLiteral("Felder einer Tabelle aus der Suche einfügen"),
         QKeySequence(Qt::CTRL | Qt::Key_T), &TFormStandardSql::miTableFieldClick);
    ModulLayout()->insertWidget(0, MainMenu);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("SplitterSql"));
    ModulLayout()->addWidget(split, 1);
    GridKeys = Vcl::Owned(this, new TVoskDBGrid2(split), QStringLiteral("GridKeys"));
    GridKeys->SetDataClass(DataStandardSql);
    GridKeys->setAccessibleName(QStringLiteral("Schlüssel"));
    GridKeys->setToolTip(QStringLiteral("Die gespeicherten SQL-Texte"));
    split->addWidget(GridKeys);

    auto* panel = new QWidget(split);
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("&SQL:"), panel);
    MemoSql = Vcl::Owned(this, new TVoskDBSQLMemo(panel), QStringLiteral("MemoSql"));
    label->setBuddy(MemoSql);
    MemoSql->setAccessibleName(QStringLiteral("SQL"));
    MemoSql->SetDataSource(DataStandardSql);
    MemoSql->SetDataField(QStringLiteral("ss_sql"));
    box->addWidget(label);
    box->addWidget(MemoSql, 1);
    split->addWidget(panel);
    split->setStretchFactor(1, 3);

    TopLabel->Toplabel->setText(QStringLiteral("Standard-SQL"));
    TopLabel->SetBtInsert(true);
    TopLabel->FSetDataSource(DataStandardSql);
    TopLabel->SetVoskDBGrid(GridKeys);
}

void TFormStandardSql::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    DataStandardSql->Open();
    MemoSql->SetFeatures(smfInternHighlighter | smfInternAutoComplete | smfInternCodeInsight);
    // The user starts in the SQL, behind its end, once the window is on screen.
    Vcl::QueueCall(this, [this] {
        MemoSql->setFocus();
        MemoSql->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    });
    MemoSql->SetCStrings({QStringLiteral("ss_key=Schlüssel des SQL-Textes"),
                          QStringLiteral("ss_sql=SQL-Text"),
                          QStringLiteral("ss_descr=Beschreibung")});
}

void TFormStandardSql::miSyntaxClick() {
    MemoSql->CheckSQL();
}
void TFormStandardSql::miLangTextClick() {
    MemoSql->InsertLangText();
}
void TFormStandardSql::miTableFieldClick() {
    MemoSql->InsertTableField();
}

TFormStandardSql* TFormStandardSql::Open(QObject* owner, const QStringList& parameters) {
    return UModulForm::OpenModulForm<TFormStandardSql>(owner, parameters);
}
