// The shipped udev rule opens a device to the seated user exactly when the
// uploader would take it for a camera: by the INQUIRY vendor text, as udev
// sees it in sysfs (trailing blanks dropped) and compares it (shell globs).
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/terminal/run_verdict.h"
#include "transport/discovery/camera_vendor.h"

namespace pelox {
namespace {

struct Rule {
  std::string line;
  std::vector<std::string> vendor_globs;
};

std::vector<Rule> VendorRules() {
  std::ifstream file(PELOX_UDEV_RULE);
  EXPECT_TRUE(file.is_open()) << PELOX_UDEV_RULE;
  const std::regex vendor_match(R"re(ATTRS\{vendor\}=="([^"]*)")re");
  std::vector<Rule> rules;
  for (std::string line; std::getline(file, line);) {
    std::smatch match;
    if (line.starts_with("#") || !std::regex_search(line, match, vendor_match)) continue;
    Rule rule{line, {}};
    // udev takes "a|b" as either pattern.
    std::string globs = match[1];
    for (size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
      bar = globs.find('|', start);
      rule.vendor_globs.push_back(globs.substr(start, bar - start));
    }
    rules.push_back(rule);
  }
  return rules;
}

bool RuleMatches(const std::vector<Rule>& rules, const std::string& vendor) {
  for (const Rule& rule : rules) {
    for (const std::string& glob : rule.vendor_globs) {
      if (fnmatch(glob.c_str(), vendor.c_str(), 0) == 0) return true;
    }
  }
  return false;
}

TEST(UdevRuleTest, EachVendorRuleGivesTheSeatedUserAScsiDevice) {
  const std::vector<Rule> rules = VendorRules();
  ASSERT_FALSE(rules.empty());
  for (const Rule& rule : rules) {
    EXPECT_NE(rule.line.find(R"(SUBSYSTEMS=="scsi")"), std::string::npos) << rule.line;
    EXPECT_NE(rule.line.find(R"(TAG+="uaccess")"), std::string::npos) << rule.line;
    EXPECT_EQ(rule.line.find("GROUP"), std::string::npos) << rule.line;
    EXPECT_EQ(rule.line.find("MODE"), std::string::npos) << rule.line;
  }
}

TEST(UdevRuleTest, MatchesEveryMakerOfTheDeviceTableAndNothingElse) {
  const std::vector<Rule> rules = VendorRules();
  const std::vector<std::string> vendors = {
      "PELOX",  "pelox",   "Pelox",   "PELOXCAM", "OLYMPUS", "Olympus", "OLYMPUSX", "EPSON",
      "Epson",  "MINOLTA", "minolta", "SANYO",    "Sanyo",   "PELO",    "OLYMPU",   "EPSO",
      "MINOLT", "SANY",    "PEL0X",   "XPELOX",   " PELOX",  "Generic", "SanDisk",  "Kingston",
      "Sony",   "ATA",     "",        "*",        "P"};
  std::set<uint16_t> makers_matched;
  for (const std::string& vendor : vendors) {
    uint16_t code = 0;
    const std::vector<uint8_t> field(vendor.begin(), vendor.end());
    const bool camera = CameraVendorLookup(field, code) == VENDOR_FOUND;
    EXPECT_EQ(RuleMatches(rules, vendor), camera) << '"' << vendor << '"';
    if (camera) makers_matched.insert(code);
  }
  EXPECT_EQ(makers_matched, (std::set<uint16_t>{VENDOR_OLYMPUS, VENDOR_EPSON, VENDOR_PELOX,
                                                VENDOR_MINOLTA, VENDOR_SANYO}));
}

// A user denied the camera's device is sent to the rule that ships, never to
// the group that owns every disk.
TEST(UdevRuleTest, TheDeniedDeviceAdviceNamesTheShippedRule) {
  SearchNotes search;
  search.denied_devices = 1;
  search.first_denied = "/dev/sg2";
  const std::string advice = DeniedDevicesAdvice(search);
  const std::string rule_path = PELOX_UDEV_RULE;
  EXPECT_NE(advice.find(rule_path.substr(rule_path.rfind('/') + 1)), std::string::npos) << advice;
  EXPECT_NE(advice.find("\"dialout\""), std::string::npos) << advice;
  EXPECT_EQ(advice.find("disk"), std::string::npos) << advice;
}

}  // namespace
}  // namespace pelox
