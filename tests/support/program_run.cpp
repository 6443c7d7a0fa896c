#include "tests/support/program_run.h"

#include <QProcess>

namespace sensor::testing {

ProgramRun run_program(const QString& program, const QStringList& args, const QByteArray& input,
                       const QProcessEnvironment& env, int deadline_ms) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(deadline_ms)) return {};
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(deadline_ms)) {
        p.kill();
        p.waitForFinished();
        return {-1, QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace sensor::testing
