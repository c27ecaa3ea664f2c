#pragma once
// Base of the document viewers, and the preview the document window and the document lists
// show: the data class whose record the shown document belongs to and the ident of the
// document's node in that record's document tree (a viewer hands both to its module form when
// the user asks for the record's documents), and a preview of one stored document: a picture
// scaled to fit; every page of a PDF or a multipage TIFF, read as they scroll into view; text
// files (with their encoding found), RTF and mails as read-only text; any other file by its
// name and icon.
//
// Nothing is read whole that need not be: text, RTF and mails only up to a limit (a note says
// when the preview is shortened), TIFF pages one by one and PDFs in place from the store.
// Pictures are read from the document store into the session's temporary folder. A file the store lacks
// shows the store's message instead. While disabled (its window is not active) LoadDocument only
// remembers the document and shows it once enabled again.

#include <HookSlot.h>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QIODevice;
class QLabel;
class QPdfDocument;
class QPdfView;
class QPlainTextEdit;
class QStackedWidget;
class QTextDocument;
class QTextEdit;
class TDokument;
class TVoskClass;
class TVoskPageStrip;

class TVoskDocumentViewer : public QWidget {
    Q_OBJECT
public:
    explicit TVoskDocumentViewer(QWidget* parent = nullptr);
    ~TVoskDocumentViewer() override;

    TVoskClass* DataClass() const { return m_dataClass; }
    void SetDataClass(TVoskClass* dataClass) { m_dataClass = dataClass; }
    int NodeIdent() const { return m_nodeIdent; }
    void SetNodeIdent(int ident) { m_nodeIdent = ident; }

    // Shows the document pd_id (0: nothing).
    void LoadDocument(int pdId);
    // Shows nothing and forgets the document.
    void DisableDocument();
    int DocumentId() const { return m_pdId; }
    void SetViewerEnabled(bool enabled);
    bool ViewerEnabled() const { return m_enabled; }

    // What the preview shows: "" nothing, "image", "pdf", "tiff", "text", "rtf", "mail",
    // "file" (name and icon), "error".
    QString PreviewKind() const { return m_kind; }
    // The text under the preview: the file name, or the store's message.
    QString PreviewText() const;
    // The note over the text when the preview shows only the file's beginning; empty otherwise.
    QString ShortenedNote() const;

    // Pictures larger than this (read whole) are shown by name and icon only.
    static constexpr qint64 MaxPreviewBytes = 64LL * 1024 * 1024;
    // RTF is read up to this size.
    static constexpr qint64 MaxRtfBytes = 8LL * 1024 * 1024;

    // The memo editor's RTF reader, filled by the forms package: replaces the document's content
    // with the RTF bytes. Unfilled, RTF files show by name and icon.
    static Rtl::HookSlot<void(const QByteArray& rtf, QTextDocument* document)> ReadRtf;

    // The views, for tests and the look.
    QPdfView* PdfView() const { return m_pdfView; }
    TVoskPageStrip* PageStrip() const { return m_pages; }
    QPlainTextEdit* TextView() const { return m_plain; }
    QTextEdit* RichTextView() const { return m_rich; }
    QWidget* MailView() const { return m_mailPage; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Where the document's bytes are: in the store, or at a linked path.
    struct Source;
    void render();
    // Back to the empty picture page: nothing of a previous or half-shown document stays.
    void clearShown();
    bool showKind(TDokument& doc, const Source& src, const QString& kind);
    bool showPdf(const Source& src);
    bool showTiff(const Source& src);
    bool showImage(const QString& local);
    void showText(const Source& src);
    bool showRtf(const Source& src);
    void showMail(const Source& src);
    void showPicture();
    void setShortened(const QString& note);

    QPointer<TVoskClass> m_dataClass;
    int m_nodeIdent = 0;
    int m_pdId = 0;
    int m_shownId = 0;
    bool m_enabled = true;
    QString m_kind;
    QImage m_picture;
    QStackedWidget* m_stack;
    QWidget* m_picturePage;
    QLabel* m_image;
    QPdfDocument* m_pdf;
    std::unique_ptr<QIODevice> m_pdfSource; // a stored PDF, read where the view needs it
    QPdfView* m_pdfView;
    TVoskPageStrip* m_pages;
    QPlainTextEdit* m_plain;
    QTextEdit* m_rich;
    QWidget* m_mailPage;
    QLabel* m_mailFrom;
    QLabel* m_mailTo;
    QLabel* m_mailCc;
    QLabel* m_mailDate;
    QLabel* m_mailSubject;
    QLabel* m_mailAttachments;
    QPlainTextEdit* m_mailBody;
    QLabel* m_note;
    QLabel* m_text;
};
