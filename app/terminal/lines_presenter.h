#pragma once
// The run as lines for logs and scripts: the report on standard output,
// notes on standard error, and "upload" or "close" read from standard input
// unless the run goes on by itself.
#include <string>

#include "app/terminal/session_presenter.h"

namespace pelox {

class LinesPresenter final : public SessionPresenter {
 public:
  // `yes`: Upload and Close are pressed for the user; `check_only`: the run
  // stops before the upload. Neither asks the user anything.
  LinesPresenter(bool yes, bool check_only) : yes_(yes), check_only_(check_only) {}

  void Say(const std::string& text) override;
  void Remark(const std::string& text) override { Say(text); }
  void Print(const std::vector<std::string>& lines) override;
  void Present(const SessionScene& scene) override;
  void Wait(TerminalView& view, const std::function<void(int32_t)>& press) override;
  bool ClosesAtEnd() const override { return true; }
  bool InputOpen() const override { return input_open_; }
  std::string TraceLoss() override;

 private:
  void ReadCommandLines(const TerminalView& view, const std::function<void(int32_t)>& press);

  bool yes_;
  bool check_only_;
  bool input_open_ = true;
  bool prompted_ = false;
  std::string line_;
};

}  // namespace pelox
