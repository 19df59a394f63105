#pragma once
// Thread start with failures reported as a Status instead of an exception.

#include <cstddef>
#include <functional>

#include "platform/Status.h"

namespace tarn {

// Starts `body` on a new detached thread (its resources are released as soon
// as it ends), with a stack of `stackBytes` (0: the platform's default).
// Fails when the platform cannot start another thread.
Status StartDetachedThread(std::function<void()> body, std::size_t stackBytes = 0);

// A thread that its owner joins. Not shared: one owner starts and joins it.
class JoinableThread {
  public:
    JoinableThread() = default;
    ~JoinableThread();  // joins a thread still held
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    Status Start(std::function<void()> body);
    // Waits without time limit for the thread to end; nothing when none runs.
    void Join();
    bool Started() const { return started_; }

  private:
    unsigned long handle_ = 0;
    bool started_ = false;
};

}  // namespace tarn
