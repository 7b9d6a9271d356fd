#include "executor.h"

#include <QThreadPool>

namespace ventara::toolkit {

Executor threadPoolExecutor() {
    return [](std::function<void()> task) {
        QThreadPool::globalInstance()->start(std::move(task));
    };
}

Executor inlineExecutor() {
    return [](std::function<void()> task) {
        task();
    };
}

} // namespace ventara::toolkit
