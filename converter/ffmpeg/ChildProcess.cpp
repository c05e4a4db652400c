#include "converter/ffmpeg/ChildProcess.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ChildProcess {

void dieWithParent(QProcess& process, Priority priority) {
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([parent, priority] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before prctl took effect.
        if (::getppid() != parent)
            ::_exit(127);
        // A group of its own: Ctrl-C in a terminal reaches only us, and we stop the child
        // through the queue, which then removes what it wrote.
        ::setpgid(0, 0);
        if (priority == Priority::background)
            ::setpriority(PRIO_PROCESS, 0, 10);
    });
}

} // namespace ChildProcess
