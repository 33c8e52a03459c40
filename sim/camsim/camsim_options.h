#pragma once
// camsim's command line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/camera/camera_model.h"
#include "sim/camera/fault_plan.h"
#include "sim/replay/byte_rules.h"

namespace pelox::sim {

// A data kind whose reads answer with a file's bytes.
struct BlobFile {
  uint8_t kind = 0;
  std::string path;
};

struct CamsimOptions {
  CameraConfig camera;
  std::vector<FaultRule> faults;
  std::optional<uint64_t> seed;   // seeded random faults
  uint32_t fault_per_mille = 10;  // their rate when seeded
  std::optional<uint64_t> unplug_after_bytes;
  bool exit_after_flash = false;
  std::optional<uint64_t> idle_exit_ms;  // end when the host is silent this long
  std::string report_path;               // the statement; standard output when empty
  std::string log_path;                  // the camera's log, when given
  std::vector<BlobFile> blobs;
  std::string pictures_dir;         // pictures read from the files there
  uint32_t generated_pictures = 0;  // pictures made from their numbers
  std::string replay_path;  // play a recording's camera side instead of the model
  ReplayTolerance tolerance;
  bool help = false;
  bool version = false;
};

// Reads argv; on a mistake returns nothing and says why in `error`.
std::optional<CamsimOptions> ParseCamsimOptions(const std::vector<std::string>& arguments,
                                                std::string& error);

extern const char* const CAMSIM_USAGE;

}  // namespace pelox::sim
