#pragma once
// Keeps the machine from sleeping or shutting down while the camera is
// written, through logind's inhibitor lock. Where there is no system bus or
// no logind, nothing is held and nothing is said: it is a courtesy.
namespace pelox {

class SleepInhibitor {
 public:
  SleepInhibitor() = default;
  ~SleepInhibitor() { Release(); }
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  void Take();
  void Release();

 private:
  int lock_ = -1;  // the descriptor logind hands out; closing it releases the lock
};

}  // namespace pelox
