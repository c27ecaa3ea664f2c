#pragma once
// A navigator and a grid over any data source. The grid makes its columns from the data class; a
// stored layout of the user's or the global one wins, and without one the widths are fitted to a
// sample of the rows and then capped, so that a long text or a flag never takes the whole width.

#include <TVoskClass.h>
#include <Vcl.DB.h>

#include <QAbstractItemView>
#include <QFrame>
#include <QPointer>

class TFrameDBNav;
class TVoskDBGrid2;
class TVoskDBNavigator;
class TVoskPopupMenu;

// Which navigator the frame shows: none, the grid's small one, or the navigation frame.
enum TFrameDatasetNavigator { fdnNone, fdnSmall, fdnDBNavigator };

class TFrameDataSet final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(Vcl::TDataSource* _Datasource READ FDataSource WRITE FSetDataSource)
    Q_PROPERTY(int _LastRecno READ LastRecno WRITE SetLastRecno)
    Q_PROPERTY(QString _DataSetFilter READ DataSetFilter WRITE SetDataSetFilter)
    Q_PROPERTY(bool _ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(int _Navigator READ NavigatorInt WRITE SetNavigatorInt)
public:
    // Widest a column gets from a fresh layout, by kind of field.
    static constexpr int kMaxWidth = 200;
    static constexpr int kMaxBooleanWidth = 40;
    static constexpr int kMaxIntegerWidth = 100;

    explicit TFrameDataSet(QObject* owner, QWidget* parent = nullptr);
    ~TFrameDataSet() override;

    // Components, in the order of the frame's resource; DBGrid is also the view.
    TFrameDBNav* DBNav;
    TVoskDBGrid2* DBGrid;
    TVoskDBNavigator* DBGridNavigator;
    TVoskPopupMenu* VoskPopupMenu;

    Vcl::TDataSource* FDataSource() const { return m_dataSource; }
    // Throws "FSetDataSource: Datasource must have an assigned DataSet" when value has no data
    // class as its data set; nothing is bound then.
    void FSetDataSource(Vcl::TDataSource* value);
    TVoskClass* DataClass() const;

    // Builds the columns and their widths anew (KeepItems keeps the columns shown so far), moves
    // to the first record and reads the data again.
    void UpdateGridLayout(bool KeepItems);
    // Whether the last UpdateGridLayout found no stored layout and fitted the widths itself.
    bool FreshLayout() const { return m_freshLayout; }

    int LastRecno() const { return m_lastRecno; }
    void SetLastRecno(int recNo) { m_lastRecno = recNo; }
    QString DataSetFilter() const { return m_filter; }
    void SetDataSetFilter(const QString& filter);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    TFrameDatasetNavigator Navigator() const { return m_navigator; }
    void SetNavigator(TFrameDatasetNavigator type);

private:
    int NavigatorInt() const { return int(m_navigator); }
    void SetNavigatorInt(int type) { SetNavigator(TFrameDatasetNavigator(type)); }
    void applyFilter();
    void capWidths();
    void detach();
    void DBGridViewFocusedRecordChanged();

    QPointer<Vcl::TDataSource> m_dataSource;
    QPointer<TVoskClass> m_class;
    QMetaObject::Connection m_classGone;
    QString m_filter;
    QAbstractItemView::EditTriggers m_editTriggers;
    int m_lastRecno = 0;
    bool m_readOnly = false;
    bool m_freshLayout = false;
    bool m_layoutPending = false; // bound while closed: laid out when the rows come
    TFrameDatasetNavigator m_navigator = fdnDBNavigator;
};

namespace UFrameDataset {
// Puts `TFrameDataSet` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UFrameDataset
