#pragma once
// The module libraries of the demo host: the start procedures of its sample modules and the
// procedures the forms package calls by library and procedure name (lookup, edit table, runtime
// form, report and grid printing). Lookup and edit table are small working versions; the report
// procedures only record what they were asked.

#include "UModulForm.Start.h"
#include "VoskGridValues.h"

#include <QListWidget>

#include <QStringList>

#include <vector>

class QHeaderView;
class TVoskQuery2;
class QLabel;
class QLineEdit;

namespace UHostModules {

// Registers everything and sets the main-menu search class; Unregister takes it all back.
void Register();
void Unregister();

// What the report, grid-print and runtime-form procedures were asked, in call order.
struct TRecordedCall {
    QString procedure; // "PrintReport", "PRINTGRID", "ExecuteRTF"
    QString modulName;
    QString r_pos;
    QStringList flags; // "AutoPrint", "NoAfterRTF", "NoPrintPreview", "ShowPrinterSelection" when set
    QStringList params;
    bool withEvent = false;
};
std::vector<TRecordedCall>& RecordedCalls();

} // namespace UHostModules

// The rows of a lookup, one item each, with the row's values by column name. With headers set the
// rows show in columns under them; an item's own text stays the values joined by " | ".
class TF2ResultList final : public QListWidget, public IVoskSelectedRecordValues {
    Q_OBJECT
public:
    explicit TF2ResultList(QWidget* parent = nullptr);
    QStringList ColumnNames;
    // The values of the row shown by item, by column name.
    QVariantMap RowOf(const QListWidgetItem* item) const;
    QStringList GetSelectedRecordValuesStr(const QString& field, int options) const override;

    // Column captions over the rows; none shows the rows as plain lines.
    void SetHeaders(const QStringList& headers);
    QHeaderView* Header() const { return m_header; }
    // Adds a row of cells (the item keeps them for painting and screen readers).
    QListWidgetItem* AddRow(const QStringList& cells, const QVariant& value, const QVariantMap& row);
    // Columns as wide as their headers and cells, the last one taking what is left.
    void FitColumns();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void placeHeader();
    QHeaderView* m_header = nullptr;
};

// The lookup list: the rows of the lookup's SQL; OK hands the first column of the chosen row to
// the field. F2Query carries the chosen row's values as properties named after the columns; with
// "MultiSelect=True" several rows can be chosen.
class TFormF2List final : public TKorvexF2Form {
    Q_OBJECT
public:
    explicit TFormF2List(QObject* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* EdSearch;
    TF2ResultList* ListResult;
    QObject* F2Query;
    QString Sql;
    // Values of the caller's extra lines (name=value) for the parameters the SQL names.
    QVariantMap Params;

    // Runs the lookup's SQL filtered on the server by the search text (starting from the field's
    // value) and selects the first match.
    void StartSearch() override;
    void TakeResult() override;
    // The lookup's SQL with the filter on any column; its parameter is ":f2_suche".
    static QString FilteredSql(const QString& sql);
    // The typed text as an ILIKE pattern: found anywhere, wildcards taken literally.
    static QString LikePattern(const QString& typed);
    // Chooses the row, runs OnBeforeOK (a throw refuses), hands the value over and closes.
    void BtOkClick();
    // Adds the chosen parameter to the record when the lookup was opened on the description of
    // a record's parameters.
    void AddRecnoParam();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The window's caption and the column headers from the rows' table, once.
    void ShowCaptions(const TVoskQuery2& q);
    bool m_searched = false;
    bool m_captioned = false;
};

// The edit table: a grid over the SQL of its menu row, editable unless NoEdit.
class TFormEditTable final : public TModulForm, public IEditTableForm {
    Q_OBJECT
public:
    explicit TFormEditTable(QObject* owner = nullptr, QWidget* parent = nullptr);

    TVoskClass2* ServSql;
    TVoskDBGrid2* GridResult;

    void FormCreate(QObject* sender) override;
    TVoskClass* ServSqlEditTable() const override;
    void SetOnUpdateUI(TDataEvent handler) override { m_onUpdateUI = std::move(handler); }
    void SetAfterInsert(TNotifyEvent handler) override { m_afterInsert = std::move(handler); }
    void SetMultiSelect() override;

private:
    TDataEvent m_onUpdateUI;
    TNotifyEvent m_afterInsert;
};

// The menu's lookup test: one field whose F2 lookup opens as soon as the window shows.
class TFormLookupTest final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormLookupTest(QObject* owner = nullptr, QWidget* parent = nullptr);
    QLineEdit* EdWert;
    void F2BtClick(QObject* sender, int index = 0) override;
};

// The dashboard: a small window of key figures that the header's "new window" button starts
// through its own library procedure.
class TDashboardModul final : public TModulForm {
    Q_OBJECT
public:
    explicit TDashboardModul(QObject* owner = nullptr, QWidget* parent = nullptr);
    QLabel* LabelAdressen;
    void FormShow(QObject* sender) override;
};
