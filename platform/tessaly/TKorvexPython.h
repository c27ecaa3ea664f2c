#pragma once
// The scripting object of the class library: report scripts are Python programs run by a python3
// process of their own. CheckExecute compiles a script without running it; Execute runs a script
// file with a time limit and keeps what it printed (standard output and error in the order they
// came) and how it ended. The interpreter is the setting "PythonInterpreter" (default "python3"),
// the limit the setting "PythonTimeout" in seconds (default 120).
//
// Every process goes through TPythonEngine, the seam a test may replace to answer without python3.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

// A Python string literal that python3 reads back as exactly text, whatever it holds.
QString EscapePythonString(const QString& text);

// How a run ended.
struct TPythonRun {
    enum TStatus { Finished, NotStarted, TimedOut, Crashed };
    TStatus status = NotStarted;
    int exitCode = -1;
    QString output;
    bool Ok() const { return status == Finished && exitCode == 0; }
};

struct TPythonSource {
    QString name;
    QString source;
};
struct TPythonCheck {
    bool ok = false;
    QString message; // Python's complaint when not ok
};

class TPythonEngine {
public:
    virtual ~TPythonEngine() = default;
    // Compiles source (UTF-8, as a file called name) without running it; message holds Python's
    // complaint when it refuses. Throws a German EVoskException when no interpreter can be started.
    virtual bool Check(const QString& interpreter, const QString& source, const QString& name,
                       QString& message) = 0;
    // Compiles many sources in one process, sending them all before reading the answers.
    virtual std::vector<TPythonCheck> CheckAll(const QString& interpreter,
                                               const std::vector<TPythonSource>& sources);
    virtual TPythonRun Run(const QString& interpreter, const QString& scriptFile,
                           const QString& workingFolder, int timeoutMs) = 0;
    // While a batch is open, checks share one compiling process instead of one each.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}

    static TPythonEngine& Instance();
    static TPythonEngine* SetInstance(TPythonEngine* engine); // null: the real one
};

// Keeps the engine's batch open for its lifetime.
class TPythonCheckBatch final {
public:
    TPythonCheckBatch() { TPythonEngine::Instance().BeginBatch(); }
    ~TPythonCheckBatch() { TPythonEngine::Instance().EndBatch(); }
    TPythonCheckBatch(const TPythonCheckBatch&) = delete;
    TPythonCheckBatch& operator=(const TPythonCheckBatch&) = delete;
};

class TKorvexPython final : public QObject {
    Q_OBJECT
public:
    explicit TKorvexPython(QObject* parent = nullptr);

    // The forms the script was made for; kept for the script's context, not used by python3.
    void SetOwnerForm(QObject* form) { m_ownerForm = form; }
    void SetOwnerOwnerForm(QObject* form) { m_ownerOwnerForm = form; }
    QObject* OwnerForm() const { return m_ownerForm; }
    QObject* OwnerOwnerForm() const { return m_ownerOwnerForm; }

    // True when the script compiles; otherwise Output() holds Python's message.
    bool CheckExecute(const QString& script, const QString& name = QStringLiteral("<rtf_script>"));
    // One answer per source, in order; a check of many scripts at once.
    static std::vector<TPythonCheck> CheckExecuteAll(const std::vector<TPythonSource>& sources);
    // Runs the file; true when it ended by itself with exit status 0.
    bool Execute(const QString& scriptFile);
    const QString& Output() const { return m_run.output; }
    const TPythonRun& LastRun() const { return m_run; }
    // Why the last run failed, in German, naming the cause; empty after a good run.
    QString FailureText() const;

    static QString Interpreter();
    static int TimeoutSeconds();

private:
    QPointer<QObject> m_ownerForm, m_ownerOwnerForm;
    TPythonRun m_run;
    int m_timeoutSeconds = 0;
    QString m_interpreter;
};
