#pragma once
// The dialogs of the conditional formatting of a grid or tree list: the list of its rules (new,
// edit, delete, move up and down; the first rule of a column that holds decides) and the editor
// of one rule. Both run through the modal-form service; the view takes the rules only when the
// list is closed with OK.

#include "Q32GrundForm.h"
#include "VoskConditionalFormatting.h"

#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TVoskDBGrid2;
class TVoskDBTreeView2;

// A column the rules may name, with the kind of value its cells hold.
struct TVoskCondFormatColumn {
    QString field;
    QString caption;
    VoskConditionalFormatting::TValueKind kind = VoskConditionalFormatting::TValueKind::Text;
};

class TfrmConditionalFormattingRule final : public TVoskBaseForm {
    Q_OBJECT
public:
    TfrmConditionalFormattingRule(const QList<TVoskCondFormatColumn>& columns,
                                  const TVoskCondFormatRule& rule, QWidget* parent = nullptr);

    // The rule as the fields say.
    TVoskCondFormatRule Rule() const;
    // Checks the values against the column; a German message and false when one does not fit.
    bool Validate();

    QComboBox* cbField;
    QComboBox* cbOperator;
    QLineEdit* edValue1;
    QLabel* lbValue2;
    QLineEdit* edValue2;
    QPushButton* btBackground;
    QPushButton* btBackgroundNone;
    QPushButton* btTextColor;
    QPushButton* btTextColorNone;
    QCheckBox* cbBold;
    QLabel* lbPreview;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    void updateState();
    void chooseColor(QColor& color);

    QList<TVoskCondFormatColumn> m_columns;
    QColor m_background;
    QColor m_textColor;
};

class TfrmConditionalFormatting final : public TVoskBaseForm {
    Q_OBJECT
public:
    TfrmConditionalFormatting(const QList<TVoskCondFormatColumn>& columns,
                              const QList<TVoskCondFormatRule>& rules, QWidget* parent = nullptr);

    const QList<TVoskCondFormatRule>& Rules() const { return m_rules; }
    // The row of the list selected, -1 none.
    int Current() const;
    void SetCurrent(int row);

    void btAddClick();
    void btEditClick();
    void btDeleteClick();
    void MoveRule(int by);

    // Shows the rules of the grid or tree list and hands it the changed ones on OK; true then.
    static bool Execute(TVoskDBGrid2* grid);
    static bool Execute(TVoskDBTreeView2* tree);
    // The columns of a grid or tree list the rules may name: the shown ones in view order, then
    // the fields of rules on hidden columns.
    static QList<TVoskCondFormatColumn> ColumnsOf(TVoskDBGrid2* grid);
    static QList<TVoskCondFormatColumn> ColumnsOf(TVoskDBTreeView2* tree);

    QTreeWidget* lvRules;
    QPushButton* btAdd;
    QPushButton* btEdit;
    QPushButton* btDelete;
    QPushButton* btUp;
    QPushButton* btDown;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    void fill(int current);
    void updateButtons();
    QString captionOf(const QString& field) const;

    QList<TVoskCondFormatColumn> m_columns;
    QList<TVoskCondFormatRule> m_rules;
};
