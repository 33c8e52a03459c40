// pelox-uploader: the Main dialog in a terminal, or as lines for logs and
// scripts, with a listing and a dry run beside it.
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/diagnostics/run_log.h"
#include "app/diagnostics/run_outputs.h"
#include "app/diagnostics/run_report.h"
#include "app/diagnostics/run_trace.h"
#include "app/diagnostics/session_recording.h"
#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/session/device_choice.h"
#include "app/session/image_report.h"
#include "app/session/options.h"
#include "app/session/run_signals.h"
#include "app/session/search_notes.h"
#include "app/session/update_session.h"
#include "app/terminal/camera_list.h"
#include "app/terminal/dialog_picture.h"
#include "app/terminal/uploader_session.h"
#include "link/camera_link.h"
#include "link/speed_table.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/sense_text.h"

namespace {

using pelox::UploaderOptions;

constexpr const char* DEFAULT_IMAGE = "Firmware.bin";
// Whether the arguments ask for JSON, also where they cannot be parsed.
bool AsksForJson(std::span<const std::string> arguments) {
  for (const std::string& argument : arguments.subspan(arguments.empty() ? 0 : 1)) {
    if (argument == "--") break;
    if (argument == "--json") return true;
  }
  return false;
}

// The result object of a run without a dialog.
void PrintJsonResult(const pelox::Verdict& verdict, const pelox::RunSummary& summary = {}) {
  pelox::RunReport report(pelox::ReportStyle::JSON, 0);
  for (const std::string& line : report.Result(verdict, {}, summary)) {
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

// A run that ends before it starts: the reason on standard error and, for
// JSON, the result object as every run ends with.
int EndEarly(bool json, const pelox::Verdict& verdict) {
  if (json) PrintJsonResult(verdict);
  std::fprintf(stderr, "pelox-uploader: %s\n", verdict.detail.c_str());
  return verdict.exit_status;
}

// The dialog is drawn on a terminal that can address the cursor and is
// wide enough (the screen checks again as it starts); elsewhere lines are
// printed.
bool CanDraw(const UploaderOptions& options) {
  if (!options.inspect.empty() || options.plain || options.json || options.quiet || options.check)
    return false;
  if (isatty(STDOUT_FILENO) != 1 || isatty(STDIN_FILENO) != 1) return false;
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0' || std::string_view(term) == "dumb") return false;
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col >= pelox::DIALOG_MIN_WIDTH;
  }
  return true;
}

// How the run ended, for the caller and for a recording.
struct RunResult {
  int exit_status = pelox::EXIT_WRITTEN;
  pelox::RunCause cause = pelox::RunCause::WRITTEN;
};

// The verdict as the command line tells it: its remedies as options.
pelox::Verdict WithOptions(pelox::Verdict verdict) {
  verdict.detail = pelox::DetailWithOptions(verdict);
  return verdict;
}

void Say(const std::string& text) { std::fprintf(stderr, "pelox-uploader: %s\n", text.c_str()); }

// Where the camera answered and at what speed, the versions, the log and
// the time, for the result.
pelox::RunSummary SummaryOf(const pelox::DialogFacts& facts, const UploaderOptions& options,
                            uint64_t elapsed_ms) {
  pelox::RunSummary summary;
  if (facts.port_type == pelox::PORT_TYPE_STORAGE) {
    const pelox::CameraDevice* found = pelox::DeviceTableEntry(facts.device_index);
    summary.port = !options.device.empty() ? options.device
                   : found != nullptr      ? found->path
                                           : std::string();
  } else if (facts.port_type >= pelox::PORT_TYPE_COM_FIRST &&
             facts.port_type <= pelox::PORT_TYPE_COM_LAST) {
    summary.port = pelox::SerialDevicePath(facts.port_type);
    if (facts.speed_index != 0) summary.speed = pelox::SpeedTableBaud(facts.speed_index);
  }
  summary.camera_version = facts.camera_version;
  summary.image_version = facts.image_version;
  summary.log_lost = pelox::RunTraceLoss();
  summary.sense = pelox::SenseHex(facts.sense);
  summary.elapsed_ms = elapsed_ms;
  return summary;
}

RunResult List(const UploaderOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  const std::vector<pelox::ListedCamera> cameras =
      pelox::ListCameras(static_cast<int32_t>(options.ports.size()), *pelox::PendingRunSignal());
  for (const pelox::ListedCamera& camera : cameras) {
    if (options.json) {
      std::printf("%s\n", nlohmann::json{{"port", camera.port},
                                         {"maker", camera.maker},
                                         {"version", camera.version},
                                         {"battery", camera.battery}}
                              .dump()
                              .c_str());
    } else {
      std::printf("%s\t%s\t%s\tbattery %d\n", camera.port.c_str(), camera.maker.c_str(),
                  camera.version.c_str(), static_cast<int>(camera.battery));
    }
  }
  pelox::RunEnd end;
  end.interrupted = pelox::TakeRunSignal() != 0;
  if (!cameras.empty() && !end.interrupted) {
    if (options.json) {
      // The port and version of the one camera found; of several, none.
      pelox::RunSummary summary;
      if (cameras.size() == 1) {
        summary.port = cameras.front().port;
        summary.camera_version = cameras.front().version;
      }
      summary.elapsed_ms =
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count());
      PrintJsonResult(pelox::Verdict(pelox::RunCause::LISTED), summary);
    }
    return {pelox::EXIT_WRITTEN, pelox::RunCause::LISTED};
  }
  pelox::DialogFacts nothing;
  nothing.failed_step = pelox::STEP_CONNECT;
  end.cause = pelox::RunCause::NO_CAMERA;
  const pelox::Verdict verdict =
      WithOptions(pelox::JudgeRun(nothing, end, pelox::SearchNotesOf(options)));
  return {EndEarly(options.json, verdict), verdict.cause};
}

RunResult Inspect(const UploaderOptions& options) {
  const pelox::ImageInspection inspection = pelox::InspectImage(options.inspect, options.json);
  for (const std::string& line : inspection.lines) std::printf("%s\n", line.c_str());
  return {pelox::CauseExitStatus(inspection.cause), inspection.cause};
}

// The verdict's lines: the result on standard output, the detail and the
// advice on standard error.
RunResult Conclude(const UploaderOptions& options, pelox::RunReport& report,
                   const pelox::SessionOutcome& outcome) {
  const pelox::Verdict verdict = WithOptions(outcome.verdict);
  const pelox::RunSummary summary = SummaryOf(outcome.facts, options, outcome.elapsed_ms);
  for (const std::string& line : report.Result(verdict, outcome.last_message, summary)) {
    std::printf("%s\n", line.c_str());
  }
  // The drawn dialog leaves its result on the screen as one line.
  if (outcome.drawn) {
    std::printf("%s\n", pelox::SummaryLine(verdict, outcome.last_message, summary).c_str());
  }
  std::fflush(stdout);
  if (!options.json && !outcome.drawn && !verdict.detail.empty()) {
    if (verdict.cause == pelox::RunCause::WOULD_UPDATE) {
      std::printf("%s\n", verdict.detail.c_str());
    } else {
      Say(verdict.detail);
    }
  }
  if (const std::string advice = pelox::NoCameraAdvice(verdict, options);
      !advice.empty() && !options.json) {
    Say(advice);
  }
  return {verdict.exit_status, verdict.cause};
}

pelox::RunReport ReportFor(const UploaderOptions& options) {
  const pelox::ReportStyle style = options.json    ? pelox::ReportStyle::JSON
                                   : options.quiet ? pelox::ReportStyle::QUIET
                                                   : pelox::ReportStyle::PLAIN;
  return {style, options.verbosity};
}

// The image is checked before any camera is looked for: a bad one never
// waits for a camera. The dialog checks it again in its own order.
std::optional<pelox::SessionOutcome> RefusedImage(const pelox::DialogFacts& image_check,
                                                  const UploaderOptions& options,
                                                  pelox::RunReport& report) {
  const std::optional<pelox::ImageRefusal> refusal = pelox::RefuseImageFirst(image_check, options);
  if (!refusal) return std::nullopt;
  pelox::SessionOutcome outcome;
  outcome.facts = refusal->facts;
  outcome.verdict = refusal->verdict;
  outcome.last_message = pelox::StringText(refusal->message_id);
  for (const std::string& line : report.Message(refusal->message_id, outcome.last_message, 0)) {
    std::printf("%s\n", line.c_str());
  }
  return outcome;
}

RunResult Update(const UploaderOptions& options, const pelox::DialogFacts& image_check) {
  pelox::RunReport report = ReportFor(options);
  std::optional<pelox::SessionOutcome> outcome = RefusedImage(image_check, options, report);
  if (!outcome) outcome = pelox::RunUploaderSession({CanDraw(options), options}, report);
  return Conclude(options, report, *outcome);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
  const pelox::CommandLine command_line = pelox::ParseCommandLine(arguments);
  if (!command_line.options) {
    if (command_line.exit_status != 0 && AsksForJson(arguments)) {
      const std::string problem = command_line.text.substr(0, command_line.text.find('\n'));
      PrintJsonResult({pelox::RunCause::USAGE, problem});
    }
    std::fputs(command_line.text.c_str(), command_line.exit_status == 0 ? stdout : stderr);
    return command_line.exit_status;
  }
  const UploaderOptions& options = *command_line.options;
  pelox::CatchRunSignals();
  pelox::ChooseDevices(options);
  // The image is read before any output is opened, and no output may be it.
  const std::string image = !options.inspect.empty() ? options.inspect
                            : options.image.empty()  ? DEFAULT_IMAGE
                                                     : options.image;
  std::optional<pelox::DialogFacts> image_check;
  if (!options.list && options.inspect.empty()) image_check = pelox::CheckImageFirst(options.image);
  pelox::SessionRecording recording;
  if (!options.record_file.empty()) recording.ReadImage(options, image);
  const pelox::RunOutputs outputs = pelox::OpenRunOutputs(options, image);
  if (outputs.opening == pelox::OutputsOpening::INTERRUPTED) {
    return EndEarly(options.json,
                    {pelox::RunCause::INTERRUPTED, "interrupted before the update began"});
  }
  if (outputs.opening == pelox::OutputsOpening::REFUSED) {
    return EndEarly(options.json, {pelox::RunCause::USAGE, outputs.refusal});
  }
  const bool trace_to_stderr = options.verbosity >= 2 && (options.list || !CanDraw(options));
  pelox::StartRunTrace(trace_to_stderr, outputs.log, options.log_file);
  for (const std::string& line : pelox::LogHeader(arguments, options, std::time(nullptr))) {
    pelox::TraceRunLine(line);
  }
  if (outputs.record != nullptr) recording.Start(options, outputs.record);
  const RunResult result = options.list               ? List(options)
                           : !options.inspect.empty() ? Inspect(options)
                                                      : Update(options, *image_check);
  recording.Finish(result.exit_status, std::string(pelox::RunCauseText(result.cause)));
  if (const std::string problem = recording.Problem(); !problem.empty()) {
    std::fprintf(stderr, "pelox-uploader: warning: %s\n", problem.c_str());
  }
  if (const std::string lost = pelox::TakeRunTraceLoss(); !lost.empty()) {
    std::fprintf(stderr, "pelox-uploader: %s\n", lost.c_str());
  }
  pelox::StopRunTrace();
  return result.exit_status;
}
