#pragma once
// The common base of the document viewers. It fixes how any viewer is built (owner and parent,
// document, page editing asked for, optional load form), holds the shown document without owning
// it (cleared when the document is destroyed), tells the caller through the document event how
// the viewing ended when the viewer is hidden, and routes the form's events to virtual handlers
// that the viewers override.
//
// A viewer builds its form in its constructor and then calls FinishCreate(), which binds each of
// the nine form events to its virtual handler unless the form bound that event itself.

#include <Q32GrundForm.h>
#include <Ubarcode.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Types.h>

#include <QPointer>

#include <functional>

class QGroupBox;
class QTableWidget;
class TLoadForm;

namespace UFileViewer {
// Routes keys to the forms that preview them (viewers and the preview dialog): the top-level
// window of the focused control gets a key before the control does. Installed once.
void InstallKeyPreview();

// A top-level form that sees keys before its controls.
class IKeyPreviewForm {
public:
    virtual ~IKeyPreviewForm() = default;
    // Key set to 0 means the form used the key and the control does not get it.
    virtual void PreviewKeyDown(int& Key, Qt::KeyboardModifiers Shift) = 0;
    virtual void PreviewKeyUp(int& Key, Qt::KeyboardModifiers Shift) = 0;
};
// The name under which a document goes along with its file in an e-mail: the document's name with
// the extension of the file that is sent (its own extension replaced).
QString MailAttachmentName(const QString& dokName, const QString& localFile);
} // namespace UFileViewer

class TFileViewerFrame : public TVoskBaseForm, public UFileViewer::IKeyPreviewForm {
    Q_OBJECT
public:
    TFileViewerFrame(QObject* ParentAndOwner, TDokument* Dokument, bool EditablePages,
                     TLoadForm* _LoadForm);
    ~TFileViewerFrame() override;

    // Loads (or reloads) the document; EditablePages asks for edit mode, which the viewer grants
    // or refuses by the user's rights.
    virtual void Recreate(TDokument* Dokument, bool EditablePages) = 0;

    virtual void FormShow(QObject* Sender);
    virtual void FormResize(QObject* Sender);
    virtual void FormHide(QObject* Sender);
    virtual void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void FormActivate(QObject* Sender);
    virtual void FormCloseQuery(QObject* Sender, bool& CanClose);
    virtual void FormClose(QObject* Sender, Vcl::TCloseAction& Action);
    virtual void FormDestroy(QObject* Sender);

    // The form events beside those of TForm (OnShow, OnHide, OnActivate, OnCloseQuery, OnClose).
    std::function<void(QObject* sender)> OnResize;
    std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)> OnKeyUp;
    std::function<void(QObject* sender)> OnDestroy;

    TDokument* Dokument() const { return FDokument.data(); }
    bool AllowSave() const { return FAllowSave; }
    bool HasBeenSaved() const { return FHasBeenSaved; }
    bool EscapeWasPressed() const { return FEscapeWasPressed; }

    // Fired when the viewer is hidden, closed or destroyed with a document (modes 2 and 3);
    // may fire more than once for one viewer.
    TDokumentEvent FOnDokumentEvent;

    // Keys of the viewer as a window of its own; an embedded viewer gets them from its form.
    void PreviewKeyDown(int& Key, Qt::KeyboardModifiers Shift) override;
    void PreviewKeyUp(int& Key, Qt::KeyboardModifiers Shift) override;

    // Sends the shown document by e-mail: its file as the attachment, the server's text block
    // "DOKU_SEND_EMAILTXT" as the body, recipients and subject left to the user.
    void SendByMail();

protected:
    // Puts the viewer into its owner when that is a widget, filling it.
    void EmbedIn(QObject* parentAndOwner);
    // Escape on key-up: a viewer of its own closes; an embedded one closes its form when Escape
    // went down in it, except the document window. The flag is cleared and the key used.
    void EscapeKeyUp(int& Key);
    // Keeps whether the user closed the ribbon for the next viewer; the planning board's stamp
    // window keeps it apart.
    void SaveRibMenuClosed(bool closed);

    // The related-documents grid in box: name and type shown, id and type key hidden; a double
    // click opens the document.
    QTableWidget* BuildRelatedDoksGrid(QGroupBox* box);
    // Fills grid with the documents that carry the same value of the keyword category the shown
    // document's type names (dt_relateddokkeyword), other than itself and not hidden; whether
    // there are any.
    bool FillRelatedDokuments(QTableWidget* grid);
    void OpenRelatedDokument(QTableWidget* grid, int row);

    // Writes "Success" into the load form and binds the form events left empty.
    void FinishCreate();
    void SetDokument(TDokument* dokument);

    void resizeEvent(QResizeEvent* e) override;
    void BeforeDestruction() override;

    QPointer<TDokument> FDokument;
    bool FAllowSave = false;
    bool FHasBeenSaved = false;
    bool FDoCloseEvent = false;
    bool FEscapeWasPressed = false;
    QPointer<TLoadForm> m_loadForm;
};

