#pragma once
// The editor of the special functions (Sondfunktionen) of one SQL table: a grid over the rows of
// sondfunc with a navigation frame. A saved row reloads the cache the module windows read their
// special functions from, so that they show the change at once.

#include "Q32GrundForm.h"

#include <QPointer>

class QPlainTextEdit;
class TFrameDBNav;
class TSondFunc;
class TVoskDBGrid2;
class TVoskMenuItem;
class TVoskPopupMenu;

class TFormSondFunc final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TFormSondFunc(QObject* owner = nullptr);

    TFrameDBNav* FrameDBNav1;
    TVoskDBGrid2* gridSondFuncCX;
    QPlainTextEdit* PreviewRow; // the current row's SQL, below the grid
    TSondFunc* SondFunc1;
    TVoskPopupMenu* pmSondFunc;
    TVoskMenuItem* miAEnderLogbuch;
    TVoskMenuItem* miShowRTF;
    QObject* sf_stamp; // the change-log column the lookup is opened on

    // Shows the form on the special functions of table (every form class).
    void AssignToSqlTable(const QString& table);
    // The columns as the editor shows them, left to right.
    static QStringList ColumnOrder();

    void SondFunc1AfterPost();
    void miAEnderLogbuchClick();
    // Opens the form designer on the current row's report; without the designer, its window or
    // its report list: "Formulardesigner nicht verfügbar."
    void miShowRTFClick();
    // Edits sf_config of the current row in the memo editor.
    void EditConfig();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void arrangeColumns();
    void showPreview();
};
