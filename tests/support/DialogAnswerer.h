#pragma once
// Test stand-ins for the user: DialogAnswerer installs itself as every user-facing service of the
// component layer for its lifetime. It answers questions and file dialogs in the order the test
// queued them and records what was asked, launched, opened and copied. A question or file dialog
// that nobody expected fails the running test and is answered with mrCancel (or no file); an
// expectation still queued when the answerer ends fails the test too.
//
// TempRegistry points TRegistry at a fresh temporary folder for its lifetime.

#include "Vcl.Services.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <deque>
#include <vector>

namespace testsupport {

class DialogAnswerer final : public Vcl::Dialogs,
                             public Vcl::FileDialogs,
                             public Vcl::Shell,
                             public Vcl::Clipboard {
public:
    DialogAnswerer();
    ~DialogAnswerer() override;
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The next question must contain textPart (an empty part matches any question).
    DialogAnswerer& Expect(const QString& textPart, Vcl::TModalResult answer);
    DialogAnswerer& ExpectAny(Vcl::TModalResult answer) { return Expect({}, answer); }
    // As Expect, with the question's "Nicht mehr fragen" box ticked; a question that offers no
    // such box fails the test.
    DialogAnswerer& ExpectDontAsk(const QString& textPart, Vcl::TModalResult answer);
    // The next file dialog (its caption containing captionPart) returns these paths; none cancels.
    DialogAnswerer& ExpectFile(const QString& captionPart, const QStringList& paths);
    // The next save dialog returns path with the filter the user picked (1-based).
    DialogAnswerer& ExpectSave(const QString& captionPart, const QString& path, int filterIndex);
    int Pending() const { return int(m_queue.size()); }

    struct LaunchRecord {
        QString program;
        QStringList arguments;
        QString workingFolder;
        bool waited = false; // through Run
    };
    struct FileDialog {
        QString kind; // "open", "openMany", "save", "folder"
        Vcl::TFileRequest request;
    };
    const std::vector<Vcl::TQuestion>& Questions() const { return m_questions; }
    const std::vector<FileDialog>& FileDialogsShown() const { return m_fileDialogs; }
    const std::vector<LaunchRecord>& Launched() const { return m_launched; }
    const QList<QUrl>& OpenedUrls() const { return m_opened; }
    // What Launch and OpenUrl report back; true unless a test sets otherwise.
    void SetShellSucceeds(bool succeeds) { m_shellSucceeds = succeeds; }
    // What Run reports back; a program that still runs unless a test sets otherwise.
    void SetRunResult(const Vcl::TRunResult& result) { m_runResult = result; }

    Vcl::TModalResult Ask(const Vcl::TQuestion& question) override;
    QString OpenFile(const Vcl::TFileRequest& request) override;
    QStringList OpenFiles(const Vcl::TFileRequest& request) override;
    QString SaveFile(const Vcl::TFileRequest& request) override;
    QString ChooseFolder(const Vcl::TFileRequest& request) override;
    bool Launch(const QString& program, const QStringList& arguments,
                const QString& workingFolder) override;
    bool OpenUrl(const QUrl& url) override;
    Vcl::TRunResult Run(const QString& program, const QStringList& arguments,
                        int waitMs) override;
    // A clipboard of its own, so tests neither see nor change the session's.
    QString Text() const override { return m_clipboard; }
    void SetText(const QString& text) override { m_clipboard = text; }

private:
    struct Expectation {
        bool file = false;
        QString part;
        Vcl::TModalResult answer = Vcl::mrNone;
        QStringList paths;
        int filter = 0;
        bool tick = false;
    };
    QStringList AnswerFile(const QString& kind, const Vcl::TFileRequest& request);

    std::deque<Expectation> m_queue;
    std::vector<Vcl::TQuestion> m_questions;
    std::vector<FileDialog> m_fileDialogs;
    std::vector<LaunchRecord> m_launched;
    QList<QUrl> m_opened;
    QString m_clipboard;
    bool m_shellSucceeds = true;
    Vcl::TRunResult m_runResult{true, false, 0, {}};
    Vcl::Dialogs* m_oldDialogs;
    Vcl::FileDialogs* m_oldFileDialogs;
    Vcl::Shell* m_oldShell;
    Vcl::Clipboard* m_oldClipboard;
};

class TempRegistry final {
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    QString Folder() const { return m_dir.path(); }
    QString FileName() const;

private:
    QTemporaryDir m_dir;
    QString m_oldFolder;
};

} // namespace testsupport
