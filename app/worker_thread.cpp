#include "app/worker_thread.h"

#include "platform/thread.h"

namespace pelox {
namespace {

class ThreadWorker final : public Worker {
 public:
  explicit ThreadWorker(ThreadHandle thread) : thread_(thread) {}
  ~ThreadWorker() override { Join(); }
  ThreadWorker(const ThreadWorker&) = delete;
  ThreadWorker& operator=(const ThreadWorker&) = delete;

  void Join() override {
    ThreadJoin(thread_);
    thread_ = nullptr;
  }

 private:
  ThreadHandle thread_;
};

}  // namespace

std::unique_ptr<Worker> StartThreadWorker(std::function<void()> body) {
  ThreadHandle thread = ThreadStart(std::move(body));
  if (thread == nullptr) return nullptr;
  return std::make_unique<ThreadWorker>(thread);
}

}  // namespace pelox
