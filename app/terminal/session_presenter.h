#pragma once
// How a terminal session shows the run and takes the user's word: the drawn
// dialog, or lines (plain, quiet or JSON) with commands typed on standard
// input. The loop and its policy are the same for both.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog_facts.h"
#include "app/terminal/dialog_picture.h"

namespace pelox {

class TerminalView;

// What there is to show after a turn of the loop.
struct SessionScene {
  DialogPicture picture;  // as the step machine left the view
  DialogFacts facts;
  uint64_t now_ms = 0;
  bool chain_ended = false;
  std::string detail;  // why the run ended as it did, once the chain ended
};

class SessionPresenter {
 public:
  virtual ~SessionPresenter() = default;

  // A note for the user: what a signal did, the log's loss.
  virtual void Say(const std::string& text) = 0;
  // A note only lines have room for while the run goes on: the speed in
  // use, the warnings before the update (the drawn dialog leaves these for
  // after it closes).
  virtual void Remark(const std::string& text) = 0;
  // The report's lines; the drawn dialog shows the same in its picture.
  virtual void Print(const std::vector<std::string>& lines) = 0;
  // The dialog as it stands after a turn of the loop.
  virtual void Present(const SessionScene& scene) = 0;
  // Waits for the view's wake, the user or the pace, and hands each control
  // the user chose to `press`.
  virtual void Wait(TerminalView& view, const std::function<void(int32_t)>& press) = 0;
  // Whether the dialog is closed without the user once the chain ended.
  virtual bool ClosesAtEnd() const = 0;
  // False once the input ended, which is Close as soon as the chain lets it.
  virtual bool InputOpen() const = 0;
  // The log's loss to tell now, empty for none.
  virtual std::string TraceLoss() = 0;
};

}  // namespace pelox
