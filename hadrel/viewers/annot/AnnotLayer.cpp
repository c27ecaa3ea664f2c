#include "AnnotLayer.h"

#include <FormatValues.h>
#include <IERawBitmap.h>
#include <TUserRights.h>
#include <UDM1.h>
#include <VoskShowException.h>

#include <cmath>

using namespace Imaging;

bool IsAnnotKind(int kind) {
    return kind == akHighlight || kind == akDot || kind == akImage || kind == akText ||
           kind == akArrow;
}

bool IsAddingMode(quint8 mode) {
    return mode == imPutBox || mode == imPutEllipse || mode == imPutBitmap || mode == imPutMemo ||
           mode == imPutLineLabel;
}

bool IsKnownInputMode(quint8 mode) {
    return IsAddingMode(mode) || mode == imObjectSelect || mode == imMove || mode == imZoom;
}

TAnnotLayer::TAnnotLayer(TIEVectModel& canvas) : m_canvas(canvas) {
    Env.ShowException = [](const QString& message) { Dunmere::VoskShowExceptionDialog(message); };
    Env.StampRight = [](const QString& dokType, const QString& s1, const QString& s2, qint64 dokId,
                        int action, bool raise) {
        return TUserRights::CanDoDMSStampAction(dokType, s1, s2, dokId, action, raise);
    };
}

QString TAnnotLayer::UserName() const {
    if (Env.UserName)
        return Env.UserName();
    TDM1* dm = DM1();
    return dm ? dm->FGetUsername() : QString();
}

QDateTime TAnnotLayer::Now() const {
    return Env.Now ? Env.Now() : QDateTime::currentDateTime();
}

// ---- data ----------------------------------------------------------------------------------

void TAnnotLayer::CheckAnnotationData(int h) {
    TIEVObject& o = m_canvas.ObjRef(h);
    if (o.UserDataLen == 0) {
        TAnnotData d;
        d.SrcIndex = -1;
        d.AllowEdit = 1;
        d.Creator = ShortString(UserName());
        d.Editor = d.Creator;
        o.UserData = QVariant::fromValue(d);
        o.UserDataLen = AnnotDataSize;
        return;
    }
    if (o.UserDataLen != AnnotDataSize ||
        o.UserData.metaType() != QMetaType::fromType<TAnnotData>())
        throw EImagesException(17116, makeText(17116, QStringLiteral("Ungültige Anmerkungen")));
}

TAnnotData& TAnnotLayer::AnnotData(int h) {
    TIEVObject& o = m_canvas.ObjRef(h);
    if (o.UserData.metaType() != QMetaType::fromType<TAnnotData>())
        throw EImagesException(17116, makeText(17116, QStringLiteral("Ungültige Anmerkungen")));
    return *static_cast<TAnnotData*>(o.UserData.data());
}

const TAnnotData* TAnnotLayer::AnnotDataOrNull(int h) const {
    if (h != -1 && !m_canvas.HasObj(h))
        return nullptr;
    const TIEVObject& o = m_canvas.Obj(h);
    if (o.UserDataLen != AnnotDataSize ||
        o.UserData.metaType() != QMetaType::fromType<TAnnotData>())
        return nullptr;
    return static_cast<const TAnnotData*>(o.UserData.constData());
}

// ---- creation -------------------------------------------------------------------------------

int TAnnotLayer::addObject(TIEVObjectKind kind, const QRect& pos) {
    return m_canvas.AddNewObject(kind, pos, TColor(0x00FF00FF));
}

void TAnnotLayer::finishObject(int h, const QString& creator) {
    CheckAnnotationData(h);
    TAnnotData& d = AnnotData(h);
    d.AllowEdit = 1;
    d.Creator = ShortString(creator.isEmpty() ? UserName() : creator);
    d.Editor = d.Creator;
    // Our canvas takes no undo point when an object is added, so there is none to drop here.
    noteChange();
    m_canvas.UnSelAllObjects();
    m_canvas.Update();
}

void TAnnotLayer::AddAnnotHighlight(const QRect& pos, TColor color, const QString& creator) {
    const int h = addObject(iekBOX, pos);
    TIEVObject& o = m_canvas.ObjRef(h);
    o.BoxHighlight = true;
    o.PenStyle = TPenStyle::psClear;
    o.BrushColor = color;
    o.BrushStyle = TBrushStyle::bsSolid;
    finishObject(h, creator);
}

void TAnnotLayer::AddAnnotText(const QRect& pos, const QString& text, TColor color, int size,
                               const QString& fontName, bool bold, bool italic, TColor background,
                               TColor border, const QString& creator) {
    const int h = addObject(iekMEMO, pos);
    TIEVObject& o = m_canvas.ObjRef(h);
    o.FontName = fontName;
    o.Bold = bold;
    o.Italic = italic;
    o.PenColor = color;
    o.FontHeight = size;
    o.TextAlign = TIEAlignment::iejCenter;
    o.TextAutoSize = false;
    if (background != clNone) {
        o.BrushStyle = TBrushStyle::bsSolid;
        o.BrushColor = background;
        o.MemoCharsBrushStyle = TBrushStyle::bsSolid;
    } else {
        o.BrushStyle = TBrushStyle::bsClear;
        o.MemoCharsBrushStyle = TBrushStyle::bsClear;
    }
    if (border != clNone) {
        o.MemoBorderStyle = TPenStyle::psSolid;
        o.MemoBorderColor = border;
    } else {
        o.MemoBorderStyle = TPenStyle::psClear;
    }
    o.Text = text;
    finishObject(h, creator);
}

void TAnnotLayer::AddAnnotDot(const QPoint& centre, int size, TColor color, TColor border,
                              const QString& creator) {
    // Divisions truncate toward zero.
    const int x = centre.x(), y = centre.y();
    const int h = addObject(iekELLIPSE, QRect(x - size / 2, y - size / 2, size / 2 + (size + 1) / 2,
                                              size / 2 + (size + 1) / 2));
    TIEVObject& o = m_canvas.ObjRef(h);
    o.BrushStyle = TBrushStyle::bsSolid;
    o.BrushColor = color;
    o.PenStyle = TPenStyle::psSolid;
    o.PenColor = border;
    finishObject(h, creator);
}

void TAnnotLayer::AddAnnotArrow(const QRect& pos, const QString& text, bool autoText,
                                const QString& mask, TColor color, TColor color2, bool bold,
                                int fontSize, const QString& creator) {
    const int h = addObject(iekLINELABEL, pos);
    TIEVObject& o = m_canvas.ObjRef(h);
    o.Bold = bold;
    o.Italic = false;
    o.EndShape = TIEShape::iesOutArrow;
    o.PenStyle = TPenStyle::psSolid;
    o.PenColor = color;
    o.BrushStyle = TBrushStyle::bsSolid;
    o.BrushColor = color2;
    o.LabelBorder = TIELabelBorder::ielNone;
    o.Text = text;
    o.FontHeight = fontSize;
    finishObject(h, creator);
    TAnnotData& d = AnnotData(h);
    d.AutoText = autoText ? 1 : 0;
    d.Mask = ShortString(mask);
}

void TAnnotLayer::AddAnnotImage(const QRect& pos, const QByteArray& picture,
                                const QString& imageName, const QString& creator) {
    AddAnnotImage(pos, QImage::fromData(picture), imageName, creator);
}

void TAnnotLayer::AddAnnotImage(const QRect& pos, const QImage& image, const QString& imageName,
                                const QString& creator) {
    // An unreadable picture adds nothing: an image object without picture would be stored empty.
    if (image.isNull())
        throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
    const int h = addObject(iekBITMAP, pos);
    TIEVObject& o = m_canvas.ObjRef(h);
    o.BrushStyle = TBrushStyle::bsClear;
    o.Bitmap = image;
    finishObject(h, creator);
    AnnotData(h).Mask = ShortString(imageName);
}

void TAnnotLayer::AddAnnotImageRaw(const QRect& pos, const QByteArray& raw,
                                   const QString& imageName, const QString& creator) {
    AddAnnotImage(pos, LoadRAW(raw), imageName, creator);
}

// ---- rights ---------------------------------------------------------------------------------

void TAnnotLayer::SetAnnotationRights() {
    const int count = m_canvas.ObjectsCount();
    for (int i = 0; i < count; ++i) {
        const int h = m_canvas.GetObjFromIndex(i);
        CheckAnnotationData(h);
        AnnotData(h).AllowEdit = 0;
    }
    for (int i = 0; i < count; ++i) {
        const int h = m_canvas.GetObjFromIndex(i);
        TAnnotData& d = AnnotData(h);
        bool allow = Env.EditablePages < 3;
        if (d.Creator == QLatin1String(BarcodeCreator))
            allow = false;
        if (allow && Env.OnEditImage && m_canvas.Obj(h).Kind == iekBITMAP)
            Env.OnEditImage(d.ImageName(), allow);
        if (allow && Env.OnAllowEdit && !d.Creator.isEmpty())
            Env.OnAllowEdit(d.Creator, allow);
        if (allow && Env.HasDokument && !Env.NewDokument && Env.StampRight)
            allow = Env.StampRight(Env.DokType, d.ImageName(), d.Creator, Env.DokID, 3, false);
        // The events may have run code that changed the objects; the record is fetched anew.
        AnnotData(h).AllowEdit = allow ? 1 : 0;
    }
}

bool TAnnotLayer::IsEditable(int h) const {
    const TAnnotData* d = AnnotDataOrNull(h);
    return d && d->AllowEdit == 1;
}

QList<int> TAnnotLayer::SelectedEditable() const {
    QList<int> out;
    for (int i = m_canvas.SelObjectsCount() - 1; i >= 0; --i)
        if (IsEditable(m_canvas.SelObject(i)))
            out.append(m_canvas.SelObject(i));
    return out;
}

// ---- automatic arrow texts -------------------------------------------------------------------

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

QString trimBlanks(const QString& s) {
    qsizetype a = 0, b = s.size();
    while (a < b && s.at(a).unicode() <= 32)
        ++a;
    while (b > a && s.at(b - 1).unicode() <= 32)
        --b;
    return s.mid(a, b - a);
}

// The mask with its first "*" replaced by n; further "*" and "%" stay as they are.
QString numbered(const QString& mask, int n) {
    const qsizetype star = mask.indexOf(u'*');
    return mask.left(star) + QString::number(n) + mask.mid(star + 1);
}

} // namespace

QString TAnnotLayer::CreateAutoTextMask(const QString& mask, const QString& text) {
    QString result = text;
    const qsizetype p = mask.indexOf(u'*');
    if (p >= 0 && p < text.size() && isDigit(text.at(p))) {
        QString candidate = text;
        candidate[p] = u'*';
        while (candidate != mask && p + 1 < candidate.size() && isDigit(candidate.at(p + 1)))
            candidate.remove(p + 1, 1);
        if (candidate == mask)
            return mask;
        result = candidate;
    }
    result = trimBlanks(result);
    if (result.contains(u'*'))
        return result;
    qsizetype last = -1;
    for (qsizetype i = result.size() - 1; i >= 0; --i)
        if (isDigit(result.at(i))) {
            last = i;
            break;
        }
    if (last < 0)
        return result + u'*';
    qsizetype first = last;
    while (first > 0 && isDigit(result.at(first - 1)))
        --first;
    return result.left(first) + u'*' + result.mid(last + 1);
}

void TAnnotLayer::CalcAutoText(const QString& arrowText, bool arrowAutoText) {
    QStringList masks; // sorted without regard to case, each mask once
    const int count = m_canvas.ObjectsCount();
    for (int i = count - 1; i >= 0; --i) {
        const int h = m_canvas.GetObjFromIndex(i);
        CheckAnnotationData(h);
        TIEVObject& o = m_canvas.ObjRef(h);
        TAnnotData& d = AnnotData(h);
        if (o.Kind != iekLINELABEL || d.AutoText != 1)
            continue;
        o.Text.clear();
        if (!d.Mask.contains(u'*'))
            d.Mask = ShortString(d.Mask + u'*');
        bool known = false;
        for (const QString& m : std::as_const(masks))
            known = known || m.compare(d.Mask, Qt::CaseInsensitive) == 0;
        if (!known)
            masks.append(d.Mask);
    }
    std::sort(masks.begin(), masks.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    auto taken = [this](const QString& candidate) {
        for (const TIEVObject& o : m_canvas.Objects())
            if (o.Kind == iekLINELABEL && o.Text.compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    auto firstFree = [&](const QString& mask, int& n) {
        QString candidate = numbered(mask, n);
        while (taken(candidate))
            candidate = numbered(mask, ++n);
        return candidate;
    };
    for (qsizetype m = masks.size() - 1; m >= 0; --m) {
        int n = 1;
        for (int i = 0; i < count; ++i) {
            const int h = m_canvas.GetObjFromIndex(i);
            const TIEVObject& o = m_canvas.Obj(h);
            const TAnnotData& d = AnnotData(h);
            if (o.Kind != iekLINELABEL || d.AutoText != 1 ||
                d.Mask.compare(masks.at(m), Qt::CaseInsensitive) != 0)
                continue;
            const QString text = firstFree(masks.at(m), n);
            m_canvas.ObjRef(h).Text = text;
        }
    }
    TIEVObject& next = m_canvas.ObjRef(-1);
    if (next.Kind == iekLINELABEL) {
        if (arrowAutoText) {
            QString mask = arrowText;
            if (!mask.contains(u'*'))
                mask += u'*';
            int n = 1;
            next.Text = firstFree(mask, n);
        } else {
            next.Text = arrowText;
        }
    }
    m_canvas.Update();
}

// ---- undo -----------------------------------------------------------------------------------

void TAnnotLayer::SaveUndo(const void* sender) {
    if (!sender || (sender != m_lastUndo && m_canvas.SelObjectsCount() > 0)) {
        m_canvas.ClearAllRedo();
        m_canvas.SaveUndo();
        m_emptyEntry = false;
    }
    m_lastUndo = sender;
    if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

void TAnnotLayer::noteChange() {
    // A change that took no point of its own (a repeated control, an object placed with the tool
    // kept) would otherwise leave a redo step that throws it away.
    m_canvas.ClearAllRedo();
    m_changed = true;
    if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

void TAnnotLayer::ResetUndo(bool doUndo) {
    bool stepped = false;
    if (doUndo) {
        if (m_canvas.CanUndo()) {
            m_canvas.UndoWithRedo();
            m_canvas.DropLastUndo();
            stepped = true;
        }
    } else if (m_canvas.CanRedo()) {
        m_canvas.RedoWithUndo();
        m_canvas.DropLastRedo();
        stepped = true;
    }
    if (stepped) {
        m_changed = true;
        m_emptyEntry = false;
    }
    m_lastUndo = nullptr;
    if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

void TAnnotLayer::ClearUndo(bool createDummySavePoint) {
    m_canvas.ClearAllUndo();
    m_canvas.ClearAllRedo();
    m_lastUndo = nullptr;
    m_emptyEntry = false;
    if (createDummySavePoint)
        SaveUndo(nullptr);
    else if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

void TAnnotLayer::ObjectPlaced() {
    m_emptyEntry = false;
    noteChange();
}

void TAnnotLayer::PlacingStarts() {
    if (IsAnnotKind(m_canvas.Obj(-1).Kind) && !m_emptyEntry) {
        SaveUndo(nullptr);
        m_emptyEntry = true;
    }
}

void TAnnotLayer::ObjectMoveResize(int h) {
    if (m_canvas.SelObjectsCount() > 0 && m_canvas.SelObject(0) == h && m_saveUndo == 1) {
        m_saveUndo = 2;
        SaveUndo(nullptr);
    }
    noteChange();
}

QString TAnnotLayer::editKey() const {
    const int h = m_canvas.SelObject(0);
    return QStringLiteral("%1:%2").arg(h).arg(m_canvas.Obj(h).Text);
}

void TAnnotLayer::ActivateText() {
    if (m_canvas.SelObjectsCount() == 0)
        return;
    SaveUndo(nullptr);
    m_activationPoint = true;
    m_activatedText = editKey();
    const TIEVObject& o = m_canvas.Obj(m_canvas.SelObject(0));
    m_activatedRect = QRect(QPoint(o.Left, o.Top), QPoint(o.Right, o.Bottom));
}

void TAnnotLayer::DeactivateText() {
    if (m_canvas.SelObjectsCount() == 0) {
        m_changed = true; // which text it was is not known any more
        return;
    }
    if (editKey() != m_activatedText) {
        noteChange();
        return;
    }
    // The same text may still have made its box grow.
    const TIEVObject& o = m_canvas.Obj(m_canvas.SelObject(0));
    if (QRect(QPoint(o.Left, o.Top), QPoint(o.Right, o.Bottom)) != m_activatedRect)
        m_changed = true;
    // Only the point this edit took: a new text's was trimmed already, and the point before it
    // is the placing's.
    if (m_activationPoint)
        m_canvas.DropLastUndo();
    m_activationPoint = false;
    if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

void TAnnotLayer::TrimUndo(int count) {
    while (m_canvas.UndoCount() > count)
        m_canvas.DropLastUndo();
    m_activationPoint = false;
    if (Env.ShowUndoOptions)
        Env.ShowUndoOptions();
}

// ---- input modes and property edits ----------------------------------------------------------

void TAnnotLayer::SetInputMode(quint8 mode, const TAnnotControls& controls) {
    BeginInputMode(mode);
    EndInputMode(mode, controls);
}

void TAnnotLayer::BeginInputMode(quint8 mode) {
    // An adding mode left with nothing placed: its entry point goes again. After a placing with
    // the tool kept that point is the placing's.
    if (IsAnnotKind(m_canvas.Obj(-1).Kind) && m_emptyEntry) {
        m_canvas.DropLastUndo();
        m_emptyEntry = false;
    }
    if (IsAddingMode(mode)) {
        SaveUndo(nullptr);
        m_emptyEntry = true;
    }
    if (mode != imObjectSelect)
        m_canvas.UnSelAllObjects();
    m_canvas.ObjRef(-1).Kind = iekNONE;
}

void TAnnotLayer::EndInputMode(quint8 mode, const TAnnotControls& controls) {
    if (!IsKnownInputMode(mode))
        throw EImagesException(QStringLiteral("unknown input mode"));
    ApplyTemplateDefaults(mode, controls);
}

void TAnnotLayer::ApplyTemplateDefaults(quint8 mode, const TAnnotControls& c) {
    TIEVObject& t = m_canvas.ObjRef(-1);
    switch (mode) {
    case imPutBox:
        t.Kind = iekBOX;
        t.BoxHighlight = true;
        t.PenStyle = TPenStyle::psClear;
        t.BrushStyle = TBrushStyle::bsSolid;
        t.BrushColor = c.HighlightColor;
        t.SetRect(t.Left, t.Top, 70, 70);
        break;
    case imPutEllipse:
        t.Kind = iekELLIPSE;
        t.SetRect(t.Left, t.Top, c.DotSize, c.DotSize);
        t.BrushStyle = TBrushStyle::bsSolid;
        t.BrushColor = c.DotColor;
        t.PenStyle = TPenStyle::psSolid;
        t.PenColor = c.DotBorderColor;
        break;
    case imPutBitmap:
        t.Kind = iekBITMAP;
        break; // the stamp choice fills the picture
    case imPutMemo:
        t.Kind = iekMEMO;
        t.FontName = c.TextFont;
        t.Bold = c.TextBold;
        t.Italic = c.TextItalic;
        t.PenColor = c.TextFontColor;
        t.FontHeight = c.TextFontSize;
        t.TextAlign = TIEAlignment::iejCenter;
        t.TextAutoSize = true;
        t.BrushStyle = c.TextBackgroundVisible ? TBrushStyle::bsSolid : TBrushStyle::bsClear;
        t.BrushColor = c.TextBackgroundColor;
        t.MemoCharsBrushStyle = t.BrushStyle;
        t.MemoBorderStyle = c.TextBorderVisible ? TPenStyle::psSolid : TPenStyle::psClear;
        t.MemoBorderColor = c.TextBorderColor;
        t.Text.clear();
        t.SetRect(t.Left, t.Top, 70, 70);
        break;
    case imPutLineLabel:
        t.Kind = iekLINELABEL;
        t.EndShape = TIEShape::iesOutArrow;
        t.PenStyle = TPenStyle::psSolid;
        t.PenColor = c.ArrowColor;
        t.BrushStyle = TBrushStyle::bsSolid;
        t.BrushColor = c.ArrowColor2;
        t.LabelBorder = TIELabelBorder::ielNone;
        t.Bold = c.ArrowBold;
        t.Italic = false;
        t.FontHeight = c.ArrowTextSize;
        CalcAutoText(c.ArrowText, c.ArrowAutoText);
        m_canvas.ObjRef(-1).SetRect(t.Left, t.Top, 70, 70);
        break;
    default:
        break;
    }
}

namespace {

TIEVObjectKind kindOf(TAnnotProperty p) {
    switch (p) {
    case TAnnotProperty::HighlightColor:
        return iekBOX;
    case TAnnotProperty::ArrowColor:
    case TAnnotProperty::ArrowColor2:
    case TAnnotProperty::ArrowBold:
    case TAnnotProperty::ArrowTextSize:
        return iekLINELABEL;
    case TAnnotProperty::DotSize:
    case TAnnotProperty::DotColor:
    case TAnnotProperty::DotBorderColor:
        return iekELLIPSE;
    default:
        return iekMEMO;
    }
}

void writeProperty(TIEVObject& o, TAnnotProperty p, const TAnnotControls& c) {
    switch (p) {
    case TAnnotProperty::HighlightColor:
        o.BrushColor = c.HighlightColor;
        break;
    case TAnnotProperty::TextFont:
        o.FontName = c.TextFont;
        break;
    case TAnnotProperty::TextBold:
        o.Bold = c.TextBold;
        break;
    case TAnnotProperty::TextItalic:
        o.Italic = c.TextItalic;
        break;
    case TAnnotProperty::TextFontColor:
        o.PenColor = c.TextFontColor;
        break;
    case TAnnotProperty::TextFontSize:
        o.FontHeight = c.TextFontSize;
        break;
    case TAnnotProperty::TextBackground:
        o.BrushStyle = c.TextBackgroundVisible ? TBrushStyle::bsSolid : TBrushStyle::bsClear;
        o.MemoCharsBrushStyle = o.BrushStyle;
        if (c.TextBackgroundVisible)
            o.BrushColor = c.TextBackgroundColor;
        break;
    case TAnnotProperty::TextBorder:
        o.MemoBorderStyle = c.TextBorderVisible ? TPenStyle::psSolid : TPenStyle::psClear;
        if (c.TextBorderVisible)
            o.MemoBorderColor = c.TextBorderColor;
        break;
    case TAnnotProperty::ArrowColor:
        o.PenColor = c.ArrowColor;
        break;
    case TAnnotProperty::ArrowColor2:
        o.BrushColor = c.ArrowColor2;
        break;
    case TAnnotProperty::ArrowBold:
        o.Bold = c.ArrowBold;
        o.Italic = false;
        break;
    case TAnnotProperty::ArrowTextSize:
        o.FontHeight = c.ArrowTextSize;
        break;
    case TAnnotProperty::DotSize:
        o.Right = o.Left + c.DotSize;
        o.Bottom = o.Top + c.DotSize;
        break;
    case TAnnotProperty::DotColor:
        o.BrushColor = c.DotColor;
        break;
    case TAnnotProperty::DotBorderColor:
        o.PenColor = c.DotBorderColor;
        break;
    }
}

} // namespace

int TAnnotLayer::ApplyProperty(TAnnotProperty property, const TAnnotControls& controls,
                               const void* sender) {
    writeProperty(m_canvas.ObjRef(-1), property, controls);
    const TIEVObjectKind kind = kindOf(property);
    int changed = 0;
    for (int h : SelectedEditable()) {
        if (m_canvas.Obj(h).Kind != kind)
            continue;
        if (changed++ == 0)
            SaveUndo(sender);
        writeProperty(m_canvas.ObjRef(h), property, controls);
    }
    if (changed > 0)
        noteChange();
    m_canvas.Update();
    return changed;
}

void TAnnotLayer::forEachSelectedArrow(const void* sender, const std::function<void(int h)>& f) {
    bool first = true;
    for (int h : SelectedEditable()) {
        if (m_canvas.Obj(h).Kind != iekLINELABEL)
            continue;
        if (first)
            SaveUndo(sender);
        first = false;
        f(h);
    }
    if (!first)
        noteChange();
}

void TAnnotLayer::ApplyArrowText(const QString& text, bool autoText, const void* sender) {
    forEachSelectedArrow(sender, [&](int h) {
        TAnnotData& d = AnnotData(h);
        if (d.AutoText == 1)
            d.Mask = ShortString(text.contains(u'*') ? text : text + u'*');
        else
            m_canvas.ObjRef(h).Text = text;
    });
    CalcAutoText(text, autoText);
}

void TAnnotLayer::ApplyArrowAutoText(bool on, const QString& arrowText, const void* sender) {
    forEachSelectedArrow(sender, [&](int h) {
        TAnnotData& d = AnnotData(h);
        if (on)
            d.Mask = ShortString(CreateAutoTextMask(d.Mask, m_canvas.Obj(h).Text));
        d.AutoText = on ? 1 : 0;
    });
    CalcAutoText(arrowText, on);
}

void TAnnotLayer::BringSelectedToFront(const void* sender) {
    bool first = true;
    for (int h : SelectedEditable()) {
        if (first)
            SaveUndo(sender);
        first = false;
        m_canvas.BringToFront(h);
    }
    if (!first)
        noteChange();
}

void TAnnotLayer::SendSelectedToBack(const void* sender) {
    bool first = true;
    for (int h : SelectedEditable()) {
        if (first)
            SaveUndo(sender);
        first = false;
        m_canvas.SendToBack(h);
    }
    if (!first)
        noteChange();
}

void TAnnotLayer::DeleteSelected(const void* sender, const std::function<void(int h)>& canRemove) {
    const QList<int> doomed = SelectedEditable();
    // Every refusal comes before anything goes.
    if (canRemove)
        for (int h : doomed)
            canRemove(h);
    bool first = true;
    for (int h : doomed) {
        if (first)
            SaveUndo(sender);
        first = false;
        m_canvas.RemoveObject(h);
    }
    if (!first)
        noteChange();
}

void TAnnotLayer::SetAllVisible(bool visible) {
    for (int i = 0; i < m_canvas.ObjectsCount(); ++i) {
        TIEVObject& o = m_canvas.ObjAtRef(i);
        if (visible)
            o.Style |= ievsVisible;
        else
            o.Style &= ~TIEVStyle(ievsVisible);
    }
    m_canvas.Update();
}

// ---- ribbon state ------------------------------------------------------------------------------

TKindSet TAnnotLayer::SelectedKinds(int pressedAddKind) const {
    TKindSet set = 0;
    if (IsAnnotKind(pressedAddKind))
        set |= KindBit(pressedAddKind);
    for (int h : m_canvas.SelObjects()) {
        const int k = m_canvas.Obj(h).Kind;
        if (k >= 0 && k < 16)
            set |= KindBit(k);
    }
    return set;
}

int TAnnotLayer::SingleKind(TKindSet selected) {
    int found = -1;
    for (int k : {akHighlight, akText, akDot, akArrow, akImage})
        if (selected & KindBit(k)) {
            if (found >= 0)
                return -1;
            found = k;
        }
    return found;
}

bool TAnnotLayer::ApplyObjectStyles(bool annotEnable, TKindSet kinds) {
    const int selected = m_canvas.SelObjectsCount();
    const TKindSet sizableKinds =
        KindBit(akHighlight) | KindBit(akImage) | KindBit(akText) | KindBit(akArrow);
    const bool singleDot = selected == 1 && (kinds & sizableKinds) == 0;
    const int count = m_canvas.ObjectsCount();
    for (int i = 0; i < count; ++i) {
        TIEVObject& o = m_canvas.ObjAtRef(i);
        TIEVStyle style(ievsSelectable | ievsVisible);
        if (annotEnable && IsEditable(o.Handle)) {
            style |= ievsMoveable;
            if (o.Kind != iekELLIPSE && selected <= 1)
                style |= ievsSizeable;
        }
        o.Style = style;
    }
    m_canvas.Update();
    return !singleDot;
}

TAnnotControls TAnnotLayer::ControlsFromSelection(TAnnotControls c) const {
    for (int i = m_canvas.SelObjectsCount() - 1; i >= 0; --i) {
        const TIEVObject& o = m_canvas.Obj(m_canvas.SelObject(i));
        const TAnnotData* d = AnnotDataOrNull(o.Handle);
        switch (o.Kind) {
        case iekBOX:
            c.HighlightColor = o.BrushColor;
            break;
        case iekMEMO:
            c.TextFont = o.FontName;
            c.TextBold = o.Bold;
            c.TextItalic = o.Italic;
            c.TextFontColor = o.PenColor;
            c.TextFontSize = o.FontHeight;
            c.TextBackgroundVisible = o.BrushStyle == TBrushStyle::bsSolid;
            c.TextBackgroundColor = o.BrushColor;
            c.TextBorderVisible = o.MemoBorderStyle == TPenStyle::psSolid;
            c.TextBorderColor = o.MemoBorderColor;
            break;
        case iekLINELABEL:
            c.ArrowColor = o.PenColor;
            c.ArrowColor2 = o.BrushColor;
            c.ArrowAutoText = d && d->AutoText == 1;
            c.ArrowText = c.ArrowAutoText ? d->Mask : o.Text;
            c.ArrowBold = o.Bold;
            c.ArrowTextSize = o.FontHeight;
            break;
        case iekELLIPSE:
            c.DotSize = std::abs(o.Width());
            c.DotColor = o.BrushColor;
            c.DotBorderColor = o.PenColor;
            break;
        default:
            break;
        }
    }
    return c;
}

namespace {

QString shortDate(double days) {
    return Rtl::FormatDateTime(Rtl::FormatSettings().ShortDateFormat, DaysToDateTime(days));
}

} // namespace

// The three date rules of status line and hover hint: a new object, one changed (or edited by
// its creator within 30 seconds), and one edited later or by someone else.
QString TAnnotLayer::datesText(int h, int newNr, const QString& newDef, int changedNr,
                               const QString& changedDef, int editedNr, const QString& editedDef) {
    CheckAnnotationData(h);
    const TAnnotData& d = AnnotData(h);
    const QString user = UserName();
    const QDateTime now = Now();
    if (d.CDate < 0)
        return TDM1::FormatLogText(makeText(newNr, newDef),
                                   {user, Rtl::FormatDateTime(QStringLiteral("c"), now)});
    const bool sameEdit =
        d.EDate >= 0 && std::abs(d.EDate - d.CDate) <= 1.0 / 2880.0 && d.Editor == d.Creator;
    if (d.EDate < 0 || sameEdit)
        return TDM1::FormatLogText(
            makeText(changedNr, changedDef),
            {d.Creator, shortDate(d.CDate), user, shortDate(DateTimeToDays(now))});
    return TDM1::FormatLogText(makeText(editedNr, editedDef),
                               {d.Creator, shortDate(d.CDate), d.Editor, shortDate(d.EDate)});
}

QString TAnnotLayer::StatusText() const {
    const int n = m_canvas.SelObjectsCount();
    if (n == 0)
        return {};
    if (n > 1)
        return TDM1::FormatLogText(makeText(17121, QStringLiteral("%d Anmerkungen markiert")),
                                   {QString::number(n)});
    // datesText only creates data that is missing; the selection itself stays as it is.
    auto* self = const_cast<TAnnotLayer*>(this);
    return self->datesText(
        m_canvas.SelObject(0), 17118, QStringLiteral("Anmerkungen:   neue Anmerkung"), 17119,
        QStringLiteral("Anmerkungen:   erstellt von %s am %s   |   geändert"), 17120,
        QStringLiteral(
            "Anmerkungen:   erstellt von %s am %s   |   zuletz bearbeitet von %s am %s"));
}

QString TAnnotLayer::HoverText(int h) {
    if (h < 0)
        return {};
    return datesText(h, 17122, QStringLiteral("neue Anmerkung"), 17123,
                     QStringLiteral("erstellt von %s am %s   geändert (noch nicht gespeichert)"),
                     17124,
                     QStringLiteral("erstellt von %s am %s   zuletz bearbeitet von %s am %s"));
}

// ---- placing ------------------------------------------------------------------------------------

QRect TAnnotLayer::FitNewObject(int kind, QRect r, QSize page, QSize picture) {
    // r carries left, top and a signed width and height.
    int left = r.x(), top = r.y(), w = r.width(), h = r.height();
    auto sign = [](int v) { return v < 0 ? -1 : 1; };
    if (page.width() <= std::abs(w))
        w = page.width() * sign(w);
    if (page.height() <= std::abs(h))
        h = page.height() * sign(h);
    auto atLeast = [&](int& v, int min) {
        if (std::abs(v) < min)
            v = min * sign(v);
    };
    switch (kind) {
    case iekLINELABEL:
        if (std::abs(w) + std::abs(h) < 50) {
            atLeast(w, 50);
            atLeast(h, 25);
        }
        break;
    case iekBITMAP:
        if (std::abs(w) + std::abs(h) < 100 && !picture.isEmpty()) {
            w = picture.width() * sign(w);
            h = picture.height() * sign(h);
        }
        atLeast(w, 50);
        atLeast(h, 25);
        break;
    case iekELLIPSE:
        break;
    default:
        atLeast(w, 50);
        atLeast(h, 25);
        break;
    }
    if (left + std::max(w, 0) >= page.width())
        left = page.width() - std::max(w, 0) - 1;
    if (top + std::max(h, 0) >= page.height())
        top = page.height() - std::max(h, 0) - 1;
    if (left + std::min(w, 0) < 0)
        left = -std::min(w, 0);
    if (top + std::min(h, 0) < 0)
        top = -std::min(h, 0);
    return QRect(left, top, w, h);
}
