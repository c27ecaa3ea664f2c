#pragma once
// The window "Informationen" of one record of any table: its notes and contact history, its
// keywords and its record properties. The header frame opens it for the module's record; the
// menu item class of the common components makes it through TVoskMenuItem::MenuFormClass and
// fills it through IMenuCreate.

#include "UGrundModulForm.h"

#include <TVoskPopupMenu.h>

#include <QPointer>

class QCheckBox;
class QTabWidget;
class QToolButton;
class TRecNoComment;
class TRecNoKeyword;
class TRecNoProp;
class TVoskDBGrid2;
class TVoskDBNavigator;
namespace UModulFormSeams {
class IFrameRecnoParams;
}

class TMenuForm final : public TFormKorvexGundForm, public IMenuCreate {
    Q_OBJECT
public:
    explicit TMenuForm(QObject* owner = nullptr);
    // Fills the window for the record; with AutoShow it is shown (modally with _ShowModal).
    static TMenuForm* Create(QObject* owner, const QString& TableName, const QString& RecID,
                             bool AutoOpenComment, bool AutoShow, bool _ShowModal,
                             const QString& FormClass, const QString& Category);
    ~TMenuForm() override;

    // Components of the form resource, in order.
    QTabWidget* VoskPageControl1;
    QWidget* RegVerlauf;
    TVoskDBNavigator* NavContacts;
    QToolButton* BtEditComment;
    QCheckBox* cbHinweisAlsDialog;
    TVoskDBGrid2* GridContacts;
    QWidget* RegTags;
    // Stands where the navigation frame goes until that frame is part of the package.
    TVoskDBNavigator* FrameDBNavKeyWords;
    TVoskDBGrid2* GridKeyWords;
    QWidget* RegEigenschaften;
    // The record-parameter frame when its unit is loaded; otherwise GridEigenschaften shows the
    // parameters read-only.
    UModulFormSeams::IFrameRecnoParams* frRecnoParams = nullptr;
    TVoskDBGrid2* GridEigenschaften = nullptr;
    TVoskPopupMenu* PopUpEigenschaften;
    TVoskMenuItem* miDeleteAll;
    TVoskPopupMenu* PopupComment;
    QMenu* moEditCategoryMenu;
    QToolButton* BtEnd;
    TRecNoComment* RecNoComment1;
    TRecNoKeyword* RecNoKeyWord1;
    TRecNoProp* RecNoProp1;

    bool _AutoOpenCommentOnShow = false;
    QString _tablename;
    QString _RecId;
    QString _TForm;
    QString _Category;

    void MenuCreate(const QString& TableName, const QString& RecID, const QString& FormClass,
                    const QString& Category) override;

    void FormCreate(QObject* sender) override;
    void FormActivate(QObject* sender) override;
    void VoskPageControl1Change();
    void cbHinweisAlsDialogChange();
    void BtEditCommentClick(QObject* sender);
    void RecNoComment1AfterInsert();
    void RecNoKeyWord1BeforePost();
    void RecNoProp1AfterInsert();
    void miDeleteAllClick();
    void PopupCommentPopup();
    void moEditCategoryClick(TVoskMenuItem* item);
    // Whether the note in row (of the notes) belongs to the category the window was opened for.
    bool GridContactsCustomDrawCell(int row) const;
    // The subject as the grid shows it: a note of another table carries its alias in front.
    QString GridContactsrc_betreffGetDisplayText(int row) const;
    // Esc closes the window while nothing is edited; Enter on a note opens its editor.
    void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
    void BtEndClick();

    // The note editor opened from this window, while it is open.
    QWidget* CommentEditor() const { return m_commentEditor; }
    // Key of the check box's last value, per module form.
    static QString HinweisAlsDialogKey(const QString& ownerName);

private:
    void BuildVerlauf();
    void BuildTags();
    void BuildEigenschaften();
    void InsertNote();
    void OpenCommentEditor();
    void RefreshNotes();

    QPointer<QWidget> m_commentEditor;
};
