#include "app/worker_thread.h"

#include <thread>

namespace pelox {
namespace {

class ThreadWorker final : public Worker {
 public:
  explicit ThreadWorker(std::function<void()> body) : thread_(std::move(body)) {}
  ~ThreadWorker() override { Join(); }
  ThreadWorker(const ThreadWorker&) = delete;
  ThreadWorker& operator=(const ThreadWorker&) = delete;

  void Join() override {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace

std::unique_ptr<Worker> StartThreadWorker(std::function<void()> body) {
  return std::make_unique<ThreadWorker>(std::move(body));
}

}  // namespace pelox
