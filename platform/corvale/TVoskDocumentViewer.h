#pragma once
// Base of the document viewers, and the small preview the document window and the document lists
// show: the data class whose record the shown document belongs to and the ident of the
// document's node in that record's document tree (a viewer hands both to its module form when
// the user asks for the record's documents), and a preview of one stored document: a picture
// scaled to fit, the first page of a PDF, or for any other file its name and icon.
//
// The preview reads the file from the document store into the session's temporary folder; a file
// the store lacks shows the store's message instead of a picture. While disabled (its window is
// not active) LoadDocument only remembers the document and shows it once enabled again.

#include <QImage>
#include <QPointer>
#include <QWidget>

class QLabel;
class QStackedLayout;
class TVoskClass;

class TVoskDocumentViewer : public QWidget {
    Q_OBJECT
public:
    explicit TVoskDocumentViewer(QWidget* parent = nullptr);

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

    // What the preview shows: "" nothing, "image", "pdf", "file" (name and icon), "error".
    QString PreviewKind() const { return m_kind; }
    // The text under the picture: the file name, or the store's message.
    QString PreviewText() const;
    // Files larger than this are shown by name and icon only.
    static constexpr qint64 MaxPreviewBytes = 64LL * 1024 * 1024;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void render();
    void showPicture();

    QPointer<TVoskClass> m_dataClass;
    int m_nodeIdent = 0;
    int m_pdId = 0;
    int m_shownId = 0;
    bool m_enabled = true;
    QString m_kind;
    QImage m_picture;
    QLabel* m_image;
    QLabel* m_text;
};
