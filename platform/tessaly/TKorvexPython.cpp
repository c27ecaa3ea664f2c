#include "TKorvexPython.h"

#include <UDM1.h>
#include <VoskExceptions.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

QString EscapePythonString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'\'';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            // A lone half cannot be written as UTF-8; the escape keeps it.
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else if (u == '\\') {
            out += QStringLiteral("\\\\");
        } else if (u == '\'') {
            out += QStringLiteral("\\'");
        } else if (u == '\n') {
            out += QStringLiteral("\\n");
        } else if (u == '\r') {
            out += QStringLiteral("\\r");
        } else if (u == '\t') {
            out += QStringLiteral("\\t");
        } else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029 ||
                   u == 0xfeff) {
            // Control and invisible characters stay visible in the script file.
            out += u <= 0xff ? QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += u'\'';
    return out;
}

namespace {

// Reads framed sources from standard input and answers each with "OK" or the complaint, so that
// one process compiles any number of scripts.
constexpr auto kCheckerSource = R"PY(
import sys, traceback
inp, out = sys.stdin.buffer, sys.stdout.buffer
while True:
    head = inp.readline()
    if not head:
        break
    size, _, name = head.decode('utf-8').rstrip('\n').partition(' ')
    src = inp.read(int(size))
    try:
        compile(src, name, 'exec', dont_inherit=True)
        answer = 'OK'
    except BaseException as e:
        answer = 'ERR ' + ''.join(traceback.format_exception_only(type(e), e))
    data = answer.encode('utf-8', 'backslashreplace')
    out.write(str(len(data)).encode() + b'\n' + data)
    out.flush()
)PY";

void startInOwnGroup(QProcess& p) {
    // A group of its own, so that a time-out ends whatever the script started as well.
    p.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void killGroup(QProcess& p) {
    const qint64 pid = p.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    p.kill();
}

QProcessEnvironment pythonEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONUTF8"), QStringLiteral("1"));
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    return env;
}

EVoskException notStarted(const QString& interpreter, const QString& why) {
    return EVoskException(
        QStringLiteral("Python (\"%1\") kann nicht gestartet werden: %2").arg(interpreter, why));
}

// The checker process of a batch, or of a single check.
class Checker final {
public:
    explicit Checker(const QString& interpreter) : m_interpreter(interpreter) {
        m_proc.setProcessEnvironment(pythonEnvironment());
        m_proc.setProcessChannelMode(QProcess::SeparateChannels);
        startInOwnGroup(m_proc);
        m_proc.start(interpreter, {QStringLiteral("-I"), QStringLiteral("-c"),
                                   QString::fromLatin1(kCheckerSource)});
        if (!m_proc.waitForStarted(30000))
            throw notStarted(interpreter, m_proc.errorString());
    }
    ~Checker() {
        m_proc.closeWriteChannel();
        if (!m_proc.waitForFinished(2000))
            killGroup(m_proc);
        m_proc.waitForFinished(1000);
    }
    const QString& Interpreter() const { return m_interpreter; }

    bool Check(const QString& source, const QString& name, QString& message) {
        send(source, name);
        return receive(message);
    }

    // All sources go out first; QProcess keeps writing them while the answers are read.
    std::vector<TPythonCheck> CheckAll(const std::vector<TPythonSource>& sources) {
        for (const TPythonSource& s : sources)
            send(s.source, s.name);
        std::vector<TPythonCheck> answers(sources.size());
        for (TPythonCheck& a : answers)
            a.ok = receive(a.message);
        return answers;
    }

private:
    void send(const QString& source, const QString& name) {
        QString safeName = name;
        safeName.replace(u'\n', u' ').replace(u'\r', u' ');
        const QByteArray src = source.toUtf8();
        m_proc.write(QByteArray::number(src.size()) + ' ' + safeName.toUtf8() + '\n' + src);
    }

    bool receive(QString& message) {
        const QByteArray head = readLine();
        bool ok = false;
        const int size = head.trimmed().toInt(&ok);
        if (!ok)
            throw notStarted(m_interpreter, QString::fromUtf8(m_proc.readAllStandardError()));
        const QString answer = QString::fromUtf8(readBytes(size));
        if (answer == QLatin1String("OK")) {
            message.clear();
            return true;
        }
        message = answer.mid(4).trimmed();
        return false;
    }

    void waitForData() {
        if (!m_proc.waitForReadyRead(60000))
            throw notStarted(m_interpreter,
                             QStringLiteral("keine Antwort (%1)")
                                 .arg(QString::fromUtf8(m_proc.readAllStandardError()).trimmed()));
    }
    QByteArray readLine() {
        while (!m_proc.canReadLine())
            waitForData();
        return m_proc.readLine();
    }
    QByteArray readBytes(int size) {
        QByteArray data;
        while (data.size() < size) {
            if (m_proc.bytesAvailable() == 0)
                waitForData();
            data += m_proc.read(size - data.size());
        }
        return data;
    }

    QString m_interpreter;
    QProcess m_proc;
};

class ProcessEngine final : public TPythonEngine {
public:
    bool Check(const QString& interpreter, const QString& source, const QString& name,
               QString& message) override {
        if (m_batch > 0) {
            if (!m_checker || m_checker->Interpreter() != interpreter)
                m_checker = std::make_unique<Checker>(interpreter);
            return m_checker->Check(source, name, message);
        }
        Checker single(interpreter);
        return single.Check(source, name, message);
    }

    std::vector<TPythonCheck> CheckAll(const QString& interpreter,
                                       const std::vector<TPythonSource>& sources) override {
        if (m_batch > 0) {
            if (!m_checker || m_checker->Interpreter() != interpreter)
                m_checker = std::make_unique<Checker>(interpreter);
            return m_checker->CheckAll(sources);
        }
        Checker single(interpreter);
        return single.CheckAll(sources);
    }

    TPythonRun Run(const QString& interpreter, const QString& scriptFile,
                   const QString& workingFolder, int timeoutMs) override {
        TPythonRun run;
        QProcess p;
        p.setProcessEnvironment(pythonEnvironment());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setStandardInputFile(QProcess::nullDevice());
        if (!workingFolder.isEmpty())
            p.setWorkingDirectory(workingFolder);
        startInOwnGroup(p);
        QByteArray out;
        QEventLoop loop;
        QObject::connect(&p, &QProcess::readyRead, &loop, [&] { out += p.readAll(); });
        QObject::connect(&p, &QProcess::finished, &loop, [&] { loop.quit(); });
        QTimer limit;
        limit.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            killGroup(p);
            loop.quit();
        });
        p.start(interpreter, {scriptFile});
        if (!p.waitForStarted(30000)) {
            run.status = TPythonRun::NotStarted;
            run.output = p.errorString();
            return run;
        }
        limit.start(timeoutMs);
        // Painting goes on while the script runs; the user's input waits for its end.
        if (p.state() != QProcess::NotRunning)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (p.state() != QProcess::NotRunning)
            p.waitForFinished(5000);
        out += p.readAll();
        run.output = QString::fromUtf8(out);
        run.exitCode = p.exitCode();
        run.status = timedOut                                ? TPythonRun::TimedOut
                     : p.exitStatus() == QProcess::CrashExit ? TPythonRun::Crashed
                                                             : TPythonRun::Finished;
        return run;
    }

    void BeginBatch() override { ++m_batch; }
    void EndBatch() override {
        if (m_batch > 0 && --m_batch == 0)
            m_checker.reset();
    }

private:
    int m_batch = 0;
    std::unique_ptr<Checker> m_checker;
};

TPythonEngine*& installed() {
    static TPythonEngine* engine = nullptr;
    return engine;
}

} // namespace

TPythonEngine& TPythonEngine::Instance() {
    static ProcessEngine real;
    TPythonEngine* e = installed();
    return e ? *e : real;
}

TPythonEngine* TPythonEngine::SetInstance(TPythonEngine* engine) {
    TPythonEngine* old = installed();
    installed() = engine;
    return old;
}

std::vector<TPythonCheck> TPythonEngine::CheckAll(const QString& interpreter,
                                                  const std::vector<TPythonSource>& sources) {
    std::vector<TPythonCheck> answers(sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
        answers[i].ok = Check(interpreter, sources[i].source, sources[i].name, answers[i].message);
    return answers;
}

TKorvexPython::TKorvexPython(QObject* parent) : QObject(parent) {}

std::vector<TPythonCheck>
TKorvexPython::CheckExecuteAll(const std::vector<TPythonSource>& sources) {
    return TPythonEngine::Instance().CheckAll(Interpreter(), sources);
}

QString TKorvexPython::Interpreter() {
    TDM1* dm = DM1();
    const QString v = dm && dm->Connected()
                          ? dm->GetSetting(QStringLiteral("PythonInterpreter")).trimmed()
                          : QString();
    return v.isEmpty() ? QStringLiteral("python3") : v;
}

int TKorvexPython::TimeoutSeconds() {
    TDM1* dm = DM1();
    const int v =
        dm && dm->Connected() ? dm->GetIntSetting(QStringLiteral("PythonTimeout"), 120) : 120;
    return v > 0 ? v : 120;
}

bool TKorvexPython::CheckExecute(const QString& script, const QString& name) {
    m_run = {};
    QString message;
    const bool ok = TPythonEngine::Instance().Check(Interpreter(), script, name, message);
    m_run.status = TPythonRun::Finished;
    m_run.exitCode = ok ? 0 : 1;
    m_run.output = message;
    return ok;
}

bool TKorvexPython::Execute(const QString& scriptFile) {
    m_interpreter = Interpreter();
    m_timeoutSeconds = TimeoutSeconds();
    m_run = TPythonEngine::Instance().Run(
        m_interpreter, scriptFile, QFileInfo(scriptFile).absolutePath(), m_timeoutSeconds * 1000);
    return m_run.Ok();
}

QString TKorvexPython::FailureText() const {
    switch (m_run.status) {
    case TPythonRun::NotStarted:
        return QStringLiteral("Python (\"%1\") kann nicht gestartet werden: %2")
            .arg(m_interpreter, m_run.output);
    case TPythonRun::TimedOut:
        return QStringLiteral("Das Python-Skript wurde nach %1 Sekunden abgebrochen.")
            .arg(m_timeoutSeconds);
    case TPythonRun::Crashed:
        return QStringLiteral("Das Python-Skript ist abgestürzt.");
    case TPythonRun::Finished:
        if (m_run.exitCode != 0)
            return QStringLiteral("Das Python-Skript endete mit dem Fehlercode %1.")
                .arg(m_run.exitCode);
        return {};
    }
    return {};
}
