// The scripting object against a real python3: literals read back exactly, one checker process
// for many scripts, output and exit status of a run, the time limit and a missing interpreter.

#include <TKorvexPython.h>
#include <UShutdownFiles.h>
#include <VoskExceptions.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

QString writeScript(const QTemporaryDir& dir, const QString& name, const QString& source) {
    const QString path = dir.filePath(name);
    WritePrivateFile(path, source.toUtf8());
    return path;
}

// A killed process may wait as a zombie for a reaper; it no longer runs.
bool running(int pid) {
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    return close < 0 || s.mid(close + 2, 1) != "Z";
}

// A signal takes a moment to end a process on a busy machine.
bool stopsRunning(int pid) {
    for (int i = 0; i < 100 && running(pid); ++i)
        QThread::msleep(50);
    return !running(pid);
}

TPythonRun run(const QString& file, int timeoutMs = 20000) {
    return TPythonEngine::Instance().Run(QStringLiteral("python3"), file, {}, timeoutMs);
}

} // namespace

TEST(KorvexPython, LiteralsReadBackAsTheSameText) {
    const QStringList values{
        QString(),
        QStringLiteral("O'Brien \"Zitat\""),
        QStringLiteral("C:\\temp\\neu\\x41\\"),
        QStringLiteral("Zeile 1\nZeile 2\r\nZeile 3\rEnde\t!"),
        QStringLiteral("''' \"\"\" '''"),
        QStringLiteral("Größe: 5 µm – Maß ≤ 3 € 🙂"),
        QString::fromUtf8("nul\0mitten", 11),
        QStringLiteral("\u0085\u2028\u2029\ufeff\u007f\u0001"),
        QStringLiteral("'); import os; os.system('x') #"),
    };
    QTemporaryDir dir;
    QString source = QStringLiteral("# -*- coding: utf-8 -*-\nimport json, sys\nv = [\n");
    for (const QString& v : values)
        source += QStringLiteral("  ") + EscapePythonString(v) + QStringLiteral(",\n");
    source += QStringLiteral("]\nsys.stdout.write(json.dumps(v))\n");
    const TPythonRun r = run(writeScript(dir, QStringLiteral("lit.py"), source));
    ASSERT_TRUE(r.Ok()) << r.output.toStdString();
    const QJsonArray back = QJsonDocument::fromJson(r.output.toUtf8()).array();
    ASSERT_EQ(back.size(), values.size()) << r.output.toStdString();
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(back.at(i).toString(), values.at(i)) << "value " << i;
    // A literal never spans lines, so a value cannot end the statement it stands in.
    for (const QString& v : values)
        EXPECT_FALSE(EscapePythonString(v).contains(u'\n'));
}

TEST(KorvexPython, OneCheckerCompilesManyScriptsAndNamesTheFaultyOne) {
    TPythonCheckBatch batch;
    TKorvexPython py;
    EXPECT_TRUE(py.CheckExecute(QStringLiteral("x = 1\nprint(x)\n")));
    EXPECT_TRUE(py.Output().isEmpty());
    EXPECT_FALSE(py.CheckExecute(QStringLiteral("print('ä'\n"), QStringLiteral("rtf7.py")));
    EXPECT_TRUE(py.Output().contains(QStringLiteral("SyntaxError"))) << py.Output().toStdString();
    EXPECT_TRUE(py.Output().contains(QStringLiteral("rtf7.py")));
    // Compiling runs nothing: a script that would write a file leaves none.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    EXPECT_TRUE(py.CheckExecute(
        QStringLiteral("open(%1, 'w').write('x')\n").arg(EscapePythonString(marker))));
    EXPECT_FALSE(QFile::exists(marker));
    // Null bytes are refused by Python, not by a broken frame in the checker's protocol.
    EXPECT_FALSE(py.CheckExecute(QString::fromUtf8("x = 1\0\n", 7)));
    EXPECT_TRUE(py.CheckExecute(QStringLiteral("y = 'danach'\n")));
}

TEST(KorvexPython, RunKeepsOutputInOrderExitStatusAndTimeLimit) {
    QTemporaryDir dir;
    TPythonRun r = run(writeScript(
        dir, QStringLiteral("mix.py"),
        QStringLiteral("import sys\nprint('eins', flush=True)\nprint('zwei', file=sys.stderr, "
                       "flush=True)\nprint('drei ä', flush=True)\nsys.exit(3)\n")));
    EXPECT_EQ(r.status, TPythonRun::Finished);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, QStringLiteral("eins\nzwei\ndrei ä\n"));

    // The limit ends the script and what it started: the run returns long before the sleep ends.
    QElapsedTimer t;
    t.start();
    r = run(writeScript(dir, QStringLiteral("slow.py"),
                        QStringLiteral("import os, subprocess, time\n"
                                       "p = subprocess.Popen(['sleep', '300'])\n"
                                       "print('los', os.getpgrp(), p.pid, flush=True)\n"
                                       "time.sleep(300)\n")),
            20000);
    EXPECT_EQ(r.status, TPythonRun::TimedOut);
    EXPECT_LT(t.elapsed(), 90000);
    const QStringList said = r.output.split(u' ');
    ASSERT_EQ(said.size(), 3) << r.output.toStdString();
    EXPECT_EQ(said[0], QStringLiteral("los"));
    // Nothing of the script's process group runs on.
    EXPECT_TRUE(stopsRunning(said[1].toInt()));
    EXPECT_TRUE(stopsRunning(said[2].trimmed().toInt()));

    r = TPythonEngine::Instance().Run(QStringLiteral("/nonexistent/python3"),
                                      dir.filePath(QStringLiteral("mix.py")), {}, 5000);
    EXPECT_EQ(r.status, TPythonRun::NotStarted);
    QString message;
    EXPECT_THROW(TPythonEngine::Instance().Check(QStringLiteral("/nonexistent/python3"),
                                                 QStringLiteral("x=1"), QStringLiteral("t"),
                                                 message),
                 EVoskException);
}

TEST(KorvexPython, ScratchFilesAreOwnerOnlyAndGoAtShutdown) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rtf1.py"));
    WritePrivateFile(path, "a");
    WritePrivateFile(path, "b", true);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ab"));
    EXPECT_EQ(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                 QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    DeleteFileOnShutdown(path);
    DeleteFileOnShutdown(path);
    EXPECT_EQ(FilesToDeleteOnShutdown().count(path), 1);
    DeleteFilesOnShutdownNow();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_THROW(WritePrivateFile(dir.filePath(QStringLiteral("kein/ordner/x")), "x"),
                 EVoskException);
}
