#pragma once
// How files enter the document management, and the rules around it that need no window: the
// import mode a document type's configuration asks for, the order of several chosen files, the
// name a file is stored under, which files count as temporary, and the payload and acceptance of
// a tree node dragged between document windows.

#include <StrUtils.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

enum TFileImportMode : int { fimAbort = 0, fimLink = 1, fimCopy = 2, fimMove = 3, fimAsk = 4 };

namespace UImpDoku {

// What a type's "ImportMode" value means: a mode, or a question with one mode preselected.
struct TImportModeChoice {
    TFileImportMode mode = fimAbort; // when not asking
    bool ask = false;
    TFileImportMode preselect = fimCopy; // when asking
};
// "MOVE", "COPY", "COPY_AskDEL", "LINK", "ASK_USER" (any letter case); any other value, "DEFAULT"
// and empty give the caller's default, where fimAsk means asking with "copy" preselected.
TImportModeChoice ImportModeFromConfig(const QString& value, TFileImportMode defaultMode);

// Natural order, the same under every locale: letters without regard to case, runs of digits by
// their value ("b2" before "b10"). Negative, zero or positive like strcmp.
int NaturalCompare(QStringView a, QStringView b);
// The order in which several chosen files are imported: a PDF first, then images (.tiff, .tif,
// .jpg, .jpeg, .png), then the rest; each group in natural order of the file names.
bool ImportOrderLess(const QString& a, const QString& b);
void SortForImport(QStringList& files);

// A text with "%s" placeholders filled in order.
QString FillTextS(QString text, const QStringList& args);

// The name a file is stored under, from a path or a display name: its last part after "/" or
// "\", each character no file name may hold replaced by "_", cut as FitFileName does; never
// empty, "." or "..".
QString StoredFileName(const QString& pathOrName);
// The cut every exit of a file name makes: 255 bytes, the extension kept.
using Rtl::FitFileName;

// Whether path lies inside one of the folders (temporary files, copied rather than linked).
bool IsInsideFolder(const QString& path, const QStringList& folders);

// The MD5 and SHA-256 of a file (lower-case hex), both from one read in 1 MiB chunks; empty
// when it cannot be read.
struct TFileHashes {
    QByteArray md5;
    QByteArray sha256;
};
TFileHashes FileHashes(const QString& path);

// The subject of a mail message (its header "Subject", unfolded, encoded words decoded); empty
// when it has none.
QString MailSubject(const QByteArray& message);

// A tree node dragged out of a document window.
struct TDokuNodeDrag {
    quint64 windowSerial = 0;
    QString table;
    QString recId;
    QString nodeId;
    int kind = 0;
};
inline constexpr const char* kNodeDragMime = "application/x-korvex-dms-node";
QByteArray EncodeNodeDrag(const TDokuNodeDrag& drag);
// Empty for anything that is not a well-formed payload.
std::optional<TDokuNodeDrag> DecodeNodeDrag(const QByteArray& data);

// Whether a node may be dragged at all: documents and custom folders.
bool NodeDraggable(int kind);
// Whether a dragged node may drop on a target (the folder under the pointer, or the parent of
// the document under it; kind 0 is the tree's invisible root). From another window only
// documents; within the window a custom folder never onto a custom folder, and only onto a
// folder, custom folder or root that is not already the node's parent.
bool AcceptNodeDrop(bool fromOtherWindow, int draggedKind, int targetKind, bool targetIsParent);

} // namespace UImpDoku
