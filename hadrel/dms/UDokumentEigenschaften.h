#pragma once
// The record of one stored document for editing: its fields, its keywords, the records it is
// linked to, its revisions, its change log and, for administrators, the technical fields of the
// document store, with a check that its file lies in the archive of its document type.
//
// The frame follows the document object bound to it (_Dokument): binding enables it, losing the
// document disables it, and each move to another document refreshes it. Posts go through the
// document object; a refused post leaves the document in edit with the user's values.

#include "UModulForm.Start.h"

#include <TQ32Control.h>
#include <Ukorvexclasses.Dokument.h>

#include <QFrame>
#include <QPointer>

class QGridLayout;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;
class TFrameDBNav;
class TRecNoKeyword;
class TServSQL2;
class TVoskClass2;
class TVoskCompEventListener;
class TVoskDBCheckBox;
class TVoskDBDateTimeEdit;
class TVoskDBEdit;
class TVoskDBGrid2;
class TVoskDBLookupComboBox;
class TVoskDBMemo;
class TVoskMenuItem;
class TVoskPopupMenu;

class TFrameDokumentEigenschaften final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(TDokument* _Dokument READ Dokument WRITE SetDokument)
    Q_PROPERTY(TQ32Control* _Q32Control READ GetQ32Control WRITE SetQ32Control)
public:
    explicit TFrameDokumentEigenschaften(QObject* owner, QWidget* parent = nullptr);
    ~TFrameDokumentEigenschaften() override;

    // ---- components, in the order of the frame's resource ---------------------------------------
    QWidget* pnlLabels;
    QLabel* Label_pd_path;
    QLabel* Label_pd_tablename;
    QLabel* Label_pd_dokumentfile;
    QLabel* Label_insert_date;
    QLabel* Label_pd_txt;
    QLabel* Label_keywords;
    QLabel* Label_pd_doktype;
    QLabel* Label_pd_date;
    QLabel* AdminLabel;
    QWidget* pnlMainTopEdit;
    TVoskDBMemo* pd_txt;
    TVoskDBEdit* pd_path;
    TVoskDBEdit* pd_path_user;
    QLabel* pd_path_visible;
    QLabel* pd_pathuser_visible;
    TVoskDBEdit* pd_tablename;
    QLabel* pd_tablename_alias;
    TVoskDBEdit* pd_dokumentfile;
    TVoskDBDateTimeEdit* insert_Date;
    TVoskDBDateTimeEdit* pd_date;
    TVoskDBLookupComboBox* pd_doktype;
    TVoskDBCheckBox* pd_print;
    TVoskDBCheckBox* pd_deletable;
    TVoskDBCheckBox* pd_archive;
    TVoskDBCheckBox* pd_dmscomment;
    QToolButton* BtAssignToRecord;
    QToolButton* btDokTypeClear;
    QToolButton* BtOpenFile;
    QLabel* lbDelayed;
    QLabel* lbDokumentLink;
    QLabel* lbLinkSource;
    QLabel* lbLocked;
    QTabWidget* pageLinks;
    QWidget* tabRecno;
    TVoskDBGrid2* GridKeyWords;
    QWidget* tabLinks;
    TVoskDBGrid2* GridLinks;
    QWidget* tabRevisions;
    QWidget* pnlPageRevisionContainer;
    TVoskDBGrid2* GridRevisions;
    TVoskDBEdit* pd_revision_id;
    QWidget* tabChangeLog;
    TVoskDBGrid2* GridChangeLog;
    QWidget* AdminPanel;
    QLabel* Label_pd_id;
    QLabel* Label_pd_dmsremotefile;
    QLabel* Label_pd_dmsremotearchiv;
    QList<TVoskDBEdit*> AdminEdits; // pd_id ... pd_external_dms_id, in the panel's order
    QLineEdit* edDMSRemoteFilename;
    QToolButton* btCheckDokTypPath;
    QToolButton* btCheckHash;
    TFrameDBNav* FrameDBNav1;
    TRecNoKeyword* RecNoKeyWord1;
    TVoskClass2* sqlDokTypes;
    TServSQL2* sqlDokuLinks;
    TServSQL2* sqlRevisions;
    TServSQL2* sqlChangeLog;
    // The link menu on the keyword grid: opens the module showing the record a keyword names.
    TVoskPopupMenu* PopupKeyWords;
    TVoskPopupMenu* PopupRevisions;
    TVoskMenuItem* miSelectRevision;
    TVoskCompEventListener* IsAdminListener;

    // The admin edit of a field of the document ("pd_dmshash"); null for none.
    TVoskDBEdit* AdminEdit(const QString& field) const;

    // ---- properties ------------------------------------------------------------------------------
    TDokument* Dokument() const { return FDokument; }
    void SetDokument(TDokument* Value);
    TQ32Control* GetQ32Control() const { return m_q32Control; }
    void SetQ32Control(TQ32Control* Value);

    void _DokumentAfterScroll(bool DoRefresh);
    void _DokumentAfterPost();
    void _DokumentEnable();
    void _DokumentDisable();

    // ---- handlers --------------------------------------------------------------------------------
    void BtOpenFileClick();
    void btDokTypeClearClick();
    void btCheckDokTypPathClick();
    void btCheckHashClick();
    void BtAssignToRecordClick();
    void SelectF2Records();
    void sqlDokuLinksBeforeEdit();
    void pd_doktypePropertiesInitPopup();
    void pd_doktypePropertiesCloseUp();
    void pd_txtEnter();
    void PopupRevisionsPopup();
    void miSelectRevisionClick();
    void GridRevisionsDblClick() { miSelectRevisionClick(); }
    void IsAdminListenerInit();
    void IsAdminListenerEvent();

    // The placeholder of a forced keyword the user must replace.
    static constexpr const char* KeywordPlaceholder = "!";
    // Whether the admin panel's fields are shown to the current user.

    // The lookup opened by BtAssignToRecordClick, kept while it is open.
    TF2Result F2Result;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildFields(QGridLayout* grid);
    void buildPages();
    void buildAdminPanel();
    void hideMarks();
    QList<QWidget*> dokumentControls() const;
    // Moves the document's stored file from where it lies into the archive of newType and posts
    // the document with that type, in one transaction: the file goes back when the post fails.
    void moveIntoArchive(const QString& newType, const QString& from);
    void setPathLabelLook(QLabel* label, bool inEffect);
    // Deletes the keyword rows whose text is still the placeholder.
    void deleteKeywordPlaceholders();

    QWidget* m_doktypeHolder = nullptr;
    QWidget* m_printHolder = nullptr;
    QPointer<TDokument> FDokument;
    QPointer<TQ32Control> m_q32Control;
    QMetaObject::Connection m_scroll;
    bool m_afterScrollDetached = false;
    bool m_destroying = false;
};

namespace UDokumentEigenschaften {
// Puts `TFrameDokumentEigenschaften` on the IDE's palette page "Korvex-Zusätzlich".
void Register();
} // namespace UDokumentEigenschaften
