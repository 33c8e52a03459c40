#include <windows.h>

#include <new>

#include "platform/thread.h"

namespace pelox {

struct PlatformThread {
  HANDLE handle = nullptr;
  std::function<void()> body;
};

struct PlatformMutex {
  CRITICAL_SECTION section;
};

namespace {

DWORD WINAPI RunBody(LPVOID parameter) {
  static_cast<PlatformThread*>(parameter)->body();
  return 0;
}

}  // namespace

ThreadHandle ThreadStart(std::function<void()> body) {
  auto* thread = new (std::nothrow) PlatformThread;
  if (thread == nullptr) return nullptr;
  thread->body = std::move(body);
  thread->handle = CreateThread(nullptr, 0, RunBody, thread, 0, nullptr);
  if (thread->handle == nullptr) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void ThreadJoin(ThreadHandle thread) {
  if (thread == nullptr) return;
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  delete thread;
}

Mutex::Mutex() : native_(std::make_unique<PlatformMutex>()) {
  InitializeCriticalSection(&native_->section);
}

Mutex::~Mutex() { DeleteCriticalSection(&native_->section); }
void Mutex::lock() { EnterCriticalSection(&native_->section); }
void Mutex::unlock() { LeaveCriticalSection(&native_->section); }

}  // namespace pelox
