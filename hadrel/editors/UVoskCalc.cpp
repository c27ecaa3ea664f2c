#include "UVoskCalc.h"

#include "Korvexutils.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

QPointer<QWidget> TVoskCalc::FEditControl;
QPointer<Vcl::TForm> TVoskCalc::FCalcForm;
QPointer<QLineEdit> TVoskCalc::FCalcEdit;
QPointer<TVoskCalculator> TVoskCalc::FCalculator;

namespace {

// The calculator form previews the keys of all its children.
class TCalcForm final : public Vcl::TForm {
public:
    using Vcl::TForm::TForm;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            // DoKeyDown leaves the event accepted when the key is for key-press handling.
            auto* k = static_cast<QKeyEvent*>(e);
            QPointer<QObject> self(this);
            TVoskCalc::DoKeyDown(k);
            if (self && k->isAccepted())
                TVoskCalc::DoKeyPress(k);
            return true;
        }
        if (e->type() == QEvent::KeyRelease) {
            TVoskCalc::DoKeyUp(static_cast<QKeyEvent*>(e));
            return true;
        }
        return Vcl::TForm::eventFilter(watched, e);
    }
};

QString ClassChain(QWidget* w) {
    QStringList names;
    for (QObject* o = w; o; o = o->parent())
        names << Vcl::ClassName(o);
    return names.join(u' ').trimmed();
}

} // namespace

TVoskCalculator::TVoskCalculator(QLineEdit* display, QWidget* parent)
    : QWidget(parent), m_display(display) {
    setObjectName(QStringLiteral("FCalculator"));
    setFocusPolicy(Qt::NoFocus);
    auto* grid = new QGridLayout(this);
    grid->setSpacing(3);
    grid->setContentsMargins(4, 4, 4, 4);
    struct Btn {
        const char* face;
        const char* tip;
        void (TVoskCalcEngine::*op)();
        int digit;
    };
    using E = TVoskCalcEngine;
    const Btn buttons[5][6] = {
        {{"MC", "Speicher löschen", &E::MemoryClear, -1}, {"7", nullptr, nullptr, 7},
         {"8", nullptr, nullptr, 8}, {"9", nullptr, nullptr, 9}, {"÷", "Teilen", nullptr, -2},
         {"√", "Quadratwurzel", &E::Sqrt, -1}},
        {{"MR", "Speicher abrufen", &E::MemoryRecall, -1}, {"4", nullptr, nullptr, 4},
         {"5", nullptr, nullptr, 5}, {"6", nullptr, nullptr, 6}, {"×", "Malnehmen", nullptr, -3},
         {"%", "Prozent", &E::Percent, -1}},
        {{"MS", "Im Speicher ablegen", &E::MemoryStore, -1}, {"1", nullptr, nullptr, 1},
         {"2", nullptr, nullptr, 2}, {"3", nullptr, nullptr, 3}, {"−", "Abziehen", nullptr, -4},
         {"1/x", "Kehrwert", &E::Reciprocal, -1}},
        {{"M+", "Zum Speicher addieren", &E::MemoryAdd, -1}, {"0", nullptr, nullptr, 0},
         {"±", "Vorzeichen wechseln", &E::Negate, -1}, {",", "Dezimalkomma", &E::Comma, -1},
         {"+", "Addieren", nullptr, -5}, {"=", "Ergebnis", &E::Equals, -1}},
        {{"←", "Letzte Ziffer löschen", &E::Backspace, -1}, {"CE", "Eingabe löschen", &E::ClearEntry, -1},
         {"C", "Alles löschen", &E::Clear, -1}, {nullptr, nullptr, nullptr, -1},
         {nullptr, nullptr, nullptr, -1}, {nullptr, nullptr, nullptr, -1}}};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 6; ++c) {
            const Btn& b = buttons[r][c];
            if (!b.face)
                continue;
            auto* bt = new QToolButton(this);
            bt->setFocusPolicy(Qt::NoFocus);
            bt->setText(QString::fromUtf8(b.face));
            bt->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            const QString tip = b.tip ? QString::fromUtf8(b.tip)
                                      : QStringLiteral("Ziffer %1").arg(b.digit);
            bt->setToolTip(tip);
            bt->setAccessibleName(tip);
            const int digit = b.digit;
            const auto op = b.op;
            connect(bt, &QToolButton::clicked, this, [this, digit, op] {
                if (digit >= 0)
                    m_engine.Digit(digit);
                else if (digit <= -2)
                    m_engine.Operator(digit == -2   ? E::Div
                                      : digit == -3 ? E::Mul
                                      : digit == -4 ? E::Sub
                                                    : E::Add);
                else if (op)
                    (m_engine.*op)();
                SetEditorValue(m_engine.Display());
            });
            grid->addWidget(bt, r, c);
        }
    SetEditorValue(m_engine.Display());
}

QString TVoskCalculator::GetEditorValue() const { return m_display ? m_display->text() : QString(); }

void TVoskCalculator::SetEditorValue(const QString& value) {
    if (!m_display)
        return;
    m_display->setText(value);
    m_display->end(false);
}

void TVoskCalculator::Run(void (TVoskCalcEngine::*op)()) {
    (m_engine.*op)();
    SetEditorValue(m_engine.Display());
}

void TVoskCalculator::PressEquals() { Run(&TVoskCalcEngine::Equals); }
void TVoskCalculator::PressClear() { Run(&TVoskCalcEngine::Clear); }

bool TVoskCalculator::KeyDown(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Backspace: Run(&TVoskCalcEngine::Backspace); return true;
    case Qt::Key_Delete: Run(&TVoskCalcEngine::ClearEntry); return true;
    default: return false;
    }
}

bool TVoskCalculator::KeyPress(QKeyEvent* e) {
    const QString t = e->text();
    if (t.size() != 1)
        return false;
    const QChar c = t[0];
    if (c.isDigit() && c.unicode() < 0x80)
        m_engine.Digit(c.digitValue());
    else if (c == u',' || c == u'.')
        m_engine.Comma();
    else if (c == u'+')
        m_engine.Operator(TVoskCalcEngine::Add);
    else if (c == u'-')
        m_engine.Operator(TVoskCalcEngine::Sub);
    else if (c == u'*')
        m_engine.Operator(TVoskCalcEngine::Mul);
    else if (c == u'/')
        m_engine.Operator(TVoskCalcEngine::Div);
    else if (c == u'=')
        m_engine.Equals();
    else if (c == u'%')
        m_engine.Percent();
    else
        return false;
    SetEditorValue(m_engine.Display());
    return true;
}

bool TVoskCalc::IsVisible() { return !FCalcForm.isNull(); }

void TVoskCalc::Open(QWidget* EditControl) {
    Close(false, nullptr);
    FEditControl = EditControl ? EditControl : QApplication::focusWidget();
    if (!FEditControl)
        return;
    QWidget* form = Korvexutils::KorvexGetForm(FEditControl, false, false);
    auto* f = new TCalcForm(form, form);
    f->setObjectName(QStringLiteral("FCalcForm"));
    f->SetBorderStyle(Vcl::bsDialog);
    f->setWindowTitle(QStringLiteral("Taschenrechner"));
    f->OnClose = [](QObject*, Vcl::TCloseAction& action) {
        FCalcForm = nullptr;
        action = Vcl::caFree;
    };
    auto* box = new QVBoxLayout(f);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* edit = new QLineEdit(f);
    edit->setObjectName(QStringLiteral("FCalcEdit"));
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    edit->setToolTip(QStringLiteral("Anzeige des Taschenrechners"));
    edit->setAccessibleName(QStringLiteral("Anzeige"));
    box->addWidget(edit);
    auto* calc = new TVoskCalculator(edit, f);
    box->addWidget(calc, 1);
    FCalcForm = f;
    FCalcEdit = edit;
    FCalculator = calc;
    edit->installEventFilter(f);
    calc->installEventFilter(f);
    f->installEventFilter(f);
    f->resize(270, 200);
    const QRect over = form ? form->frameGeometry() : QRect();
    if (form)
        f->move(over.left() + over.width() / 2 - f->width() / 2,
                over.top() + over.height() / 2 - f->height() / 2);
    f->show();
    edit->setFocus();
}

void TVoskCalc::Close(bool SaveValue, QWidget* EditControl) {
    if (!FCalcForm)
        return;
    try {
        if (EditControl)
            FEditControl = EditControl;
        if (SaveValue && FEditControl && FCalculator) {
            FCalculator->PressEquals();
            // "Division durch 0" and "Überlauf" are no values: the control keeps its own.
            if (!FCalculator->Engine().HasError() &&
                !Korvexutils::SetControlValue(FCalculator->GetEditorValue(), FEditControl))
                Korvexutils::RaiseCriticalError(QStringLiteral("nicht implementiert (") +
                                                ClassChain(FEditControl) + QStringLiteral(")"));
        }
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        try {
            Korvexutils::RaiseCriticalError(QStringLiteral("TVoskCalc.Close: \r\n") +
                                            QString::fromUtf8(e.what()));
        } catch (const EAbort&) {
        }
    }
    if (Vcl::TForm* f = FCalcForm) {
        FCalcForm = nullptr;
        f->Close();
    }
}

void TVoskCalc::DoKeyDown(QKeyEvent* e) {
    Vcl::TForm* f = FCalcForm;
    if (!f)
        return;
    const QRect area = (f->screen() ? f->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const QRect g = f->frameGeometry();
    e->setAccepted(false); // handled here unless passed on below
    switch (e->key()) {
    case Qt::Key_Left: f->move(std::max(g.left() - 50, area.left()), g.top()); return;
    case Qt::Key_Right:
        f->move(std::min(g.left() + 50, area.right() + 1 - g.width()), g.top());
        return;
    case Qt::Key_Up: f->move(g.left(), std::max(g.top() - 50, area.top())); return;
    case Qt::Key_Down:
        f->move(g.left(), std::min(g.top() + 50, area.bottom() + 1 - g.height()));
        return;
    case Qt::Key_T:
        if (e->modifiers() == Qt::ControlModifier) {
            Close(true, nullptr);
            return;
        }
        break;
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape:
        e->setAccepted(true); // on key-press
        return;
    default: break;
    }
    if (FCalculator && FCalculator->KeyDown(e))
        return;
    e->setAccepted(true);
}

void TVoskCalc::DoKeyPress(QKeyEvent* e) {
    if (!FCalculator)
        return;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        const QString before = FCalculator->GetEditorValue();
        FCalculator->PressEquals();
        if (FCalculator->GetEditorValue() == before)
            Close(true, nullptr);
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        const QString before = FCalculator->GetEditorValue();
        FCalculator->PressClear();
        if (FCalculator->GetEditorValue() == before)
            Close(false, nullptr);
        return;
    }
    FCalculator->KeyPress(e);
}

void TVoskCalc::DoKeyUp(QKeyEvent* e) {
    if (FCalculator && e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter &&
        e->key() != Qt::Key_Escape)
        FCalculator->KeyUp(e);
}

KORVEX_UNIT("hadrel", "UVoskCalc", [] {}, [] { TVoskCalc::Close(false, nullptr); });
