#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>

namespace ventara::engine {

// The stack reserved for threads that work on documents: 256 MB of address space, of which
// only the pages a thread touches take memory. qpdf walks some structures recursively (the
// objects a copied page leads to, nested forms among them), and a hostile file nests them
// tens of thousands deep: the usual 8 MB stack overflows long before qpdf's own limits or
// ours (see pdfstructurelimits.h) refuse the file.
inline constexpr std::size_t kWorkerStackSize = std::size_t(256) << 20;

// A thread with a stack of kWorkerStackSize. Unlike std::thread, failing to start it is a
// result (no std::system_error), and destroying a started thread joins it (no
// std::terminate). Not copyable; movable while not started.
class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(WorkerThread &&other) noexcept;
    WorkerThread &operator=(WorkerThread &&) = delete;
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Runs `task` on a new thread. Returns false, with the reason in `error` (optional),
    // when no thread could be started (too many threads, no memory): `task` then does not
    // run. `task` must not throw. Never throws.
    bool start(std::function<void()> task, QString *error = nullptr);

    bool isStarted() const;

    // Runs `task` on a new thread that nobody joins. Returns false as start() does.
    static bool startDetached(std::function<void()> task, QString *error = nullptr);

    // Waits until the task has returned; nothing happens when the thread was never started.
    void join();

    // For tests: makes every start() fail, as when the system refuses new threads, while
    // the returned object lives. Not for use while other threads start workers.
    class RefuseStarts {
    public:
        RefuseStarts();
        ~RefuseStarts();
        RefuseStarts(const RefuseStarts &) = delete;
        RefuseStarts &operator=(const RefuseStarts &) = delete;
    };

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

// Runs `task` on a WorkerThread and waits for it. When no thread can be started, `task` runs
// on the calling thread instead (with its smaller stack). `task` must not throw. Never
// throws.
void runOnWorkerStack(const std::function<void()> &task);

} // namespace ventara::engine
