#include "engine/pdf/workerthread.h"

#include "engine/pdf/pdffile.h"
#include "engine/pdf/result.h"

#include <atomic>
#include <cerrno>
#include <new>

#include <pthread.h>

namespace ventara::engine {

namespace {

std::atomic<int> g_refusals = 0;

void *runTask(void *argument) {
    // The task is owned by the thread from here on.
    const std::unique_ptr<std::function<void()>> task(
        static_cast<std::function<void()> *>(argument));
    // An exception leaving a thread would end the program; so would one from the message
    // about it, when memory is short.
    try {
        try {
            (*task)();
        } catch (const std::exception &e) {
            logPdfProblem(QStringLiteral("unexpected error: ") + QString::fromLocal8Bit(e.what()));
        } catch (...) {
            logPdfProblem(QStringLiteral("unexpected error"));
        }
    } catch (...) {
    }
    return nullptr;
}

} // namespace

struct WorkerThread::Handle {
    pthread_t thread;
};

WorkerThread::WorkerThread() = default;

WorkerThread::WorkerThread(WorkerThread &&other) noexcept = default;

WorkerThread::~WorkerThread() {
    join();
}

bool WorkerThread::isStarted() const {
    return m_handle != nullptr;
}

bool WorkerThread::start(std::function<void()> task, QString *error) {
    if (m_handle)
        return false;
    auto fail = [error](int errnum) {
        if (error)
            *error = errnum == EAGAIN ? QStringLiteral("the system allows no more threads")
                                      : QString(QStringLiteral("could not start a thread: ") +
                                                reasonForError(errnum));
        return false;
    };
    if (g_refusals.load() > 0)
        return fail(EAGAIN);
    std::unique_ptr<Handle> handle(new (std::nothrow) Handle);
    auto *owned = new (std::nothrow) std::function<void()>();
    if (!handle || !owned) {
        delete owned;
        return fail(ENOMEM);
    }
    *owned = std::move(task); // a moved std::function does not allocate
    pthread_attr_t attributes;
    int result = pthread_attr_init(&attributes);
    if (result == 0) {
        result = pthread_attr_setstacksize(&attributes, kWorkerStackSize);
        if (result == 0)
            result = pthread_create(&handle->thread, &attributes, runTask, owned);
        pthread_attr_destroy(&attributes);
    }
    if (result != 0) {
        delete owned;
        return fail(result);
    }
    m_handle = std::move(handle);
    return true;
}

bool WorkerThread::startDetached(std::function<void()> task, QString *error) {
    WorkerThread thread;
    if (!thread.start(std::move(task), error))
        return false;
    pthread_detach(thread.m_handle->thread);
    thread.m_handle.reset();
    return true;
}

void WorkerThread::join() {
    if (!m_handle)
        return;
    pthread_join(m_handle->thread, nullptr);
    m_handle.reset();
}

WorkerThread::RefuseStarts::RefuseStarts() {
    ++g_refusals;
}

WorkerThread::RefuseStarts::~RefuseStarts() {
    --g_refusals;
}

void runOnWorkerStack(const std::function<void()> &task) {
    WorkerThread thread;
    if (!thread.start([&task] { task(); }))
        task();
}

} // namespace ventara::engine
