#pragma once
// The annotation layer of the TIFF viewer's page canvas, without widgets: the per-page XML (both
// streams), the annotation objects with their data, rights and automatic arrow texts, the undo
// bookkeeping, the template that input modes set, the property editors' writes, and the texts the
// status line and hover hints show. The viewer form owns one and forwards its methods; tests drive
// it directly.

#include "AnnotData.h"

#include <IEVectModel.h>

#include <QByteArray>
#include <QDateTime>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

// Kinds that are annotations (the object kinds of the vector layer).
enum TAnnotKind : int {
    akHighlight = Imaging::iekBOX,
    akDot = Imaging::iekELLIPSE,
    akImage = Imaging::iekBITMAP,
    akText = Imaging::iekMEMO,
    akArrow = Imaging::iekLINELABEL,
};
bool IsAnnotKind(int kind);
// A set of kind numbers 0 to 15.
using TKindSet = quint16;
inline constexpr TKindSet KindBit(int kind) {
    return TKindSet(1u << kind);
}

// What the viewer knows of its document and user, and how it shows messages.
struct TAnnotEnvironment {
    std::function<QString()> UserName; // the connected user's login (default: the data module)
    std::function<QDateTime()> Now;    // local time (default: the clock)
    QString RemoteFileName;            // the document's file name on the data server
    bool HasDokument = false;
    bool NewDokument = false; // being inserted, not yet stored
    QString DokType;
    qint64 DokID = 0;
    quint8 EditablePages = 0; // 0 no document, 1 view only, 2 editable, 3 pages changed
    std::function<void(const QString& name, bool& allow)> OnAllowEdit;
    std::function<void(const QString& name, bool& allow)> OnEditImage;
    // The stamp right (document type, two names in the caller's order, document id, action, raise);
    // default: TUserRights::CanDoDMSStampAction.
    std::function<bool(const QString&, const QString&, const QString&, qint64, int, bool)>
        StampRight;
    // The exception dialog (17103, 17104); default: the database layer's.
    std::function<void(const QString&)> ShowException;
    // The common error routine (17117); it may raise, a silent abort is swallowed.
    std::function<void(const QString&)> RaiseError;
    // Refreshes the undo buttons.
    std::function<void()> ShowUndoOptions;
};

// The values of the ribbon's annotation controls, which new objects and property edits take.
struct TAnnotControls {
    Imaging::TColor HighlightColor = 65535;
    QString TextFont = QStringLiteral("Arial");
    bool TextBold = false;
    bool TextItalic = false;
    Imaging::TColor TextFontColor = 0;
    int TextFontSize = 34;
    bool TextBackgroundVisible = false;
    Imaging::TColor TextBackgroundColor = Imaging::clInfoBk;
    bool TextBorderVisible = true;
    Imaging::TColor TextBorderColor = 0;
    Imaging::TColor ArrowColor = 255;
    Imaging::TColor ArrowColor2 = 0;
    QString ArrowText;
    bool ArrowAutoText = false;
    bool ArrowBold = false;
    int ArrowTextSize = 26;
    int DotSize = 10;
    Imaging::TColor DotColor = 255;
    Imaging::TColor DotBorderColor = 0;
};

// The input modes the viewer accepts: the canvas's placing modes, selection, and two of its own.
enum TAnnotInputMode : quint8 {
    imPutBox = Imaging::miPutBox,
    imPutEllipse = Imaging::miPutEllipse,
    imPutBitmap = Imaging::miPutBitmap,
    imObjectSelect = Imaging::miObjectSelect,
    imPutMemo = Imaging::miPutMemo,
    imPutLineLabel = Imaging::miPutLineLabel,
    imMove = 17,
    imZoom = 18,
};
bool IsAddingMode(quint8 mode);
bool IsKnownInputMode(quint8 mode);

// One property of the annotation toolbar that a control edits.
enum class TAnnotProperty {
    HighlightColor,
    TextFont,
    TextBold,
    TextItalic,
    TextFontColor,
    TextFontSize,
    TextBackground,
    TextBorder,
    ArrowColor,
    ArrowColor2,
    ArrowBold,
    ArrowTextSize,
    DotSize,
    DotColor,
    DotBorderColor,
};

class TAnnotLayer final {
public:
    explicit TAnnotLayer(Imaging::TIEVectModel& canvas);

    Imaging::TIEVectModel& Canvas() { return m_canvas; }
    TAnnotEnvironment Env;

    // ---- data and XML --------------------------------------------------------------------
    // Makes sure object h carries annotation data: creates it when it has none, refuses a block
    // of another length (17116).
    void CheckAnnotationData(int h);
    TAnnotData& AnnotData(int h); // after CheckAnnotationData
    const TAnnotData* AnnotDataOrNull(int h) const;
    // data: the whole document; dataX: without barcode markers. A page without objects gives two
    // empty streams. An object of another kind raises 17117 and leaves both streams as they were.
    void SaveAnnotations(QByteArray& data, QByteArray& dataX);
    // Replaces the canvas's objects by those of data (page: 0-based, for messages). Data that is
    // no well-formed XML leaves the canvas empty and is reported (17103) unless reportUnreadable
    // is false; Unreadable() tells until the next load.
    void LoadAnnotations(const QByteArray& data, int page, bool reportUnreadable = true);
    bool Unreadable() const { return m_unreadable; }

    // ---- objects -------------------------------------------------------------------------
    // Position: left, top, width, height. Colours clNone: none. Creator empty: the user.
    void AddAnnotHighlight(const QRect& pos, Imaging::TColor color, const QString& creator = {});
    void AddAnnotText(const QRect& pos, const QString& text, Imaging::TColor color, int size,
                      const QString& fontName, bool bold, bool italic, Imaging::TColor background,
                      Imaging::TColor border, const QString& creator = {});
    void AddAnnotDot(const QPoint& centre, int size, Imaging::TColor color, Imaging::TColor border,
                     const QString& creator = {});
    void AddAnnotArrow(const QRect& pos, const QString& text, bool autoText, const QString& mask,
                       Imaging::TColor color, Imaging::TColor color2, bool bold, int fontSize,
                       const QString& creator = {});
    // A picture in any readable format; an unreadable one raises 17106 and adds nothing.
    void AddAnnotImage(const QRect& pos, const QByteArray& picture, const QString& imageName,
                       const QString& creator = {});
    void AddAnnotImage(const QRect& pos, const QImage& image, const QString& imageName,
                       const QString& creator = {});
    // From a raw bitmap dump (uncompressed).
    void AddAnnotImageRaw(const QRect& pos, const QByteArray& raw, const QString& imageName,
                          const QString& creator = {});
    QSize GetPageSize() const { return m_canvas.Bitmap().size(); }

    void SetAnnotationRights();
    static QString CreateAutoTextMask(const QString& mask, const QString& text);
    // Renumbers every auto-text arrow; when the arrow tool is active the next arrow's text comes
    // from the arrow text editor (a mask when auto text is on).
    void CalcAutoText(const QString& arrowText, bool arrowAutoText);

    // ---- undo ----------------------------------------------------------------------------
    // A point unless sender repeats the last one (or no object is selected for a control).
    // Every point clears the redo history.
    void SaveUndo(const void* sender);
    // Both, like a clear, forget the last sender: the next change of any control takes a point.
    void ResetUndo(bool doUndo);
    void ClearUndo(bool createDummySavePoint);
    bool CanUndo() const { return m_canvas.CanUndo() || m_canvas.CanRedo(); }
    const void* LastUndo() const { return m_lastUndo; }
    // Whether the canvas may hold edits its page data lacks: every edit, undo and redo sets it,
    // reading and writing the page's XML clear it. The undo history cannot tell (an object placed
    // with the tool kept takes no point of its own, a cleared history keeps the edits).
    bool Changed() const { return m_changed; }
    // An object the user drew on the canvas. With the tool kept (Ctrl), the next drawing takes a
    // point of its own when it begins (PlacingStarts), so each object is one step.
    void ObjectPlaced();
    void PlacingStarts();
    // Canvas events that take or drop undo points: a left button down and up, the move or resize
    // of an object (one point per drag), and the start and end of editing a text in place (an
    // edit that changed nothing drops its point).
    void MouseDown() { m_saveUndo = 1; }
    void MouseUp() { m_saveUndo = 0; }
    void ObjectMoveResize(int h);
    void ActivateText();
    void DeactivateText();
    const QString& ActivatedText() const { return m_activatedText; }
    // A new text starts its editing at once: the points that start took go again, and so the
    // end of that edit has none to drop.
    void TrimUndo(int count);

    // ---- input modes and the toolbar ------------------------------------------------------
    // The undo bookkeeping, deselection and template of SetInputMode; raises "unknown input mode"
    // after the bookkeeping for another mode.
    void SetInputMode(quint8 mode, const TAnnotControls& controls);
    // SetInputMode in two halves, for a viewer that sets its buttons between them: the undo
    // bookkeeping, deselection and template reset; then the check of the mode and the template.
    void BeginInputMode(quint8 mode);
    void EndInputMode(quint8 mode, const TAnnotControls& controls);
    // The template defaults of a placing mode from the controls.
    void ApplyTemplateDefaults(quint8 mode, const TAnnotControls& controls);
    // Writes a property edit into the template and into every selected editable object of its
    // kind, with one undo point (sender) before the first change. Returns how many changed.
    int ApplyProperty(TAnnotProperty property, const TAnnotControls& controls, const void* sender);
    // The arrow text editor's text into the selected editable arrows: the mask of an auto-text
    // arrow (with a "*" when it has none), else the text; then the numbering.
    void ApplyArrowText(const QString& text, bool autoText, const void* sender);
    // The auto-text button: on, each selected editable arrow takes a mask made from its text;
    // off, its flag goes. Then the numbering.
    void ApplyArrowAutoText(bool on, const QString& arrowText, const void* sender);
    // Selected editable objects in front of or behind all others, or removed; one undo point
    // (sender) before the first. Removing asks canRemove for each first, which raises to refuse.
    void BringSelectedToFront(const void* sender);
    void SendSelectedToBack(const void* sender);
    void DeleteSelected(const void* sender, const std::function<void(int h)>& canRemove = {});
    void SetAllVisible(bool visible);
    // Selected objects whose data allows editing, from the last selected to the first.
    QList<int> SelectedEditable() const;
    bool IsEditable(int h) const;

    // The kinds of the selection plus the kind of the pressed add button (0: none).
    TKindSet SelectedKinds(int pressedAddKind) const;
    // The annotation kind when selected holds exactly one of them (its tab becomes the active
    // one), else -1.
    static int SingleKind(TKindSet selected);
    // Object styles: selectable and visible; movable when enabled and editable; sizable when
    // movable, not a dot, and at most one object is selected. Returns whether grips are drawn:
    // not for a single selected object when selected (SelectedKinds) holds no kind but the dot.
    bool ApplyObjectStyles(bool annotEnable, TKindSet selected);
    // The controls as the selection shows them (the first selected object wins).
    TAnnotControls ControlsFromSelection(TAnnotControls controls) const;
    // The status line for the selection (17118-17121), empty without selection.
    QString StatusText() const;
    // The hover text of object h (17122-17124).
    QString HoverText(int h);

    // ---- a placed object -------------------------------------------------------------------
    // Sizes and moves a freshly drawn object as the viewer wants it: at most the page, minimum
    // sizes by kind, inside the page. picture: the stamp's own size for images.
    static QRect FitNewObject(int kind, QRect rect, QSize page, QSize picture);

    // The user's login and the clock through the environment.
    QString UserName() const;
    QDateTime Now() const;

private:
    // Runs f on each selected editable arrow, with one undo point before the first.
    void forEachSelectedArrow(const void* sender, const std::function<void(int h)>& f);
    // Creation steps shared by the Add methods.
    int addObject(Imaging::TIEVObjectKind kind, const QRect& pos);
    void finishObject(int h, const QString& creator);
    QString datesText(int h, int newNr, const QString& newDef, int changedNr,
                      const QString& changedDef, int editedNr, const QString& editedDef);

    Imaging::TIEVectModel& m_canvas;
    QString editKey() const;
    // An edit: the redo history goes, the page holds a change.
    void noteChange();

    // What the page's XML held that no object stands for (other programs' elements, comments),
    // each with its position among the root's children, and the root's attributes: written back
    // as they were read.
    struct TForeignNode {
        int Index;
        QString Raw;
    };
    QList<TForeignNode> m_foreign;
    QList<QPair<QString, QString>> m_rootAttributes;

    bool m_changed = false;
    bool m_unreadable = false;
    bool m_emptyEntry = false; // the newest point is an adding mode's, nothing placed since
    QRect m_activatedRect;     // the edited text's rectangle when its editing began
    const void* m_lastUndo = nullptr;
    quint8 m_saveUndo = 0;          // 0 idle, 1 left button down, 2 this drag's point taken
    QString m_activatedText;        // "%d:%s" of the text whose editing began last
    bool m_activationPoint = false; // that start's undo point is still in the history
};
