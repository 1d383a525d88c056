#pragma once

#include <QThreadPool>
#include <functional>

namespace tarn {

// The thread pool for blocking work (external programs, file walks). It has at least 8 threads
// whatever the core count, because its tasks mostly wait.
QThreadPool& blockingPool();

// Priorities of the pool's tasks: what the user is waiting for runs before housekeeping.
enum class TaskPriority { utility = 0, userInitiated = 1 };

// Runs `work` on the blocking pool.
void runInBackground(TaskPriority priority, std::function<void()> work);

// Runs `work` on the GUI thread, after the events already queued; nothing once the application
// object is gone.
void runOnMainThread(std::function<void()> work);

// At quit, before the application object goes: drops the tasks not started and waits up to
// `milliseconds` for the running ones. False when some still run (a walk of a huge folder),
// and the process must then end without running the destructors of statics they may use.
bool endBackgroundWork(int milliseconds);

} // namespace tarn
