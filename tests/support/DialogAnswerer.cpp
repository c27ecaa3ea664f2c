#include "DialogAnswerer.h"

#include "Vcl.Registry.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {
std::string Describe(const Vcl::TQuestion& q) {
    return QStringLiteral("%1 \"%2\": \"%3\"")
        .arg(Vcl::EnumName(q.kind), q.caption, q.text)
        .toStdString();
}
} // namespace

DialogAnswerer::DialogAnswerer()
    : m_oldDialogs(Vcl::Dialogs::SetInstance(this)),
      m_oldFileDialogs(Vcl::FileDialogs::SetInstance(this)),
      m_oldShell(Vcl::Shell::SetInstance(this)), m_oldClipboard(Vcl::Clipboard::SetInstance(this)) {
}

DialogAnswerer::~DialogAnswerer() {
    Vcl::Dialogs::SetInstance(m_oldDialogs);
    Vcl::FileDialogs::SetInstance(m_oldFileDialogs);
    Vcl::Shell::SetInstance(m_oldShell);
    Vcl::Clipboard::SetInstance(m_oldClipboard);
    for (const Expectation& e : m_queue)
        ADD_FAILURE() << (e.file ? "expected file dialog never shown: \""
                                 : "expected question never asked: \"")
                      << e.part.toStdString() << "\"";
}

DialogAnswerer& DialogAnswerer::Expect(const QString& textPart, Vcl::TModalResult answer) {
    m_queue.push_back({false, textPart, answer, {}});
    return *this;
}

DialogAnswerer& DialogAnswerer::ExpectDontAsk(const QString& textPart,
                                              Vcl::TModalResult answer) {
    m_queue.push_back({false, textPart, answer, {}, 0, true});
    return *this;
}

DialogAnswerer& DialogAnswerer::ExpectFile(const QString& captionPart, const QStringList& paths) {
    m_queue.push_back({true, captionPart, Vcl::mrNone, paths});
    return *this;
}

DialogAnswerer& DialogAnswerer::ExpectSave(const QString& captionPart, const QString& path,
                                           int filterIndex) {
    m_queue.push_back({true, captionPart, Vcl::mrNone, {path}, filterIndex});
    return *this;
}

Vcl::TModalResult DialogAnswerer::Ask(const Vcl::TQuestion& question) {
    m_questions.push_back(question);
    if (m_queue.empty()) {
        ADD_FAILURE() << "unexpected question " << Describe(question);
        return Vcl::mrCancel;
    }
    const Expectation& next = m_queue.front();
    if (next.file || !question.text.contains(next.part)) {
        ADD_FAILURE() << "question " << Describe(question) << " where "
                      << (next.file ? "a file dialog"
                                    : "a question containing \"" + next.part.toStdString() + "\"")
                      << " was expected";
        return Vcl::mrCancel;
    }
    if (question.checkBoxChecked)
        *question.checkBoxChecked = next.tick;
    if (next.tick && (question.checkBoxCaption.isEmpty() || !question.checkBoxChecked))
        ADD_FAILURE() << "question " << Describe(question) << " offers no box to tick";
    const Vcl::TModalResult answer = next.answer;
    m_queue.pop_front();
    return answer;
}

QStringList DialogAnswerer::AnswerFile(const QString& kind, const Vcl::TFileRequest& request) {
    m_fileDialogs.push_back({kind, request});
    const std::string what = (kind + " dialog \"" + request.caption + "\"").toStdString();
    if (m_queue.empty()) {
        ADD_FAILURE() << "unexpected " << what;
        return {};
    }
    const Expectation& next = m_queue.front();
    if (!next.file || !request.caption.contains(next.part)) {
        ADD_FAILURE() << what << " where " << (next.file ? "a file dialog" : "a question")
                      << " containing \"" << next.part.toStdString() << "\" was expected";
        return {};
    }
    const QStringList paths = next.paths;
    if (request.chosenFilter)
        *request.chosenFilter = next.filter > 0 ? next.filter : qMax(1, request.filterIndex);
    m_queue.pop_front();
    return paths;
}

QString DialogAnswerer::OpenFile(const Vcl::TFileRequest& request) {
    const QStringList paths = AnswerFile(QStringLiteral("open"), request);
    return paths.value(0);
}

QStringList DialogAnswerer::OpenFiles(const Vcl::TFileRequest& request) {
    return AnswerFile(QStringLiteral("openMany"), request);
}

QString DialogAnswerer::SaveFile(const Vcl::TFileRequest& request) {
    return AnswerFile(QStringLiteral("save"), request).value(0);
}

QString DialogAnswerer::ChooseFolder(const Vcl::TFileRequest& request) {
    return AnswerFile(QStringLiteral("folder"), request).value(0);
}

bool DialogAnswerer::Launch(const QString& program, const QStringList& arguments,
                            const QString& workingFolder) {
    m_launched.push_back({program, arguments, workingFolder, false});
    return m_shellSucceeds;
}

Vcl::TRunResult DialogAnswerer::Run(const QString& program, const QStringList& arguments, int) {
    m_launched.push_back({program, arguments, {}, true});
    return m_runResult;
}

bool DialogAnswerer::OpenUrl(const QUrl& url) {
    m_opened.append(url);
    return m_shellSucceeds;
}

TempRegistry::TempRegistry() : m_oldFolder(Vcl::TRegistry::SetBaseFolder(m_dir.path())) {}

TempRegistry::~TempRegistry() {
    Vcl::TRegistry::SetBaseFolder(m_oldFolder);
}

QString TempRegistry::FileName() const {
    return Vcl::TRegistry::FileName();
}

} // namespace testsupport
