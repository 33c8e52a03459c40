#include "sim/camsim/camsim_options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace pelox::sim {

const char* const CAMSIM_USAGE =
    "usage: camsim [options]\n"
    "Serves a virtual camera on a new pseudo-terminal; its path is the first line of output.\n"
    "  --maker TEXT              maker text (data kind 48)\n"
    "  --firmware-version TEXT   firmware version (data kind 26)\n"
    "  --battery N               battery level 0..100 (property 16)\n"
    "  --flash-busy-ms N         how long writing the firmware keeps the camera busy (<= 60000)\n"
    "  --upload-key N            the key the firmware write demands\n"
    "  --never-ready             property 18 stays 0 and no action ends\n"
    "  --unplug-after-bytes N    the camera vanishes after N bytes from the host\n"
    "  --fault RULE              KIND[=MS][@TARGET[:ID]][#N][*TIMES], repeatable;\n"
    "                            kinds: nak refuse garbage drop partial checksum sequence gone\n"
    "                                   port-failure (camsim hangs up) never-ready unplug delay\n"
    "                                   acks (=N ACKs before the reply) nak-ack (both before it)\n"
    "                                   swap (another camera answers from then on)\n"
    "                                   end-error (the action ends in 0x11) mute (=MS deaf)\n"
    "                                   scsi-refusal (storage commands refused)\n"
    "                                   rewrite (=MS silent after the write command, which\n"
    "                                   each later one starts afresh)\n"
    "                            targets: any probe speed set get action read write-frame\n"
    "                                     read-frame ack\n"
    "  --seed N                  seeded random faults\n"
    "  --fault-rate N            their rate in units per thousand (default 10)\n"
    "  --exit-after-flash        end once the firmware was written or refused\n"
    "  --idle-exit-ms N          end once the host has been silent for N ms\n"
    "  --report FILE             write the statement on the image there, not to stdout\n"
    "  --log FILE                write the camera's log there at exit\n"
    "  --blob KIND=FILE          a read of the data kind answers with the file's bytes\n"
    "  --pictures DIR            the camera holds one picture per file of DIR, in name\n"
    "                            order from 1; NAME.thm is NAME's thumbnail (secondary\n"
    "                            data), NAME.wav its sound (8-bit samples after a 44-byte\n"
    "                            header)\n"
    "  --generate-pictures N     the camera holds N pictures made from their numbers, odd\n"
    "                            ones with a compressed sound\n"
    "  --replay FILE             answer as the camera of a serial recording (pelox-uploader\n"
    "                            --record) did; stop with a report at the first request\n"
    "                            that differs, and exit 1\n"
    "  --tolerate LIST           with --replay, accept what varies between runs, comma-\n"
    "                            separated: sequence-start (where data frames' sequence\n"
    "                            numbers start), payload (any image payload and checksum)\n"
    "  --version                 print camsim's version and end\n";

namespace {

template <typename T>
bool ReadNumber(const std::string& text, T& value) {
  int base = 10;
  std::string_view digits = text;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  }
  const auto [end, failure] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  return failure == std::errc{} && end == digits.data() + digits.size() && !digits.empty();
}

// KIND=FILE.
bool ReadBlob(const std::string& text, std::vector<BlobFile>& blobs) {
  const size_t equals = text.find('=');
  BlobFile blob;
  if (equals == std::string::npos || equals + 1 == text.size() ||
      !ReadNumber(text.substr(0, equals), blob.kind)) {
    return false;
  }
  blob.path = text.substr(equals + 1);
  blobs.push_back(std::move(blob));
  return true;
}

// sequence-start,payload
bool ReadTolerance(const std::string& text, ReplayTolerance& tolerance) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = std::string_view(text).substr(start, comma - start);
    if (item == "sequence-start") {
      tolerance.sequence_start = true;
    } else if (item == "payload") {
      tolerance.payload = true;
    } else {
      return false;
    }
    start = comma + 1;
  }
  return true;
}

bool ReadOptional(const std::string& text, std::optional<uint64_t>& value) {
  uint64_t number = 0;
  if (!ReadNumber(text, number)) return false;
  value = number;
  return true;
}

}  // namespace

std::optional<CamsimOptions> ParseCamsimOptions(const std::vector<std::string>& arguments,
                                                std::string& error) {
  CamsimOptions options;
  using Flag = std::function<void()>;
  using Valued = std::function<bool(const std::string&)>;
  const std::map<std::string, Flag> flags = {
      {"--never-ready", [&] { options.camera.never_ready = true; }},
      {"--exit-after-flash", [&] { options.exit_after_flash = true; }},
      {"--help", [&] { options.help = true; }},
      {"--version", [&] { options.version = true; }},
  };
  const std::map<std::string, Valued> valued = {
      {"--maker",
       [&](const std::string& v) {
         options.camera.maker = v;
         return true;
       }},
      {"--firmware-version",
       [&](const std::string& v) {
         options.camera.firmware_version = v;
         return true;
       }},
      {"--battery",
       [&](const std::string& v) { return ReadNumber(v, options.camera.battery_level); }},
      {"--flash-busy-ms",
       [&](const std::string& v) { return ReadNumber(v, options.camera.flash_busy_ms); }},
      {"--upload-key",
       [&](const std::string& v) { return ReadNumber(v, options.camera.accepted_upload_key); }},
      {"--unplug-after-bytes",
       [&](const std::string& v) { return ReadOptional(v, options.unplug_after_bytes); }},
      {"--fault",
       [&](const std::string& v) {
         std::string why;
         const std::optional<FaultRule> rule = ParseFaultRule(v, why);
         if (rule) options.faults.push_back(*rule);
         return rule.has_value();
       }},
      {"--seed", [&](const std::string& v) { return ReadOptional(v, options.seed); }},
      {"--idle-exit-ms",
       [&](const std::string& v) { return ReadOptional(v, options.idle_exit_ms); }},
      {"--fault-rate",
       [&](const std::string& v) { return ReadNumber(v, options.fault_per_mille); }},
      {"--report",
       [&](const std::string& v) {
         options.report_path = v;
         return true;
       }},
      {"--log",
       [&](const std::string& v) {
         options.log_path = v;
         return true;
       }},
      {"--blob", [&](const std::string& v) { return ReadBlob(v, options.blobs); }},
      {"--pictures",
       [&](const std::string& v) {
         options.pictures_dir = v;
         return !v.empty();
       }},
      {"--generate-pictures",
       [&](const std::string& v) { return ReadNumber(v, options.generated_pictures); }},
      {"--replay",
       [&](const std::string& v) {
         options.replay_path = v;
         return !v.empty();
       }},
      {"--tolerate", [&](const std::string& v) { return ReadTolerance(v, options.tolerance); }},
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (const auto flag = flags.find(name); flag != flags.end()) {
      flag->second();
      continue;
    }
    const auto option = valued.find(name);
    if (option == valued.end()) {
      error = "unknown option " + name;
      return std::nullopt;
    }
    if (i + 1 == arguments.size()) {
      error = name + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (!option->second(value)) {
      error = "bad value for " + name + ": " + value;
      return std::nullopt;
    }
  }
  if (!options.pictures_dir.empty() && options.generated_pictures > 0) {
    error = "--pictures and --generate-pictures exclude each other";
    return std::nullopt;
  }
  if (options.camera.battery_level > 100) {
    error = "--battery must be 0..100";
    return std::nullopt;
  }
  return options;
}

}  // namespace pelox::sim
