#include "host_process.h"

#include <QProcess>

#include <csignal>

QStringList HostRun::errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

QString HostRun::describe() const
{
    return QStringLiteral("exit %1%2\n--- stdout\n%3--- stderr\n%4")
        .arg(exitCode)
        .arg(crashed ? QStringLiteral(" (crashed)") : finished ? QString() : QStringLiteral(" (timed out)"))
        .arg(out, err);
}

HostRun runHost(const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(hostProgram(), arguments);
    HostRun run;
    if (!process.waitForStarted(timeoutMs))
        return run;
    process.closeWriteChannel();
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString hostProgram() { return QStringLiteral(VANE_HOST_PROGRAM); }
QString netvanePlugin() { return QStringLiteral(VANE_NETVANE_PLUGIN); }
QString serivanePlugin() { return QStringLiteral(VANE_SERIVANE_PLUGIN); }

void stopByPid(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}
