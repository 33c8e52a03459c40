#pragma once
// The run as the drawn dialog in the terminal, answering keys.
#include "app/diagnostics/run_report.h"
#include "app/terminal/curses_screen.h"
#include "app/terminal/session_presenter.h"

namespace pelox {

class DrawnPresenter final : public SessionPresenter {
 public:
  // Both must outlive the presenter; the screen has started.
  DrawnPresenter(CursesScreen& screen, const RunReport& report, bool yes)
      : screen_(screen), report_(report), yes_(yes) {}

  void Say(const std::string& text) override { note_ = text; }
  void Remark(const std::string& /*text*/) override {}
  void Print(const std::vector<std::string>& /*lines*/) override {}
  void Present(const SessionScene& scene) override;
  void Wait(TerminalView& view, const std::function<void(int32_t)>& press) override;
  bool ClosesAtEnd() const override { return yes_; }
  bool InputOpen() const override { return input_open_; }
  std::string TraceLoss() override;

 private:
  CursesScreen& screen_;
  const RunReport& report_;
  bool yes_;
  bool input_open_ = true;
  std::string note_;
};

}  // namespace pelox
