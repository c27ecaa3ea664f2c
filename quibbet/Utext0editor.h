#pragma once
// The translation texts of table text0 inside the IDE: the picker and editor TFormText0Editor,
// and the designer's editors that open it (text numbers, hints, action captions) or give every
// component the verbs "VoskConnect" and "VoskText0".

#include "DesignEditors.h"
#include "Q32GrundForm.h"

#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class QAction;
class TServSQL2;
class TVoskClass;
class TVoskDatabase;
class TVoskDBNavigator;
class TText0FilterModel;
class TNumCircleModel;
class TVoskDataModel;

class TFormText0Editor final : public TVoskBaseForm {
    Q_OBJECT
public:
    // db: the connection of the three datasets; null: DM1's.
    explicit TFormText0Editor(QObject* owner = nullptr, TVoskDatabase* db = nullptr);
    ~TFormText0Editor() override;

    // Moves the text list to number n or the nearest lower existing number within 100; n < 1
    // takes the number edit. Whether one was found.
    bool SelectLastNr(int n);
    // The current row as "nr, 'text'" for the clipboard.
    QString GetCurrentTextNrStr();
    static QString TextNrStr(const QString& nr, const QString& text);
    // "Übersetzung (Text0 > DATABASE)" with DM1's database name.
    void RenewCaption();
    // Opens the text list (the openers' load).
    void LoadText0();

    int FAutoTextNr = -1;
    int FSavedTextNr = 0;
    bool FReloadNumCircle = true;
    bool FDoNotSaveLastNr = false;

    QLineEdit* edFilter;
    QComboBox* cbTextNrMode;
    QLineEdit* edLastTextNr;
    QPushButton* btSave;
    QPushButton* btClose;
    QPushButton* btDatenbank;
    QPushButton* btUpdate;
    QTabWidget* pcMain;
    QWidget* tsTexte;
    QWidget* tsNumCircles;
    QTableView* grText0;
    TVoskDBNavigator* navText0;
    QTableView* grNumCircles;
    QAction* miAuswaehlen;
    QLineEdit* edAnfang;
    QLineEdit* edEnde;
    TServSQL2* sqlText0;
    TServSQL2* sqlNumCircles;
    TServSQL2* sqlGetNextNr;

    // Handlers, public so that tests run them as the user's actions do.
    void edFilterChange();
    void cbTextNrModeChange();
    void btSaveClick();
    void btDatenbankClick();
    void btUpdateClick();
    void grNumCirclesDblClick();
    void tsNumCirclesShow();
    void grText0CopyToClipboard();

    // The number edit as a number, 0 when it holds none.
    int LastTextNr() const;
    // The filtered grid's rows, and the source row of a grid row.
    int VisibleRowCount() const;

protected:
    void BeforeDestruction() override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void sqlText0BeforeInsert();
    void sqlText0AfterInsert();
    void sqlText0BeforeEdit();
    void sqlText0AfterEdit();
    void sqlText0BeforePost();
    void sqlText0BeforePostLocked();
    void sqlText0AfterPost();
    void sqlText0BeforeDelete();
    void sqlText0AfterDelete();
    // next_free_nr (null: none) and next_group_mark for TextNr := start.
    void GetNextNr(int start, QVariant& nextFree, QVariant& groupMark);
    void WarnRangeEnd();
    void LoadLastNr();
    void SaveLastNr();
    void followClass();
    void followGrid();
    void focusColumn(const QString& field);
    TVoskDatabase& Db() const;

    TVoskDatabase* m_db;
    TVoskDataModel* m_textModel = nullptr;
    TText0FilterModel* m_filterModel = nullptr;
    TVoskDataModel* m_rangeModel = nullptr;
    TNumCircleModel* m_rangeView = nullptr;
    bool m_syncing = false;
    bool m_warnRangeEnd = false;
};

namespace Utext0editor {

// A new picker as the designer opens it: no owner, the database name in its caption, the IDE's
// main window as parent, its text list open.
std::unique_ptr<TFormText0Editor> NewText0Editor();

// Text numbers: "nr: text" shown, a dialog to pick one.
class TText0Property : public DesignIntf::TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    QString GetValue() override;
    void SetValue(const QString& value) override;
    void Edit() override;
};

// Hints as text references "xtt" + number.
class THintProperty : public DesignIntf::TStringProperty {
public:
    using TStringProperty::TStringProperty;
    DesignIntf::TPropertyAttributes GetAttributes() override;
    void Edit() override;
};

// Captions of actions: always a text reference.
class TXttProperty final : public THintProperty {
public:
    using THintProperty::THintProperty;
};

// Every component: the connection settings and the text picker.
class TText0Link : public DesignIntf::TDefaultEditor {
public:
    using TDefaultEditor::TDefaultEditor;
    int GetVerbCount() override { return 2; }
    QString GetVerb(int index) override;
    void ExecuteVerb(int index) override;
};

// Menu items: also "Create Item".
class TVoskMenuItemLink final : public TText0Link {
public:
    using TText0Link::TText0Link;
    int GetVerbCount() override { return 3; }
    QString GetVerb(int index) override;
    void ExecuteVerb(int index) override;
};

// Registers rows 1-9 of the editor table, in its order.
void RegisterTextEditors();

} // namespace Utext0editor
