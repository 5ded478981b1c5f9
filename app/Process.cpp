#include "app/Process.h"

#include <QProcess>
#include <QStringList>

namespace tidyfold::app {

namespace {
// systemctl talks to a service manager that may hang; a dialog must not.
constexpr int kTimeoutMs = 20000;
}  // namespace

int RunCommand(const std::vector<std::string>& command) {
    if (command.empty())
        return -1;
    QStringList arguments;
    for (std::size_t i = 1; i < command.size(); ++i)
        arguments << QString::fromStdString(command[i]);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(command.front()), arguments);
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace tidyfold::app
