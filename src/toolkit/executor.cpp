#include "executor.h"

#include "engine/pdf/workerthread.h"

#include <QtGlobal>

#include <memory>

namespace ventara::toolkit {

Executor workerThreadExecutor() {
    return [](std::function<void()> task) {
        // Shared, so that the task is still here to run when no thread takes it.
        auto shared = std::make_shared<std::function<void()>>(std::move(task));
        QString reason;
        if (!engine::WorkerThread::startDetached([shared] { (*shared)(); }, &reason)) {
            qWarning("Running the work on this thread: %s", qUtf8Printable(reason));
            (*shared)();
        }
    };
}

Executor inlineExecutor() {
    return [](std::function<void()> task) {
        task();
    };
}

} // namespace ventara::toolkit
