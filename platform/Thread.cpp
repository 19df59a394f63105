#include "platform/Thread.h"

#include <pthread.h>

#include <memory>

namespace tarn {
namespace {

static_assert(sizeof(pthread_t) == sizeof(unsigned long),
              "JoinableThread stores the handle as unsigned long");

void* RunBody(void* arg) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
    (*body)();
    return nullptr;
}

Status Launch(std::function<void()> body, bool detached, std::size_t stackBytes, pthread_t* thread) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (detached) pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackBytes > 0) pthread_attr_setstacksize(&attr, stackBytes);
    int rc = pthread_create(thread, &attr, RunBody, owned.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) return Status::FromErrno("start thread", rc);
    owned.release();  // the thread owns it now
    return Status::Ok();
}

}  // namespace

Status StartDetachedThread(std::function<void()> body, std::size_t stackBytes) {
    pthread_t thread;
    return Launch(std::move(body), true, stackBytes, &thread);
}

JoinableThread::~JoinableThread() { Join(); }

Status JoinableThread::Start(std::function<void()> body) {
    Join();
    pthread_t thread;
    Status status = Launch(std::move(body), false, 0, &thread);
    if (status.ok()) {
        handle_ = thread;
        started_ = true;
    }
    return status;
}

void JoinableThread::Join() {
    if (!started_) return;
    pthread_join(static_cast<pthread_t>(handle_), nullptr);
    started_ = false;
}

}  // namespace tarn
