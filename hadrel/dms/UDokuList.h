#pragma once
// The documents of one record for a module form: those stored for the record itself and those
// linked to it, optionally of one document type, newest first. A double click (or "Anzeigen")
// opens the focused document; a document viewer, when one is set, shows it as the user scrolls.

#include <TQ32Control.h>
#include <TVoskDocumentViewer.h>

#include <QFrame>
#include <QGroupBox>
#include <QPointer>
#include <QVariantList>

class QAction;
class TFrameDBNav;
class TServSQL2;
class TVoskDBGrid2;
class TVoskPopupMenu;

class TVoskDocumentList final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(int _TextNr READ TextNr WRITE SetTextNr)
    Q_PROPERTY(bool _DBNavVisible READ DBNavVisible WRITE SetDBNavVisible)
    Q_PROPERTY(QString TableName READ TableName)
    Q_PROPERTY(QString RecID READ RecID)
    Q_PROPERTY(QString DokType READ DokType)
public:
    explicit TVoskDocumentList(QObject* owner, QWidget* parent = nullptr);
    ~TVoskDocumentList() override;

    // The query word for word; its parameters are tablename, recid and doktype.
    static QString DokuListSql();

    QGroupBox* VoskGroupBox1;
    TVoskDBGrid2* DokuListCX;
    TFrameDBNav* navDokuList;
    TVoskPopupMenu* pmPopup;
    QAction* miView;
    TServSQL2* sqlDokuList;

    // Lists the documents of the record; an empty record id leaves the list closed and empty
    // without asking the database.
    void Open(const QString& TableName, const QString& RecID, const QString& DokType = {});
    void Close();
    // Binds values to the query's parameters in order and opens it; whether it found rows.
    bool Search(const QVariantList& Values, int SearchOptions = 0);

    int TextNr() const { return m_textNr; }
    void SetTextNr(int nr);
    bool DBNavVisible() const;
    void SetDBNavVisible(bool on);
    TQ32Control* Q32Control() const { return m_q32Control; }
    void SetQ32Control(TQ32Control* control);
    TVoskDocumentViewer* DocumentViewer() const { return m_viewer; }
    void SetDocumentViewer(TVoskDocumentViewer* viewer);

    // The parameters of the open list as text (index 0, 1, 2 of the properties).
    QString GetParam(int index) const;
    QString TableName() const { return GetParam(0); }
    QString RecID() const { return GetParam(1); }
    QString DokType() const { return GetParam(2); }

    // Opens the focused document, as a double click does.
    void DokuListDblClick();
    void miViewClick() { DokuListDblClick(); }
    void sqlDokuListAfterScroll();

private:
    int m_textNr = 10210;
    QPointer<TQ32Control> m_q32Control;
    QPointer<TVoskDocumentViewer> m_viewer;
};

namespace UDokuList {
// Puts `TVoskDocumentList` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UDokuList
