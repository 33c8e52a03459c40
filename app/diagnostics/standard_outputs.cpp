#include "app/diagnostics/standard_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "app/diagnostics/output_queue.h"

namespace pelox {
namespace {

struct StandardQueues {
  std::unique_ptr<OutputQueue> out;
  std::unique_ptr<OutputQueue> err;  // null where it is standard output's file
};

StandardQueues& Queues() {
  static StandardQueues queues;
  return queues;
}

// A terminal, or a pipe both are redirected to: one queue keeps their order.
bool SameFile(int one, int other) {
  struct stat first {};
  struct stat second {};
  return fstat(one, &first) == 0 && fstat(other, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

void Print(OutputQueue* queue, FILE* stream, std::string_view text) {
  if (queue != nullptr) {
    queue->Put(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void Join(std::string& joined, const std::string& clause) {
  if (!clause.empty()) joined += (joined.empty() ? "" : "; ") + clause;
}

}  // namespace

void StartStandardOutputs() {
  StandardQueues& queues = Queues();
  // Whatever the streams hold goes first.
  std::fflush(stdout);
  std::fflush(stderr);
  queues.out = std::make_unique<OutputQueue>(STDOUT_FILENO, false);
  if (!SameFile(STDOUT_FILENO, STDERR_FILENO)) {
    queues.err = std::make_unique<OutputQueue>(STDERR_FILENO, false);
  }
  SetCameraWorking(false);
}

void PrintOut(std::string_view text) { Print(Queues().out.get(), stdout, text); }

void PrintErr(std::string_view text) {
  const StandardQueues& queues = Queues();
  Print(queues.err != nullptr ? queues.err.get() : queues.out.get(), stderr, text);
}

void SetCameraWorking(bool working) {
  StandardQueues& queues = Queues();
  if (queues.out != nullptr) queues.out->MayWait(!working);
  if (queues.err != nullptr) queues.err->MayWait(!working);
}

std::string StandardOutputsLoss() {
  const StandardQueues& queues = Queues();
  std::string lost;
  if (queues.out != nullptr) {
    const char* name = queues.err != nullptr ? "standard output" : "standard output and error";
    Join(lost, OutputLossText(name, queues.out->Loss()));
  }
  if (queues.err != nullptr) Join(lost, OutputLossText("standard error", queues.err->Loss()));
  return lost;
}

std::string FinishStandardOutputs() {
  StandardQueues& queues = Queues();
  if (queues.out != nullptr) queues.out->Finish(std::nullopt);
  if (queues.err != nullptr) queues.err->Finish(std::nullopt);
  std::string lost = StandardOutputsLoss();
  queues = {};
  return lost;
}

}  // namespace pelox
