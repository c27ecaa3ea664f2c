#pragma once
// The road from the document management into the viewers: the preview dialog, which hosts the
// viewer that the document's file extension chooses, and the routines that open it for a stored
// document (ShowDokument, after the rights, write-once, lock and check-out checks; the revision is
// locked while the pages are edited), for a scan not yet stored (ShowPreview), or for the document
// of a record, offering a scan when it has none (ShowOrScanDokument). The unit fills the document
// class's show hook while it is loaded.

#include "UFileViewer.h"

#include <Ubarcode.h>

#include <QPointer>
#include <QSize>
#include <QStringList>

#include <functional>

class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class TFormFilePreview;
class TVoskClass;

namespace UFilePreview {
// Makes the viewer of one kind of file inside the dialog; fromScanner asks for page editing.
using TViewerFactory = std::function<TFileViewerFrame*(TFormFilePreview* dialog, bool fromScanner)>;
// The one table of viewers by file extension (lower case with its dot; "." and "" for files
// without one). The viewers' units fill their rows while they are loaded. An extension without
// a row gets the TIFF viewer's row, and the user is told that the type is not supported.
void RegisterViewer(const QString& extension, TViewerFactory factory);
void UnregisterViewer(const QString& extension);
bool HasViewer(const QString& extension);
// The extension of a file name or a bare extension (".pdf", "brief.PDF"), as the table keys it.
QString FileExtension(const QString& fileExt);
// The dialog's size on a desktop of that size.
QSize DialogSize(QSize desktop);
} // namespace UFilePreview

class TFormFilePreview final : public TVoskBaseForm, public UFileViewer::IKeyPreviewForm {
    Q_OBJECT
public:
    TFormFilePreview(QObject* AOwner, const QString& FileExt, bool FromScanner);
    ~TFormFilePreview() override;

    QString GetDokName() const;

    void FormActivate(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void FormClose(QObject* Sender, Vcl::TCloseAction& Action);
    void BtOkClick();
    void BtAbortClick();
    void BtRescanClick();
    void FormDestroy();

    void PreviewKeyDown(int& Key, Qt::KeyboardModifiers Shift) override;
    void PreviewKeyUp(int& Key, Qt::KeyboardModifiers Shift) override;

    // Watches the document: when it is destroyed while the dialog shows an editing viewer, the
    // dialog closes.
    void SetDokument(TDokument* dokument);
    TDokument* Dokument() const { return FDokument.data(); }

    QWidget* PanelOkAbb;
    QPushButton* BtOk;
    QPushButton* BtAbort;
    QLabel* Label1;
    QLineEdit* DokName;
    QPushButton* BtRescan;

    QString FDokType;
    QString FDokIdent;
    bool FFromScanner = false;
    QStringList FScanParams;
    QPointer<TFileViewerFrame> FImagePages;
    bool FWasLocked = false;
    // The revision lock was taken by ShowDokument for this dialog; released when it goes.
    bool m_lockTaken = false;

    // OK and rescan follow the viewer's edit mode (a scan preview).
    void enableButtons();

protected:
    void BeforeDestruction() override;

private:
    QPointer<TDokument> FDokument;
};

// The preview dialog that shows the document (already shown, freeing itself on close), or null
// when the document was shown in the given viewer outside a dialog or was not found.
TFormFilePreview* ShowDokument(QObject* _Owner, TDokument* Doku, bool PageAdmin,
                               TFileViewerFrame* ImagePages = nullptr);
TFormFilePreview* ShowDokument(QObject* _Owner, int DokID, bool PageAdmin);
// A scanned or new document for review before it is stored.
TFormFilePreview* ShowPreview(QObject* _Owner, TDokument* Doku, const QImage* Image,
                              const QStringList* _ScanParams, const QString& _DokType,
                              const QString& _DokIdent, const QString& _CreateFileEx,
                              bool _FromScanner, bool ScannerSetup, const TDokumentEvent& OnDokEvent,
                              const QString& DMSSource);
// The document of the current record of DokumentClass, or a scan into a new one when it has none
// and the user agrees.
void ShowOrScanDokument(QObject* _Owner, TVoskClass* DokumentClass, const QString& DokuType);
// The target of the document class's show hook.
QObject* _ShowDokument(QObject* _Owner, TDokument* Doku, bool PageAdmin);
