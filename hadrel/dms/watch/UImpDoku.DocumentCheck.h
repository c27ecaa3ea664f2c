#pragma once
// The change watch of a checked-out working copy, without widgets.
//
// TDocumentCheckSteps is the wait dialog's course, one step per second: it waits 9 s for the
// editing program to start, then watches up to 20 s whether the program holds the file; once it
// does, it waits 10 s more, shows the question and waits until the file is released. From then on
// (or when the file was never held) it looks at the file every second: deleted, unchanged or
// changed, and after 31 such looks it goes back to the question while the file is held again.
// Steps 110, 200 and 300 pass without waiting. "Yes" (take the changes back) is offered once the
// file exists with another write time than the check-out recorded, in the last phase only when
// it can also be read; "Abort" is off while the file is missing.
//
// TDocumentCheckRow is what a monitor row shows for its working copy at a timer tick.

#include <QDateTime>
#include <QString>

#include <functional>

// What the steps need to know of the working copy at one step.
struct TDocumentCheckFacts {
    bool exists = false;
    QDateTime lastWrite; // invalid when the file is missing
    bool inUse = false;  // an editing program holds it
    bool readable = false;
};

class TDocumentCheckSteps final {
public:
    // caption: the dialog's own caption; question: the message shown while the program works
    // on the file; fileName: the working copy, whose name stands under every message;
    // recorded: the file time the check-out recorded.
    TDocumentCheckSteps(QString caption, QString question, QString fileName, QDateTime recorded);

    // Runs the steps up to and including the next one that ends with the one-second wait; probe
    // reads the working copy once per step.
    void Tick(const std::function<TDocumentCheckFacts()>& probe);

    int Step() const { return m_step; } // the step the next tick starts with
    const QString& Caption() const { return m_view.caption; }
    const QString& Message() const { return m_view.message; }
    bool YesEnabled() const { return m_view.yesEnabled; }
    bool AbortEnabled() const { return m_view.abortEnabled; }

    static QString ChangedText() { return QStringLiteral("Änderungen ins DMS übernehmen?"); }
    static QString DeletedText() { return QStringLiteral("Änderungsdokument wurde gelöscht."); }
    static QString UnchangedText() { return QStringLiteral("Warte auf Änderungen des Dokuments."); }

private:
    struct View {
        QString caption;
        QString message;
        bool yesEnabled = true;
        bool abortEnabled = true;
    };
    QString withName(const QString& text) const;

    QString m_caption;
    QString m_question;
    QString m_fileName;
    QDateTime m_recorded;
    int m_step = 1;
    View m_view;
};

// The state of a monitor row: the working copy is missing (maroon, "unlock"), unchanged since
// the check-out (plain, "unlock"), or changed (green, "take the changes back").
enum class TDocumentCheckRowState { Missing, Unchanged, Changed };

// recordedText: the file time text the row keeps; currentText: the copy's file time now as the
// same kind of text, empty when the copy is missing.
TDocumentCheckRowState DocumentCheckRowState(const QString& recordedText,
                                             const QString& currentText);

// A row's hint "file time text|file name" in its two parts; the name may hold bars itself.
struct TDocumentCheckHint {
    QString timeText;
    QString fileName;
};
QString DocumentCheckHint(const QString& timeText, const QString& fileName);
TDocumentCheckHint SplitDocumentCheckHint(const QString& hint);
