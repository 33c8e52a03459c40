#include "app/session/image_report.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "app/camera_checks.h"
#include "app/dialog_ids.h"
#include "app/session/options.h"
#include "app/session/run_verdict.h"

namespace pelox {
namespace {

constexpr size_t FAMILY_SIZE = 4;

struct OpenedImage {
  FirmwareImage image;
  DialogFacts facts;

  explicit OpenedImage(const std::string& path) {
    const int32_t opened = FirmwareImageOpen(image, path);
    facts.image_open_error = image.open_error;
    if (opened != STEP_OK) {
      facts.failed_step = STEP_OPEN_FIRMWARE;
      facts.step_error = opened;
      return;
    }
    VersionText version{};
    const HeaderVerdict verdict = FirmwareImageInspect(image, version);
    NoteImageCheck(verdict, std::string(BufferText(version)),
                   static_cast<uint64_t>(image.file_size), facts);
    if (verdict.fault != HeaderFault::NONE) {
      facts.failed_step = STEP_CHECK_FIRMWARE;
      facts.step_error = STEP_ERROR_INVALID_PARAMETER;
    }
  }
  ~OpenedImage() { FirmwareImageRelease(image); }
  OpenedImage(const OpenedImage&) = delete;
  OpenedImage& operator=(const OpenedImage&) = delete;
};

// Whether a header number names `actual`; a missing field names nothing.
bool Agrees(const std::string& field, int64_t actual) {
  return !field.empty() && ParseHeaderNumber(field) == actual;
}

}  // namespace

std::string ImageKind(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return {};
  if (S_ISDIR(status.st_mode)) return "a directory";
  if (S_ISFIFO(status.st_mode)) return "a FIFO";
  if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device";
  if (S_ISSOCK(status.st_mode)) return "a socket";
  return {};
}

DialogFacts CheckImageFirst(const std::string& path) { return OpenedImage(path).facts; }

ImageInspection InspectImage(const std::string& path, bool json) {
  const OpenedImage opened(path);
  RunEnd end;
  end.cause = RunCause::IMAGE_REFUSED;
  end.image = path;
  if (opened.facts.failed_step == STEP_OPEN_FIRMWARE) end.image_kind = ImageKind(path);
  const Verdict verdict = opened.facts.failed_step == 0 ? Verdict(RunCause::IMAGE_SOUND)
                                                        : JudgeRun(opened.facts, end, {});

  const std::vector<uint8_t>& bytes = opened.image.bytes;
  const HeaderFields fields = FirmwareHeaderFields(bytes);
  const auto payload_size = static_cast<int64_t>(
      bytes.size() > FIRMWARE_HEADER_SIZE ? bytes.size() - FIRMWARE_HEADER_SIZE : 0);
  const int64_t payload_sum = FirmwarePayloadSum(bytes);
  // A SUM= above int32_t is refused by the check; read as it wraps, it agrees.
  const bool sum_agrees =
      !fields.sum.empty() && static_cast<uint32_t>(ParseHeaderNumber(fields.sum)) == payload_sum;
  const bool length_agrees = Agrees(fields.length, payload_size);
  const std::string family = fields.version.substr(0, FAMILY_SIZE);

  ImageInspection inspection;
  inspection.cause = verdict.cause;
  if (json) {
    nlohmann::json object{{"file", path},
                          {"exit_status", verdict.exit_status},
                          {"cause", RunCauseText(verdict.cause)},
                          {"detail", verdict.detail}};
    if (opened.facts.failed_step != STEP_OPEN_FIRMWARE) {
      object["size"] = opened.image.file_size;
      object["header"] = {
          {"length", fields.length}, {"version", fields.version}, {"sum", fields.sum}};
      object["version"] = fields.version;
      object["family"] = family;
      object["payload"] = {{"size", payload_size}, {"sum", payload_sum}};
      object["length_agrees"] = length_agrees;
      object["sum_agrees"] = sum_agrees;
    }
    inspection.lines.push_back(object.dump());
    return inspection;
  }
  if (opened.facts.failed_step != STEP_OPEN_FIRMWARE) {
    const auto yes_no = [](bool agrees) { return std::string(agrees ? "yes" : "no"); };
    inspection.lines = {
        "file: " + path,
        "size: " + std::to_string(opened.image.file_size) + " bytes",
        "header: LENGTH=" + fields.length + " VER=" + fields.version + " SUM=" + fields.sum,
        "version: " + fields.version,
        "family: " + family,
        "payload: " + std::to_string(payload_size) + " bytes, sum " + std::to_string(payload_sum),
        "LENGTH agrees: " + yes_no(length_agrees),
        "SUM agrees: " + yes_no(sum_agrees),
    };
  }
  inspection.lines.push_back(verdict.detail.empty() ? "result: a sound firmware image"
                                                    : "result: refused: " + verdict.detail);
  return inspection;
}

}  // namespace pelox
