#pragma once

// Runs the real `ventara` binary for the command-line tests: arguments in, exit status and
// both outputs back. The standard input is empty unless given, so the commands never find a
// terminal.

#include "testsupport.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace ventara::test {

struct CommandResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` (the built `ventara` by default). A start failure, a crash or a hang fails
// the current test and returns exit code -1.
inline CommandResult runVentara(const QStringList &arguments, const QByteArray &input = {},
                                const QString &program = {}) {
    QProcess process;
    process.setProgram(program.isEmpty() ? binDir() + QStringLiteral("/ventara") : program);
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(10000)) {
        QTest::qFail("ventara did not start", __FILE__, __LINE__);
        return {};
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        QTest::qFail("ventara did not finish normally", __FILE__, __LINE__);
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace ventara::test
