// The base form's keys: one application-wide filter hands every key of a control to the base form
// that holds it, before the control sees it, so that all module windows share one key table.

#include "UGrundModulForm.h"

#include "EventGuard.h"
#include "TAbstractMemoForm.h"
#include "TQ32Control.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TVoskDBMemo.h"
#include "TVoskDBNavigator.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "UVoskCalc.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "VoskExceptionHelper.h"
#include "VoskExceptions.h"
#include "VoskF2Controls.h"
#include "VoskKeyControls.h"
#include "VoskShowException.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace {

void Log(const QString& text) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text);
}

bool Is(const QObject* obj, const char* className) {
    return obj && Vcl::InheritsFromName(obj, QString::fromLatin1(className));
}

bool IsExactly(const QObject* obj, const char* className) {
    return obj && Vcl::ClassName(obj) == QLatin1String(className);
}

// The innermost base form holding w (w itself included) within w's own window. A menu, a dialog
// or a popup is a window of its own even when its parent lies in a form: its keys are its own,
// as a form's key preview never sees the keys of another window.
TFormKorvexGundForm* FormOf(QWidget* w) {
    for (; w; w = w->parentWidget()) {
        if (auto* form = qobject_cast<TFormKorvexGundForm*>(w))
            return form;
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

template <class T> T* Above(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (auto* t = qobject_cast<T*>(w))
            return t;
    return nullptr;
}

QWidget* GridAbove(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (qobject_cast<TVoskDBGrid2*>(w) || Is(w, "TVoskDBTreeView2"))
            return w;
    return nullptr;
}

// Controls in which Enter and the arrows keep their own meaning.
bool KeepsLineKeys(const QWidget* w) {
    if (!w)
        return false;
    if (qobject_cast<const QAbstractItemView*>(w) || Is(w, "TVoskMemo") || Is(w, "TVoskSQLMemo") ||
        Is(w, "TVoskDBSQLMemo") || Is(w, "TVoskDBTreeView2"))
        return true;
    // Any other multi-line text: a line break is what the user types Enter for.
    if (qobject_cast<const TVoskDBMemo*>(w))
        return false;
    if (auto* p = qobject_cast<const QPlainTextEdit*>(w))
        return !p->isReadOnly();
    if (auto* t = qobject_cast<const QTextEdit*>(w))
        return !t->isReadOnly();
    return false;
}

QString ExceptionText(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const EVoskException& x) {
        return x.Message();
    } catch (const std::exception& x) {
        return QString::fromUtf8(x.what());
    } catch (...) {
        return QStringLiteral("unbekannter Fehler");
    }
}

// Clicks the grid menu's preview-text item of a header or navigation frame.
bool ClickPreviewItem(QObject* frame) {
    for (QMenu* menu : frame->findChildren<QMenu*>())
        if (menu->objectName().compare(QLatin1String("PopupGridSettings"), Qt::CaseInsensitive) ==
            0)
            emit menu->aboutToShow(); // the menu builds its items as it opens
    auto* item = frame->findChild<QAction*>(QStringLiteral("moTxtVorschau"));
    if (!item || !item->isVisible() || !item->isEnabled())
        return false;
    item->trigger();
    return true;
}

QWidget* FrameGrid(const QObject* frame) {
    for (const char* name : {"_VoskDBGrid", "_Grid"})
        if (QVariant v = frame->property(name); v.isValid())
            return qvariant_cast<QWidget*>(v);
    return nullptr;
}

// The header and navigation frames of a form, those of its frames included.
QList<QObject*> GridFrames(QObject* form) {
    QList<QObject*> frames;
    std::function<void(QObject*)> collect = [&](QObject* owner) {
        for (QObject* c : Vcl::Components(owner)) {
            if (Is(c, "TTopLabelFrame") || Is(c, "TFrameDBNav"))
                frames << c;
            if (qobject_cast<QWidget*>(c) && !qobject_cast<TFormKorvexGundForm*>(c))
                collect(c);
        }
    };
    collect(form);
    return frames;
}

// A modal memo editor opens inside the edit action: F2 reaches it once it is the active window.
void QueueF2ForMemoForm(QObject* context) {
    auto* timer = new QTimer(context);
    timer->setInterval(50);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries] {
        if (auto* memoForm = qobject_cast<TAbstractMemoForm*>(QApplication::activeWindow())) {
            QWidget* target = memoForm->focusWidget() ? memoForm->focusWidget() : memoForm;
            QCoreApplication::postEvent(
                target, new QKeyEvent(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier));
            timer->deleteLater();
        } else if (++*tries > 100) {
            timer->deleteLater();
        }
    });
    timer->start();
}

// Sees the keys of all widgets; a key of a widget inside a base form goes to that form first.
class TKeyPreview final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        const QEvent::Type type = e->type();
        if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride &&
            type != QEvent::KeyRelease)
            return false;
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        // A key the widget ignored travels up to its parent as the same event: the form saw it
        // already. Events are often built at one address one after the other (a press, then its
        // release), so only the next step up the same delivery counts.
        if (e == m_last.event && type == m_last.type && k->key() == m_last.key &&
            m_last.receiver && w == m_last.receiver->parentWidget()) {
            m_last.receiver = w;
            return false;
        }
        TFormKorvexGundForm* form = FormOf(w);
        if (!form)
            return false;
        const Qt::KeyboardModifiers mods = k->modifiers();
        if (type == QEvent::KeyRelease) {
            m_last = {e, type, k->key(), w};
            int key = k->key();
            Rtl::Guarded([&] { form->FormKeyUp(form, key, mods); }, form);
            return key == 0;
        }
        if (type == QEvent::KeyPress && m_ran.key == k->key() && m_ran.mods == mods &&
            m_ran.timestamp == k->timestamp() && m_ran.receiver == w) {
            // Handled when the shortcut was looked for; the key press that follows is the same.
            const bool consumed = m_ran.consumed;
            m_ran = {};
            m_last = {e, type, k->key(), w};
            return consumed;
        }
        m_ran = {};
        m_last = {e, type, k->key(), w};
        int key = k->key();
        Rtl::Guarded([&] { form->FormKeyDown(form, key, mods); }, form);
        const bool consumed = key == 0;
        if (type == QEvent::ShortcutOverride) {
            // The form comes before the window's shortcuts: a key it used goes to none of them.
            m_ran = {k->key(), mods, k->timestamp(), w, consumed};
            if (consumed)
                k->accept();
        }
        return consumed;
    }

private:
    struct {
        const QEvent* event = nullptr;
        QEvent::Type type = QEvent::None;
        int key = 0;
        QPointer<QWidget> receiver;
    } m_last;
    struct {
        int key = 0;
        Qt::KeyboardModifiers mods;
        quint64 timestamp = 0;
        QPointer<QWidget> receiver;
        bool consumed = false;
    } m_ran;
};

} // namespace

void UGrundModulForm::InstallKeyPreview() {
    static QPointer<QObject> filter;
    if (filter || !qApp)
        return;
    filter = new TKeyPreview(qApp);
    qApp->installEventFilter(filter);
}

QWidget* TFormKorvexGundForm::ActiveControl() const {
    QWidget* focused = QApplication::focusWidget();
    if (focused && focused != this && isAncestorOf(focused))
        return focused;
    QWidget* last = focusWidget();
    return last != this ? last : nullptr;
}

void TFormKorvexGundForm::Q32ControlHandling_ESC(TQ32Control* control, TVoskClass* dataSource,
                                                 int& Key) {
    if (!control) {
        if (dataSource && dataSource->InEdit()) {
            dataSource->Cancel();
            Key = 0;
        }
        return;
    }
    TVoskClass* data = control->VoskClass();
    if (data && data->InEdit()) {
        data->Cancel();
        Key = 0;
        return;
    }
    if (QWidget* window = Corvale::OwnWindow(control); window && window->isVisible()) {
        window->hide();
        Key = 0;
    }
}

void TFormKorvexGundForm::FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    QWidget* active = ActiveControl();
    if (!active)
        return;
    const Qt::KeyboardModifiers mods = Shift & ~Qt::KeypadModifier;
    QWidget* editor = Corvale::KorvexFixInnerControl(active);
    if (Corvale::IsInnerEdit(editor))
        editor = editor->parentWidget();
    TVoskDBGrid2* grid = Corvale::GridOfControl(active);
    try {
        switch (Key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const bool enter = Key == Qt::Key_Return || Key == Qt::Key_Enter;
            if (TVoskDBTreeView2* tree = Corvale::TreeOfControl(active);
                tree && tree->InlineEditor() == active) {
                if (!enter)
                    KeyTreeLine(tree, Key);
                return;
            }
            // A cell's editor or any control inside a view is the view's: it moves by itself.
            if (KeepsLineKeys(active) || KeepsLineKeys(editor) ||
                KeepsLineKeys(editor->parentWidget()) || Above<QAbstractItemView>(active))
                return;
            if (enter && Is(editor, "TVoskLookupEdit") &&
                static_cast<TVoskLookupEdit*>(editor)->DroppedDown())
                return;
            // An open calendar takes Enter (the day) and the arrows (moving the day).
            if (Corvale::DateDropDownShowing(editor))
                return;
            if (!enter) {
                if (auto* line = qobject_cast<QLineEdit*>(editor);
                    line && (Is(editor, "TVoskEdit") || Is(editor, "TVoskDBEdit")) &&
                    Corvale::EditPopupShowing(line))
                    return;
                if (Key == Qt::Key_Down && mods == Qt::AltModifier)
                    return;
                if (Is(editor, "TVoskButton") || Is(editor, "TVoskButton2"))
                    return;
            }
            if (enter && qobject_cast<TVoskDBMemo*>(editor) &&
                !static_cast<TVoskDBMemo*>(editor)->isReadOnly())
                return;
            QWidget* next = Corvale::FindNextControl(this, editor, Key != Qt::Key_Up);
            if (!next)
                return;
            TQ32GrundForm::FocusError_Init(this);
            Key = 0;
            TQ32Control* control = Corvale::ControlOf(editor);
            if (Corvale::IsRegistered(control) && control->VoskClass()->InEdit() &&
                !Corvale::InControlArea(control, next)) {
                try {
                    Corvale::LeaveEdit(control);
                } catch (...) {
                    // The record stays in edit with what the user typed; the focus stays too.
                    const std::exception_ptr e = std::current_exception();
                    TQ32GrundForm::FocusError_Exec(QStringLiteral("TFormKorvexGundForm") +
                                                       QStringLiteral(".FormKeyDown+Enter"),
                                                   ExceptionText(e));
                    Dunmere::VoskShowExceptionDialog(e, this);
                    return;
                }
            }
            next->setFocus(Qt::TabFocusReason);
            break;
        }
        case Qt::Key_Escape:
            KeyEscape(active, editor, grid, Key);
            break;
        case Qt::Key_Q:
            if (mods == Qt::ControlModifier)
                KeyEscape(active, editor, grid, Key);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (mods == Qt::AltModifier)
                if (auto* pages = Above<TVoskPageControl2>(active)) {
                    const int tab = pages->NeighbourVisibleTab(Key == Qt::Key_Right);
                    if (tab >= 0)
                        pages->setCurrentIndex(tab);
                    Key = 0;
                }
            break;
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3:
        case Qt::Key_4:
        case Qt::Key_5:
        case Qt::Key_6:
        case Qt::Key_7:
        case Qt::Key_8:
        case Qt::Key_9:
            if (mods == Qt::AltModifier)
                if (auto* pages = Above<TVoskPageControl2>(active)) {
                    const int tab = Key - Qt::Key_1;
                    if (tab < pages->count() && pages->isTabVisible(tab))
                        pages->setCurrentIndex(tab);
                    Key = 0;
                }
            break;
        case Qt::Key_D:
            if (mods == Qt::ControlModifier)
                KeyDelete(editor, grid, Key);
            break;
        case Qt::Key_L:
            if (mods == Qt::ControlModifier)
                KeyPreviewText(sender, active, Key);
            break;
        case Qt::Key_S:
        case Qt::Key_W:
            if (mods == Qt::ControlModifier)
                KeyPost(editor, grid, Key);
            break;
        case Qt::Key_T:
            if (mods == Qt::ControlModifier) {
                if (TVoskCalc::IsVisible())
                    TVoskCalc::Close(true, active);
                else
                    TVoskCalc::Open(active);
                Key = 0;
            }
            break;
        case Qt::Key_F2:
            KeyF2(editor, grid, Key);
            break;
        case Qt::Key_F5:
            KeyF5(active, editor, Key);
            break;
        default:
            break;
        }
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        TVoskExceptionHelper::InsertStackInfo(e,
                                              Vcl::FullName(this) + QStringLiteral(".FormKeyDown"));
        Dunmere::VoskShowExceptionDialog(e, this);
        Key = 0;
    }
}

void TFormKorvexGundForm::KeyEscape(QWidget* active, QWidget* editor, TVoskDBGrid2* grid,
                                    int& Key) {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (auto* owner = qobject_cast<TVoskDBGrid2*>(active->parentWidget());
        owner && active == owner->SearchPanel())
        return; // the grid's search field closes itself
    if (grid) {
        TVoskClass* data = grid->DataClass();
        // An open search field first, then the typing in the cell, then the record.
        if (grid->SearchPanelVisible()) {
            grid->HideSearchPanel();
            Key = 0;
        } else if (auto* cell = qobject_cast<QLineEdit*>(active); cell && cell->isUndoAvailable()) {
            cell->undo();
            Key = 0;
        } else if (data && data->InEdit()) {
            data->Cancel();
            // The open cell would write its text into the record again.
            grid->EndEdit(false);
            Key = 0;
        } else {
            Q32ControlHandling_ESC(Corvale::ControlOf(grid), data, Key);
        }
    } else if (auto* tree = Above<TVoskDBTreeView2>(active)) {
        // The tree's inline edit: its lookup panel, its typing, then the record.
        if (tree->FastLookupShowing()) {
            tree->HideFastLookup();
            Key = 0;
        } else if (auto* cell = qobject_cast<QLineEdit*>(active); cell && cell->isUndoAvailable()) {
            cell->undo();
            Key = 0;
        } else {
            const bool editing = tree->DataClass() && tree->DataClass()->InEdit();
            Q32ControlHandling_ESC(Corvale::ControlOf(tree), tree->DataClass(), Key);
            // A cancelled record: the open cell would write its text into it again.
            if (editing && !tree->DataClass()->InEdit())
                tree->EndEdit(false);
        }
    } else if (IsExactly(editor, "TVoskDBEdit") || IsExactly(editor, "TVoskDBCalcEdit")) {
        if (Corvale::EditPopupShowing(line)) {
            Corvale::CloseEditPopup(line);
            Key = 0;
        } else {
            Q32ControlHandling_ESC(Corvale::ControlOf(editor), Corvale::DataClassOf(editor), Key);
        }
    } else if (auto* date = qobject_cast<TVoskDBDateEdit*>(editor)) {
        if (date->DroppedDown()) {
            date->CloseUp();
            date->SetEditModified(true);
            Key = 0;
        } else {
            Q32ControlHandling_ESC(Corvale::ControlOf(editor), date->DataClass(), Key);
        }
    } else if (auto* plainDate = qobject_cast<TVoskDateEdit*>(editor);
               plainDate && plainDate->DroppedDown()) {
        plainDate->CloseUp();
        plainDate->setModified(true);
        Key = 0;
    } else if (IsExactly(editor, "TVoskDateEdit") || IsExactly(editor, "TVoskEdit")) {
        if (Corvale::EditPopupShowing(line)) {
            Corvale::CloseEditPopup(line);
            Key = 0;
        } else {
            Q32ControlHandling_ESC(Corvale::ControlOf(editor), nullptr, Key);
        }
    } else if (auto* pick = qobject_cast<TVoskPickEdit*>(editor)) {
        if (!(pick->view() && pick->view()->isVisible()))
            Q32ControlHandling_ESC(Corvale::ControlOf(editor), nullptr, Key);
    } else if (auto* lookup = qobject_cast<TVoskDBLookupEdit*>(editor)) {
        if (!lookup->DroppedDown())
            Q32ControlHandling_ESC(Corvale::ControlOf(editor), lookup->DataClass(), Key);
    } else if (qobject_cast<TVoskDBCheckBox*>(editor) || qobject_cast<TVoskDBMemo*>(editor)) {
        Q32ControlHandling_ESC(Corvale::ControlOf(editor), Corvale::DataClassOf(editor), Key);
    } else if (auto* button = qobject_cast<TVoskButton*>(editor)) {
        Q32ControlHandling_ESC(button->MyControl(), nullptr, Key);
    } else {
        Log(QStringLiteral("TFormKorvexGundForm.FormKeyDown: ") + Vcl::FullName(editor) +
            QStringLiteral(" is not implemented"));
    }
}

void TFormKorvexGundForm::KeyDelete(QWidget* editor, TVoskDBGrid2* grid, int& Key) {
    TVoskClass* data = nullptr;
    if (qobject_cast<TVoskDBEdit*>(editor) || qobject_cast<TVoskDBFieldEdit*>(editor))
        data = Corvale::DataClassOf(editor);
    else if (grid && grid->OptionsDataDeleting())
        data = grid->DataClass();
    if (!data || !data->Active() || data->IsEmpty() || !data->CanModify())
        return;
    Key = 0;
    if (Corvale::RaiseDelete())
        data->Delete();
}

void TFormKorvexGundForm::KeyPreviewText(QObject* sender, QWidget* active, int& Key) {
    QWidget* grid = GridAbove(qobject_cast<QWidget*>(sender));
    if (!grid)
        grid = GridAbove(active);
    const QList<QObject*> frames = GridFrames(this);
    if (!grid && Is(this, "TModulForm"))
        for (QObject* frame : frames)
            if (Is(frame, "TTopLabelFrame") && (grid = FrameGrid(frame)))
                break;
    if (!grid)
        return;
    Key = 0;
    for (QObject* frame : frames)
        if (FrameGrid(frame) == grid)
            ClickPreviewItem(frame);
}

void TFormKorvexGundForm::KeyPost(QWidget* editor, TVoskDBGrid2* grid, int& Key) {
    Key = 0;
    if (grid) {
        grid->EndEdit(true);
        TVoskClass* data = grid->DataClass();
        // Posted here, the key goes no further: the grid would post a second time.
        if (data && data->InEdit() && data->Modified()) {
            data->Post(true);
            return;
        }
        // Nothing typed: the grid's navigator posts, so that its own steps around the post run.
        for (QObject* frame : GridFrames(this))
            if (Is(frame, "TFrameDBNav") && FrameGrid(frame) == grid)
                if (auto* nav = frame->findChild<TVoskDBNavigator*>();
                    nav && nav->ButtonControl(nbPost) && nav->ButtonControl(nbPost)->isEnabled()) {
                    nav->BtnClick(nbPost);
                    return;
                }
        return;
    }
    TVoskClass* data = Corvale::DataClassOf(editor);
    if (TQ32Control* control = Corvale::ControlOf(editor); Corvale::IsRegistered(control))
        data = control->VoskClass();
    if (data && data->InEdit())
        data->Post(true);
}

void TFormKorvexGundForm::KeyF2(QWidget* editor, TVoskDBGrid2* grid, int& Key) {
    QWidget* control = Corvale::KorvexFixInnerControl(editor);
    TKorvexLog::Warning(QStringLiteral("[F2]: TFormKorvexGundForm.FormKeyDown(") +
                        (control ? control->objectName() : QString()) + QStringLiteral(")"));
    if (auto* memo = qobject_cast<TVoskDBMemo*>(control)) {
        QueueF2ForMemoForm(memo);
        Key = 0;
        memo->EditAction();
        return;
    }
    if (grid) {
        Key = 0;
        try {
            grid->EndEdit(true);
            TVoskClass* data = grid->DataClass();
            if (data && data->Active() && !data->IsEmpty()) {
                // A column with its own button does what that button does: a register grid's
                // lookup then knows the row's register.
                const TVoskGridColumn* column =
                    grid->ColumnOf(data->FieldNames().value(grid->currentIndex().column()));
                if (column && column->FirstButtonVisible())
                    column->ButtonClick(0, grid);
                else
                    MakeF2(this, Corvale::GridColumn(grid, grid->currentIndex().column()), false,
                           false, QString(), QStringList(), QString(), {});
            }
        } catch (const EAbort&) {
        } catch (...) {
            const std::exception_ptr e = std::current_exception();
            Log(QStringLiteral("EXCEPTION: MODULFORM.KEYDOWN (F2)") + ExceptionText(e));
            Dunmere::VoskShowExceptionDialog(e, this);
        }
        return;
    }
    Key = 0;
    F2BtClick(control, 0);
}

void TFormKorvexGundForm::KeyF5(QWidget* active, QWidget* editor, int& Key) {
    QWidget* target = editor ? editor : active;
    auto* f5 = dynamic_cast<IControlF5*>(target);
    if (auto* refresh = dynamic_cast<IRefreshControl*>(target); f5 && refresh) {
        if (refresh->RefreshSecond())
            Key = 0;
        return;
    }
    auto* line = qobject_cast<QLineEdit*>(target);
    if (!line || line->isReadOnly())
        return;
    if (f5)
        f5->RefreshControl();
    line->end(false);
    line->selectAll();
    Key = 0;
}

// Up and Down in the tree's inline edit go to the node above or below with the typed value: the
// edited row takes it, the next row's editor opens with it, caret at the end, so the user carries
// a value down a column (Esc there brings back the row's own value).
void TFormKorvexGundForm::KeyTreeLine(TVoskDBTreeView2* tree, int& Key) {
    const bool down = Key == Qt::Key_Down;
    Key = 0;
    if (tree->FastLookupShowing()) {
        tree->HideFastLookup();
        return;
    }
    TVoskClass* data = tree->DataClass();
    QLineEdit* edit = tree->InlineEditor();
    if (!data || !edit)
        return;
    const QModelIndex from = tree->currentIndex();
    const QModelIndex to = down ? tree->indexBelow(from) : tree->indexAbove(from);
    if (!to.isValid())
        return;
    const int column = from.column();
    const QString value = edit->text();
    tree->EndEdit(true);
    // The class follows the view and posts the edited record; a refused post (the user was
    // told) keeps it there, and the user goes on editing it.
    tree->setCurrentIndex(to.siblingAtColumn(column));
    const bool moved = data->CurrentRow() == TVoskTreeListModel::RowOf(to);
    if (moved)
        data->RefreshRecord();
    const QModelIndex cell = tree->TreeModel()->IndexOfRow(data->CurrentRow(), column);
    if (!cell.isValid())
        return;
    tree->setCurrentIndex(cell);
    tree->edit(cell);
    QLineEdit* next = tree->InlineEditor();
    if (next && moved) {
        next->selectAll();
        next->insert(value);
    }
    if (next)
        next->end(false);
}

void TFormKorvexGundForm::FormKeyUp(QObject*, int& Key, Qt::KeyboardModifiers Shift) {
    QWidget* active = ActiveControl();
    TVoskDBTreeView2* tree = Corvale::TreeOfControl(active);
    if (!tree || tree->InlineEditor() != active || !tree->HasFastLookup())
        return;
    if (Key == Qt::Key_Up || Key == Qt::Key_Down) {
        Key = 0;
        return;
    }
    const QString text = tree->InlineEditor()->text();
    tree->SetFastLookupSelf(text);
    const Qt::KeyboardModifiers mods = Shift & ~Qt::KeypadModifier;
    const bool typed = Key == Qt::Key_Backspace || Key == Qt::Key_Space || Key == Qt::Key_Delete ||
                       ((Shift & Qt::KeypadModifier) && Key != Qt::Key_Enter) ||
                       (Key >= Qt::Key_0 && Key <= Qt::Key_9) ||
                       (Key >= Qt::Key_A && Key <= Qt::Key_Z) ||
                       (Key < 0x100 && QChar(Key).isLetter());
    if (!typed || (Key == Qt::Key_Q && mods == Qt::ControlModifier))
        return;
    // Two characters find too much to be of help.
    if (text.size() <= 2) {
        tree->HideFastLookup();
        return;
    }
    Log(QStringLiteral("FastF2 %1.%2: %3")
            .arg(objectName(), tree->objectName(), tree->FastLookupSelf()));
    tree->ReopenFastLookup();
}
