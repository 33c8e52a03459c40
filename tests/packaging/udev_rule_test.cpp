// The shipped udev rule opens a device to the seated user exactly when the
// uploader would take it for a camera: by the INQUIRY vendor text, as udev
// sees it in sysfs (trailing blanks dropped) and compares it (shell globs),
// and only for a disk or SCSI generic node in a removable USB port.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/session/run_verdict.h"
#include "transport/discovery/camera_vendor.h"

namespace pelox {
namespace {

struct Rule {
  std::string line;
  std::vector<std::string> vendor_globs;
};

std::vector<std::string> RuleLines() {
  std::ifstream file(PELOX_UDEV_RULE);
  EXPECT_TRUE(file.is_open()) << PELOX_UDEV_RULE;
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && !line.starts_with("#")) lines.push_back(line);
  }
  return lines;
}

// udev takes "a|b" as either pattern.
std::vector<std::string> Alternatives(const std::string& globs) {
  std::vector<std::string> alternatives;
  for (size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1) {
    bar = globs.find('|', start);
    alternatives.push_back(globs.substr(start, bar - start));
  }
  return alternatives;
}

std::vector<Rule> VendorRules() {
  const std::regex vendor_match(R"re(ATTRS\{vendor\}=="([^"]*)")re");
  std::vector<Rule> rules;
  for (const std::string& line : RuleLines()) {
    std::smatch match;
    if (std::regex_search(line, match, vendor_match))
      rules.push_back({line, Alternatives(match[1])});
  }
  return rules;
}

// A device node as udev sees it: its environment, and its device in sysfs
// followed by the device's parents up the chain.
struct SysDevice {
  std::string subsystem;
  std::map<std::string, std::string> attributes;
};
struct DeviceNode {
  std::string name;
  std::map<std::string, std::string> environment;
  std::vector<SysDevice> chain;
};

struct RuleKey {
  std::string name;
  std::string attribute;
  std::string operation;
  std::string value;
};

std::vector<RuleKey> RuleKeys(const std::string& line) {
  const std::regex key_match(R"re(([A-Z]+)(\{([^}]*)\})?(==|!=|\+=|=)"([^"]*)")re");
  std::vector<RuleKey> keys;
  for (auto it = std::sregex_iterator(line.begin(), line.end(), key_match);
       it != std::sregex_iterator(); ++it) {
    keys.push_back({(*it)[1], (*it)[3], (*it)[4], (*it)[5]});
  }
  return keys;
}

bool Compares(const RuleKey& key, const std::optional<std::string>& value) {
  bool matches = false;
  for (const std::string& glob : Alternatives(key.value)) {
    matches = matches || (value && fnmatch(glob.c_str(), value->c_str(), 0) == 0);
  }
  return key.operation == "==" ? matches : !matches;
}

std::optional<std::string> Attribute(const SysDevice& device, const std::string& name) {
  const auto found = device.attributes.find(name);
  if (found == device.attributes.end()) return std::nullopt;
  return found->second;
}

// The keys on the node's own device, then the parent keys, which must all
// match one device of the chain.
bool RuleMatches(const std::vector<RuleKey>& keys, const DeviceNode& node) {
  std::vector<RuleKey> parent_keys;
  for (const RuleKey& key : keys) {
    if (key.operation != "==" && key.operation != "!=") continue;
    if (key.name == "SUBSYSTEMS" || key.name == "ATTRS") {
      parent_keys.push_back(key);
    } else if (key.name == "SUBSYSTEM") {
      if (!Compares(key, node.chain.front().subsystem)) return false;
    } else if (key.name == "ATTR") {
      if (!Compares(key, Attribute(node.chain.front(), key.attribute))) return false;
    } else if (key.name == "ENV") {
      const auto found = node.environment.find(key.attribute);
      if (!Compares(
              key, found == node.environment.end() ? std::nullopt : std::optional(found->second))) {
        return false;
      }
    } else {
      ADD_FAILURE() << "the test does not know the key " << key.name;
      return false;
    }
  }
  if (parent_keys.empty()) return true;
  for (const SysDevice& device : node.chain) {
    bool all = true;
    for (const RuleKey& key : parent_keys) {
      all = all && Compares(key, key.name == "SUBSYSTEMS" ? std::optional(device.subsystem)
                                                          : Attribute(device, key.attribute));
    }
    if (all) return true;
  }
  return false;
}

// Runs the rules file over the node: whether it ends tagged "uaccess".
bool GivesTheSeatedUser(const DeviceNode& node) {
  bool tagged = false;
  std::optional<std::string> jump;
  for (const std::string& line : RuleLines()) {
    const std::vector<RuleKey> keys = RuleKeys(line);
    if (keys.empty()) continue;
    if (keys.front().name == "LABEL") {
      if (jump == keys.front().value) jump.reset();
      continue;
    }
    if (jump || !RuleMatches(keys, node)) continue;
    for (const RuleKey& key : keys) {
      if (key.name == "GOTO") jump = key.value;
      if (key.name == "TAG" && key.operation == "+=" && key.value == "uaccess") tagged = true;
    }
  }
  EXPECT_FALSE(jump) << "no label " << *jump;
  return tagged;
}

// The node's device, the SCSI device with its INQUIRY vendor, then the bus:
// a USB interface and device in a port marked `port` ("removable", "fixed",
// "unknown"), or a SATA port.
DeviceNode Node(const std::string& kind, const std::string& vendor, const std::string& bus,
                const std::string& port = "") {
  DeviceNode node{kind + " " + vendor + " on " + bus + " " + port, {}, {}};
  if (kind == "sg") node.chain.push_back({"scsi_generic", {}});
  if (kind == "disk" || kind == "partition") {
    node.environment["DEVTYPE"] = kind;
    node.chain.push_back({"block", {{"removable", port == "removable" ? "1" : "0"}}});
  }
  node.chain.push_back({"scsi", {{"vendor", vendor}, {"model", "DIGITAL CAMERA"}}});
  node.chain.push_back({"scsi", {}});  // the SCSI host
  if (bus == "usb") {
    node.chain.push_back({"usb", {{"bInterfaceClass", "08"}}});
    node.chain.push_back({"usb", {{"removable", port}, {"idVendor", "0a5f"}}});
  } else {
    node.chain.push_back({"ata_port", {}});
  }
  node.chain.push_back({"pci", {}});
  return node;
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

TEST(UdevRuleTest, OpensOnlyTheNodesOfACameraInARemovableUsbPort) {
  const std::vector<std::pair<DeviceNode, bool>> table = {
      {Node("sg", "PELOX", "usb", "removable"), true},
      {Node("disk", "Olympus", "usb", "removable"), true},
      {Node("partition", "PELOX", "usb", "removable"), false},
      {Node("disk", "SanDisk", "usb", "removable"), false},
      {Node("sg", "SanDisk", "usb", "removable"), false},
      // An internal disk and a fixed USB disk of a camera maker.
      {Node("disk", "PELOX", "sata"), false},
      {Node("sg", "PELOX", "sata"), false},
      {Node("disk", "EPSON", "usb", "fixed"), false},
      {Node("sg", "EPSON", "usb", "fixed"), false},
      {Node("sg", "PELOX", "usb", "unknown"), false},
  };
  for (const auto& [node, granted] : table) {
    EXPECT_EQ(GivesTheSeatedUser(node), granted) << node.name;
  }
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
