#pragma once
// The typed parameters of one record, grouped by their definition's group. A new parameter is
// chosen from the definitions of the record's table through the lookup, which adds it with its
// default; values are typed into the grid or taken from the menu (an enumeration's codes, the
// default).

#include "UModulFormSeams.h"

#include <TRecNoClasses.h>

#include <QFrame>
#include <QModelIndex>
#include <QPointer>

#include <functional>

class QMenu;
class TFrameDBNav;
class TQ32Control;
class TVoskDBGrid2;
class TVoskDBNavigator;
class TVoskMenuItem;
class TVoskPopupMenu;

// Which navigator the frame shows: none, the grid's small one, or the navigation frame.
enum TFrameRecnoNavigator { frnNone, frnSmall, frnDBNavigator };

class TFrameRecnoParams final : public QFrame, public UModulFormSeams::IFrameRecnoParams {
    Q_OBJECT
    Q_PROPERTY(QString _PNameFilter READ PNameFilter WRITE SetPNameFilter)
    Q_PROPERTY(bool _AlwaysExpanded READ AlwaysExpanded WRITE SetAlwaysExpanded)
    Q_PROPERTY(bool _ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool _InsertDelete READ InsertDelete WRITE SetInsertDelete)
    Q_PROPERTY(bool _Insert_by READ InsertBy WRITE SetInsertBy)
    Q_PROPERTY(int _Navigator READ NavigatorInt WRITE SetNavigatorInt)
    Q_PROPERTY(int _TextNr READ TextNr WRITE SetTextNr)
public:
    explicit TFrameRecnoParams(QObject* owner, QWidget* parent = nullptr);
    ~TFrameRecnoParams() override;

    // Components, in the order of the frame's resource; gridParamsCX is also the view gridParams.
    TFrameDBNav* DBNavRecnoParams;
    TVoskDBGrid2* gridParamsCX;
    TVoskDBNavigator* gridParamsNavigator;
    TVoskPopupMenu* PopupMenuParams;
    TVoskMenuItem* miEnumValues;
    TVoskMenuItem* miLoadDefault;
    TQ32Control* Q32Control;

    // The parameters shown; null detaches. A freed data class is detached by itself.
    TRecNoParams* RecnoParams() const { return m_params; }
    void SetRecnoParams(TRecNoParams* value);
    QString PNameFilter() const { return m_pnameFilter; }
    void SetPNameFilter(const QString& filter);
    bool AlwaysExpanded() const { return m_alwaysExpanded; }
    void SetAlwaysExpanded(bool on);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    bool InsertDelete() const { return m_insertDelete; }
    void SetInsertDelete(bool on);
    bool InsertBy() const { return m_insertBy; }
    void SetInsertBy(bool on);
    TFrameRecnoNavigator Navigator() const { return m_navigator; }
    void SetNavigator(TFrameRecnoNavigator type);
    int TextNr() const;
    void SetTextNr(int nr);
    // A double click on a record cell.
    std::function<void(const QModelIndex& index)> _OnCellDblClick;

    // Before the navigator's insert: the lookup of the table's parameters. Chosen with OK, the
    // lookup has added the parameter and the frame's own insert is dropped (EAbort).
    void DBNavRecnoParamsBeforeInsert();
    // Whether the menu may open at a point of the grid's viewport; fills it when it may.
    bool PopupMenuParamsPopup(const QPoint& viewportPos);
    void miLoadDefaultClick();
    // Sets the current row's value to one of its enumeration's codes.
    void miEnumValueClick(const QString& code);

    // ---- the record information window's seam -------------------------------------------------
    QWidget* Frame() override { return this; }
    TRecNoParams* DataClass() override { return m_params; }
    QObject* NameField() override;
    QWidget* Grid() override;
    void Attach(const QString& table, const QString& recId, const QString& formClass) override;
    void DeleteAll() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int NavigatorInt() const { return int(m_navigator); }
    void SetNavigatorInt(int type) { SetNavigator(TFrameRecnoNavigator(type)); }
    void detach();
    void applyEditing();
    void applyHidden();
    void afterOpen();
    void afterInsert();
    void cancelEdit();
    QString currentPName() const;

    QPointer<TRecNoParams> m_params;
    QMetaObject::Connection m_paramsGone;
    QMenu* m_enumMenu = nullptr;
    QString m_pnameFilter;
    bool m_alwaysExpanded = false;
    bool m_readOnly = false;
    bool m_insertDelete = true;
    bool m_insertBy = false;
    TFrameRecnoNavigator m_navigator = frnDBNavigator;
};

namespace UFrameRecnoParams {
// Puts `TFrameRecnoParams` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UFrameRecnoParams
