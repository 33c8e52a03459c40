#pragma once
// Workers on threads of their own, for the front ends.
#include <functional>
#include <memory>

#include "app/dialog_view.h"

namespace pelox {

// Starts `body` on a new thread; null, with `body` never run, when no thread
// could be started. The worker joins it at the latest when it is destroyed,
// so no thread outlives the one that started it.
std::unique_ptr<Worker> StartThreadWorker(std::function<void()> body);

}  // namespace pelox
