#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// Runs the built host program as a user would and collects what it left behind.
struct HostRun {
    bool finished = false;   // ended on its own within the time limit
    bool crashed = false;    // ended by a signal
    int exitCode = -1;
    QString out;
    QString err;

    QStringList errLines() const;
    QString describe() const; // for failure messages
};

HostRun runHost(const QStringList& arguments, int timeoutMs = 60000);

// Stops a program the test started, by its process id, with the signal the tools document as a
// clean stop; killed when it does not end within 10 s.
void stopByPid(QProcess& process);

// Paths of the programs and libraries the tests use, set by the build.
QString hostProgram();
QString netvanePlugin();
QString serivanePlugin();
