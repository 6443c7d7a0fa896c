// Runs one of our programs as a user would and collects what it said.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace sensor::testing {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when it crashed or did not end in time
    QString out;
    QString err;
};

ProgramRun run_program(const QString& program, const QStringList& args, const QByteArray& input = {},
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), int deadline_ms = 15000);

}  // namespace sensor::testing
