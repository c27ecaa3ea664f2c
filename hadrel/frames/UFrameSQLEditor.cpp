#include "UFrameSQLEditor.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include <Korvexutils.h>
#include <TVoskBalloonHint.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <UVoskSQLMemo.h>
#include <Vcl.Components.h>
#include <Vcl.Services.h>
#include <VoskExceptionHelper.h>
#include <VoskExceptions.h>

#include <EventGuard.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QVBoxLayout>

TFrameSQLEditor::TFrameSQLEditor(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameSQLEditor"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    SQLMemo = Vcl::Owned(this, new TVoskSQLMemo(this), QStringLiteral("SQLMemo"));
    SQLMemo->SetFeatures(smfInternHighlighter);
    SQLMemo->SetCHintSep(QChar());
    SQLMemo->SetCLineBreak(QChar());
    SQLMemo->setAccessibleName(QStringLiteral("SQL"));
    SQLMemo->setToolTip(QStringLiteral("SQL-Anweisung; Syntaxprüfung über das Kontextmenü"));
    layout->addWidget(SQLMemo);

    BalloonHint = Vcl::Owned(this, new TVoskBalloonHint(this), QStringLiteral("BalloonHint"));
    BalloonHint->SetTitle(SuccessText());

    pmSQLMemo = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmSQLMemo"));
    moSyntaxPruefung = Vcl::Owned(this, pmSQLMemo->AddItem(QStringLiteral("Syntaxprüfung")),
                                  QStringLiteral("moSyntaxPrüfung"));
    moSyntaxPruefung->setToolTip(QStringLiteral("Die SQL-Anweisung prüfen, ohne sie auszuführen"));
    connect(moSyntaxPruefung, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { moSyntaxPruefungClick(); }, this); });
    SQLMemo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SQLMemo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { pmSQLMemo->popup(SQLMemo->mapToGlobal(p)); });

    connect(SQLMemo, &QsciScintilla::textChanged, this, [this] {
        if (_OnSQLTextChanged)
            _OnSQLTextChanged(this);
    });
    SQLMemo->setAcceptDrops(true);
    SQLMemo->viewport()->setAcceptDrops(true);
    SQLMemo->viewport()->installEventFilter(this);
}

QString TFrameSQLEditor::SuccessText() {
    return QStringLiteral("Syntaxprüfung erfolgreich durchgeführt.");
}

QString TFrameSQLEditor::PositionErrorText(int line, int column) {
    return QStringLiteral("Fehler bei Syntaxprüfung:%1Zeile: %2, Zeichen: %3")
        .arg(QStringLiteral("\n"))
        .arg(line)
        .arg(column);
}

QString TFrameSQLEditor::ErrorText(const QString& message) {
    return QStringLiteral("Fehler bei Syntaxprüfung: \n") + message;
}

void TFrameSQLEditor::moSyntaxPruefungClick() {
    USqlCheck::TSqlCheckResult r;
    try {
        TDM1* dm = DM1();
        if (!dm || !dm->Connected())
            throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
        // Parsed and prepared by the server inside a transaction that is rolled back: the
        // statement is never run.
        r = USqlCheck::CheckSql(dm->Database(), SQLMemo->text());
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              QStringLiteral("TFrameSQLEditor.moSyntaxPrüfungClick"));
        Vcl::Ask(Vcl::mtWarning, {}, ErrorText(Rtl::ExceptionMessage(std::current_exception())),
                 Vcl::mbOK);
        return;
    }
    if (r.ok) {
        BalloonHint->SetTitle(r.notCheckable ? r.message : SuccessText());
        BalloonHint->ShowHint(SQLMemo, SQLMemo->rect().bottomRight());
        return;
    }
    QApplication::beep();
    if (r.position <= 0) {
        Vcl::Ask(Vcl::mtWarning, {}, ErrorText(r.message), Vcl::mbOK);
        return;
    }
    // The position counts UTF-16 units of the text from 1; the editor and the user count the
    // characters of a line from 0 and 1, a character outside the BMP being one.
    const QString text = SQLMemo->text();
    const int at = std::clamp(r.position - 1, 0, int(text.size()));
    const int lineStart = at == 0 ? 0 : int(text.lastIndexOf(QLatin1Char('\n'), at - 1)) + 1;
    const int line = int(QStringView(text).left(lineStart).count(QLatin1Char('\n')));
    const int column = int(QStringView(text).mid(lineStart, at - lineStart).toUcs4().size());
    SQLMemo->setFocus();
    SQLMemo->setSelection(line, column, line, column + 1);
    SQLMemo->ensureCursorVisible();
    Vcl::Ask(Vcl::mtWarning, {}, PositionErrorText(line + 1, column + 1), Vcl::mbOK);
}

QString TFrameSQLEditor::DropText(const QMimeData* data) {
    return data && data->hasText() ? data->text() : QString();
}

void TFrameSQLEditor::moveCaretTo(const QPoint& pos) {
    const long p = SQLMemo->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                          (unsigned long)pos.x(), (long)pos.y());
    int line = 0, index = 0;
    SQLMemo->lineIndexFromPosition(int(p), &line, &index);
    SQLMemo->setCursorPosition(line, index);
}

void TFrameSQLEditor::DropAt(const QPoint& pos, const QString& text) {
    if (text.isEmpty())
        return;
    moveCaretTo(pos);
    int line = 0, index = 0;
    SQLMemo->getCursorPosition(&line, &index);
    const int start = SQLMemo->positionFromLineIndex(line, index);
    SQLMemo->insertAt(text, line, index);
    int endLine = 0, endIndex = 0;
    SQLMemo->lineIndexFromPosition(start + int(text.toUtf8().size()), &endLine, &endIndex);
    SQLMemo->setSelection(line, index, endLine, endIndex);
    SQLMemo->setFocus();
}

bool TFrameSQLEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != SQLMemo->viewport())
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (DropText(e->mimeData()).isEmpty()) {
            e->ignore();
            return true;
        }
        e->acceptProposedAction();
        moveCaretTo(e->position().toPoint());
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QString text = DropText(e->mimeData());
        if (text.isEmpty()) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        Rtl::Guarded([&] { DropAt(e->position().toPoint(), text); }, this);
        return true;
    }
    default: return QFrame::eventFilter(watched, event);
    }
}

namespace UFrameSQLEditor {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"), {Vcl::ComponentClass<TFrameSQLEditor>()});
}

} // namespace UFrameSQLEditor

KORVEX_UNIT("hadrel", "UFrameSQLEditor", nullptr, nullptr, &UFrameSQLEditor::Register);
