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

// Runs `work` on the GUI thread, after the events already queued.
void runOnMainThread(std::function<void()> work);

} // namespace tarn
