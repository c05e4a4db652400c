#pragma once

class QProcess;

// Settings for child processes that must never outlive the application: the child is killed by
// the kernel when the thread that started it ends (the application quitting or being killed).
// The child also gets a process group of its own, so a terminal's Ctrl-C never reaches it
// directly. Call before `start`. Any thread; the QProcess stays on the caller's thread.
namespace ChildProcess {

enum class Priority { normal, background };

// `background` also lowers the child's scheduling priority (nice 10), for work the user is not
// waiting on.
void dieWithParent(QProcess& process, Priority priority = Priority::normal);

} // namespace ChildProcess
