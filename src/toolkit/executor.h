#pragma once

#include <functional>

namespace ventara::toolkit {

// Runs a task somewhere: on a worker thread for the application, or at once on the calling
// thread for tests and the command line. The task must be run exactly once.
using Executor = std::function<void(std::function<void()> task)>;

// Runs each task on a thread of its own with a large stack (engine::WorkerThread), or on the
// calling thread when no thread can be started.
Executor workerThreadExecutor();

// Runs each task immediately on the calling thread, before returning.
Executor inlineExecutor();

} // namespace ventara::toolkit
