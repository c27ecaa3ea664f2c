#pragma once
// The SQL editor with its own highlighter, a syntax check that runs nothing, and a drop of text.
// The check shows a balloon on success; on an error it points at the character the server named
// and says line and column, or says what the server said when it named none.

#include <QFrame>

#include <functional>

class QMimeData;
class QPoint;
class TVoskBalloonHint;
class TVoskMenuItem;
class TVoskPopupMenu;
class TVoskSQLMemo;

class TFrameSQLEditor final : public QFrame {
    Q_OBJECT
public:
    explicit TFrameSQLEditor(QObject* owner, QWidget* parent = nullptr);

    // Components, in the order of the frame's resource.
    TVoskSQLMemo* SQLMemo;
    TVoskBalloonHint* BalloonHint;
    TVoskPopupMenu* pmSQLMemo;
    TVoskMenuItem* moSyntaxPruefung;

    std::function<void(QObject* sender)> _OnSQLTextChanged;

    void moSyntaxPruefungClick();
    // The text a drop inserts: what was dragged; empty when the drag holds no text.
    static QString DropText(const QMimeData* data);
    // Inserts text at pos (viewport coordinates) and selects it.
    void DropAt(const QPoint& pos, const QString& text);

    // Texts of the check.
    static QString SuccessText();
    static QString PositionErrorText(int line, int column);
    static QString ErrorText(const QString& message);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveCaretTo(const QPoint& pos);
};

namespace UFrameSQLEditor {
// Puts `TFrameSQLEditor` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UFrameSQLEditor
