// Whole updates under seeded random faults, on the serial line and through
// every storage variant, with the uploader's promises checked after each:
// "Writing Firmware is complete." only when the camera flashed exactly the
// image; never a flash of other bytes; an end within the protocol's bound;
// the link, its port and every worker released.
//
// Replay a run: PELOX_SOAK_PORT=<port> PELOX_SOAK_SEED=<seed> update_soak_test
// A longer soak: PELOX_SOAK_UPDATES=<updates per port kind> update_soak_test
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/resources/strings.h"
#include "sim/camera/fault_plan.h"
#include "tests/app/update_rig.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

using test::UpdatePort;

constexpr size_t CI_UPDATES_PER_PORT_KIND = 1002;
// Enough payload for a few serial frames; the storage pipe takes it in one.
constexpr size_t PAYLOAD_SIZE = 7000;

// A fault plan drawn from the seed, written as camsim's fault rules: a few
// scripted faults of any kind on the units of an update, over a background
// of recoverable faults on every unit.
struct SoakPlan {
  std::vector<std::string> rules;
  uint32_t noise_per_mille = 0;

  std::string Describe() const {
    std::ostringstream text;
    text << "noise " << noise_per_mille << "/1000";
    for (const std::string& rule : rules) text << ", " << rule;
    return text.str();
  }
};

SoakPlan DrawPlan(uint64_t seed) {
  static const std::vector<std::string> KINDS = {"nak",          "refuse",       "drop",
                                                 "partial",      "checksum",     "sequence",
                                                 "gone",         "port-failure", "port-failure=300",
                                                 "never-ready",  "unplug",       "delay=200",
                                                 "delay=5000",   "swap",         "swap=1000",
                                                 "gone=1000",    "end-error",    "mute=25000",
                                                 "rewrite=25000"};
  struct Target {
    const char* name;
    uint32_t last_occurrence;
  };
  static const std::vector<Target> TARGETS = {
      {"any", 16}, {"set", 2}, {"get", 12}, {"action", 2}, {"write-frame", 5}};
  std::mt19937_64 random(seed);
  const auto below = [&](uint64_t limit) { return static_cast<uint32_t>(random() % limit); };
  SoakPlan plan;
  plan.noise_per_mille = below(40);
  const uint32_t scripted = below(4);
  for (uint32_t i = 0; i < scripted; ++i) {
    const Target& target = TARGETS[below(TARGETS.size())];
    plan.rules.push_back(KINDS[below(KINDS.size())] + "@" + target.name + "#" +
                         std::to_string(1 + below(target.last_occurrence)) + "*" +
                         std::to_string(1 + below(3)));
  }
  return plan;
}

struct SoakFigures {
  size_t updates = 0;
  size_t completed = 0;
  size_t failed = 0;
  uint64_t longest_ms = 0;
  uint64_t bound_ms = 0;
  uint64_t fault_free_ms = 0;  // the longest update in which no fault fired
  std::map<std::string, size_t> faults_fired;
};

std::string Replay(UpdatePort port, uint64_t seed) {
  return "PELOX_SOAK_PORT=" + test::UpdatePortName(port) +
         " PELOX_SOAK_SEED=" + std::to_string(seed) + " update_soak_test";
}

// One update under the seed's plan; false when a promise was broken.
bool SoakOne(UpdatePort port, uint64_t seed, SoakFigures& figures) {
  const std::vector<uint8_t> image = SampleFirmwareImage("v517-1.10", SamplePayload(PAYLOAD_SIZE));
  const SoakPlan plan = DrawPlan(seed);
  test::UpdateRig rig(port, image);
  sim::VirtualCamera& camera = rig.Camera();
  const test::UpdateEnd end = rig.Run([&] {
    // Armed once the checks passed: every fault lands on the update itself.
    for (const std::string& text : plan.rules) {
      std::string error;
      camera.Faults().Add(*sim::ParseFaultRule(text, error));
    }
    camera.Faults().SetRandom(seed, plan.noise_per_mille);
  });
  const bool released = rig.CloseAndCheckReleased();

  const uint64_t bound = test::UpdateBoundMs(image.size(), port);
  const std::string broken = test::BrokenPromises(end, camera, image, bound, released);

  ++figures.updates;
  figures.completed += end.message == StringText(STR_WRITE_COMPLETE) ? 1u : 0u;
  figures.failed += end.message == StringText(STR_WRITE_ERROR) ? 1u : 0u;
  figures.longest_ms = std::max(figures.longest_ms, end.upload_ms);
  figures.bound_ms = std::max(figures.bound_ms, bound);
  size_t fired = 0;
  for (const sim::LogEntry& entry : camera.Log().Entries()) {
    if (entry.verdict != sim::Verdict::FAULTED) continue;
    ++figures.faults_fired[entry.note];
    ++fired;
  }
  if (fired == 0) figures.fault_free_ms = std::max(figures.fault_free_ms, end.upload_ms);
  if (!broken.empty()) {
    ADD_FAILURE() << "seed " << seed << " on " << test::UpdatePortName(port)
                  << ", plan: " << plan.Describe() << "\n  " << broken
                  << "\n  replay: " << Replay(port, seed);
  }
  return broken.empty();
}

std::optional<uint64_t> Setting(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return std::nullopt;
  return std::strtoull(text, nullptr, 10);
}

void Report(const char* kind, const SoakFigures& figures) {
  std::cout << kind << ": " << figures.updates << " updates, " << figures.completed << " complete, "
            << figures.failed << " failed; longest " << figures.longest_ms << " ms of a "
            << figures.bound_ms << " ms bound, " << figures.fault_free_ms
            << " ms at most without faults\n  faults fired:";
  for (const auto& [note, count] : figures.faults_fired)
    std::cout << " " << note << " " << count << ";";
  std::cout << "\n";
}

class UpdateSoak : public ::testing::Test {
 protected:
  // Runs seeds 1.. on the given ports in turn, or the one seed to replay.
  static void Soak(const char* kind, const std::vector<UpdatePort>& ports) {
    const auto replay_seed = Setting("PELOX_SOAK_SEED");
    const char* replay_port = std::getenv("PELOX_SOAK_PORT");
    const uint64_t updates = Setting("PELOX_SOAK_UPDATES").value_or(CI_UPDATES_PER_PORT_KIND);
    SoakFigures figures;
    size_t broken = 0;
    for (uint64_t seed = 1; seed <= updates; ++seed) {
      const UpdatePort port = ports[static_cast<size_t>(seed % ports.size())];
      if (replay_seed && (seed != *replay_seed || replay_port == nullptr ||
                          test::UpdatePortName(port) != replay_port)) {
        continue;
      }
      if (!SoakOne(port, seed, figures) && ++broken == 10) break;  // enough to go on
    }
    Report(kind, figures);
    if (replay_seed) return;
    // The plans must both let updates through and stop some.
    EXPECT_GT(figures.completed, figures.updates / 10);
    EXPECT_GT(figures.failed, figures.updates / 10);
  }
};

TEST_F(UpdateSoak, KeepsItsPromisesOnTheSerialLine) { Soak("serial", {UpdatePort::SERIAL}); }

TEST_F(UpdateSoak, KeepsItsPromisesThroughEveryStorageVariant) {
  Soak("storage pipe", {UpdatePort::ASPI, UpdatePort::PASS_THROUGH, UpdatePort::SG_IO});
}

// Updates under one scripted plan each, with what the dialog said and what
// each camera on the path says it flashed. Another camera, when the plan
// brings one, must never be sent the image.
struct ScriptedUpdate {
  const char* name;
  UpdatePort port;
  const char* rule;
  int32_t message;
  bool write_command_sent;
  const char* detail;  // write_detail ends so
  bool flashed;        // the checked camera flashed the image
  sim::CameraConfig other = sim::OtherCameraConfig();
  bool while_checking = false;  // the rule holds from the start, not from the upload
  bool refused = false;         // the failure comes with the storage device's sense
};

void PrintTo(const ScriptedUpdate& update, std::ostream* out) { *out << update.name; }

class UpdateUnderScript : public ::testing::TestWithParam<ScriptedUpdate> {};

TEST_P(UpdateUnderScript, EndsAsTheCamerasSay) {
  const ScriptedUpdate& update = GetParam();
  const std::vector<uint8_t> image = SampleFirmwareImage("v517-1.10", SamplePayload(PAYLOAD_SIZE));
  test::UpdateRig rig(update.port, image, update.other);
  std::string error;
  const auto add_rule = [&] {
    rig.Camera().Faults().Add(*sim::ParseFaultRule(update.rule, error));
  };
  if (update.while_checking) add_rule();
  const test::UpdateEnd end = rig.Run(update.while_checking ? std::function<void()>() : add_rule);
  EXPECT_EQ(end.message, StringText(update.message));
  EXPECT_EQ(end.facts.write_command_sent, update.write_command_sent);
  EXPECT_TRUE(end.facts.write_detail.ends_with(update.detail)) << end.facts.write_detail;
  EXPECT_EQ(!end.facts.sense.empty(), update.refused);
  EXPECT_EQ(rig.Camera().Model().Firmware().Statement().outcome == sim::FlashOutcome::FLASHED,
            update.flashed);
  const bool released = rig.CloseAndCheckReleased();
  if (!end.upload_offered) {
    // Stopped by the check: neither camera may have been sent anything.
    EXPECT_TRUE(released);
    EXPECT_FALSE(rig.Camera().Model().Firmware().Statement().transfer_started);
    EXPECT_FALSE(rig.Camera().Other().Firmware().Statement().transfer_started);
    return;
  }
  EXPECT_EQ(test::BrokenPromises(end, rig.Camera(), image,
                                 test::UpdateBoundMs(image.size(), update.port), released),
            "");
}

sim::CameraConfig Other(std::string maker, std::string version, uint32_t battery) {
  return {.maker = std::move(maker),
          .firmware_version = std::move(version),
          .battery_level = battery,
          .accepted_upload_key = 0};
}

constexpr const char* PELOX = "PELOX CO.,LTD.";
constexpr int32_t COMPLETE = STR_WRITE_COMPLETE;
constexpr int32_t FAILED = STR_WRITE_ERROR;

INSTANTIATE_TEST_SUITE_P(
    AnotherCameraOrAReconnection, UpdateUnderScript,
    ::testing::Values(
        ScriptedUpdate{"AnotherCameraMidTransfer", UpdatePort::SERIAL, "swap@write-frame#3", FAILED,
                       false,
                       "maker \"OTHER CO.,LTD.\" instead of \"PELOX CO.,LTD.\", version v600-2.00 "
                       "instead of v517-1.00, battery 10% below 50%",
                       false},
        ScriptedUpdate{"AnotherCameraAtTheFrame", UpdatePort::SG_IO, "swap@write-frame", FAILED,
                       false, "battery 10% below 50%", false},
        ScriptedUpdate{"AnotherMaker", UpdatePort::SERIAL, "swap@write-frame#2", FAILED, false,
                       "maker \"OTHER CO.,LTD.\" instead of \"PELOX CO.,LTD.\"", false,
                       Other("OTHER CO.,LTD.", "v517-1.00", 100)},
        ScriptedUpdate{"AnotherFamily", UpdatePort::ASPI, "swap@write-frame", FAILED, false,
                       "version v518-1.00 instead of v517-1.00", false,
                       Other(PELOX, "v518-1.00", 100)},
        ScriptedUpdate{"NewerFirmware", UpdatePort::SERIAL, "swap@write-frame#2", FAILED, false,
                       "version v517-1.20 instead of v517-1.00", false,
                       Other(PELOX, "v517-1.20", 100)},
        ScriptedUpdate{"LowBattery", UpdatePort::PASS_THROUGH, "swap@set:32", FAILED, false,
                       "battery 10% below 50%", false, Other(PELOX, "v517-1.00", 10)},
        // Another camera between the checks' reads: all are read again.
        ScriptedUpdate{"AnotherMakerAtTheBatteryCheck", UpdatePort::SERIAL, "swap@get:16",
                       STR_CAMERA_PROBLEM, false, "", false,
                       Other("OTHER CO.,LTD.", "v517-1.00", 100), true},
        ScriptedUpdate{"AnotherMakerAtTheVersionCheck", UpdatePort::SG_IO, "swap@read:26",
                       STR_CAMERA_PROBLEM, false, "", false,
                       Other("OTHER CO.,LTD.", "v517-1.00", 100), true},
        ScriptedUpdate{"TheCheckedCameraBackAtTheBatteryCheck", UpdatePort::SERIAL, "gone@get:16",
                       COMPLETE, true, "", true, sim::OtherCameraConfig(), true},
        ScriptedUpdate{"TheCheckedCameraBackMidTransfer", UpdatePort::SERIAL, "gone@write-frame#2",
                       COMPLETE, true, "", true},
        ScriptedUpdate{"BackWithTheOldVersionAfterWriting", UpdatePort::SERIAL,
                       "gone=1000@action:11", FAILED, true,
                       "came back after a reconnection with version v517-1.00 instead of v517-1.10",
                       false},
        ScriptedUpdate{"BackWithTheOldVersionThroughTheStoragePipe", UpdatePort::SG_IO,
                       "gone=1000@action:11", FAILED, true,
                       "version v517-1.00 instead of v517-1.10", false},
        ScriptedUpdate{"AnotherCameraReadyAfterWriting", UpdatePort::SERIAL, "swap=1000@action:11",
                       FAILED, true,
                       "maker \"OTHER CO.,LTD.\" instead of \"PELOX CO.,LTD.\", version v600-2.00 "
                       "instead of v517-1.10",
                       false},
        ScriptedUpdate{"AnotherCameraReadyThroughTheStoragePipe", UpdatePort::SG_IO,
                       "swap=1000@action:11", FAILED, true,
                       "version v600-2.00 instead of v517-1.10", false},
        ScriptedUpdate{"BackWrittenAfterAReconnection", UpdatePort::SERIAL, "gone@get:18", COMPLETE,
                       true, "", true},
        ScriptedUpdate{"WrittenThroughTheStoragePipe", UpdatePort::SG_IO, "gone@get:18", COMPLETE,
                       true, "", true},
        ScriptedUpdate{"RefusedBySgIo", UpdatePort::SG_IO, "scsi-refusal@write-frame", FAILED,
                       false, "", false, sim::OtherCameraConfig(), false, true},
        ScriptedUpdate{"RefusedThroughPassThrough", UpdatePort::PASS_THROUGH,
                       "scsi-refusal@write-frame", FAILED, false, "", false,
                       sim::OtherCameraConfig(), false, true},
        ScriptedUpdate{"RefusedThroughAspi", UpdatePort::ASPI, "scsi-refusal@write-frame", FAILED,
                       false, "", false, sim::OtherCameraConfig(), false, true}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

}  // namespace
}  // namespace pelox
