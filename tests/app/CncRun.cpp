#include "CncRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <vector>

extern char** environ;

CncRun runCncMeasured(const QStringList& arguments) {
    CncRun run;
    QTemporaryFile errors;
    if (!errors.open()) return run;
    std::vector<QByteArray> words{QByteArrayLiteral(CNC_EXECUTABLE)};
    for (const QString& argument : arguments) words.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors.handle(), STDERR_FILENO);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    rusage usage{};
    // wait4 gives this child's own peak, not the largest of all children waited for so far.
    if (::wait4(child, &status, 0, &usage) != child) return run;
    run.peakKb = usage.ru_maxrss;
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    QFile file(errors.fileName());
    if (file.open(QIODevice::ReadOnly)) run.err = QString::fromUtf8(file.readAll());
    return run;
}
