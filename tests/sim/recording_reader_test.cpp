// The replay's recording reader on malformed recordings: each is refused
// with its line and what was wrong, and none ends the reader.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sim/replay/recording.h"

namespace pelox::sim {
namespace {

const std::string HEADER = R"({"format":"pelox-recording","version":"1.0"})"
                           "\n";

std::string Nested(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

std::string HexLine(size_t bytes) {
  return R"({"ev":"from","hex":")" + std::string(bytes * 2, 'a') + "\"}\n";
}

TEST(RecordingReader, RefusesWithTheLineAndWhatWasWrong) {
  struct Row {
    std::string text;
    std::string refusal;  // empty: read
  };
  const Row rows[] = {
      {"", "rec is empty"},
      {"not json\n", "rec:1: not a pelox recording: the first line is not JSON"},
      {"[1]\n", "rec:1: not a pelox recording: the first line is not a JSON object"},
      {R"({"format":5,"version":"1.0"})", "rec:1: not a pelox recording: `format` is not text"},
      {R"({"format":"pelox-recording","version":[1]})",
       "rec:1: not a pelox recording: `version` is not text"},
      {R"({"format":"pelox-recording","version":"x.1"})",
       "rec:1: the recording has no format version"},
      {R"({"format":"pelox-recording","version":"1.0","x":)" + Nested(100000) + "}\n",
       "rec:1: not a pelox recording: the first line is nested deeper than 4 levels"},
      {HEADER + R"({"ev":"open","x":)" + Nested(4) + "}\n", "rec:2: nested deeper than 4 levels"},
      {HEADER + R"({"ev":"open","device":"[[[[[[{{{{"})"
                "\n",
       ""},
      {HEADER + "[]\n", "rec:2: not a JSON object"},
      {HEADER + R"({"t":"0","ev":"close"})"
                "\n",
       "rec:2: `t` is not a number"},
      {HEADER + R"({"ev":7})"
                "\n",
       "rec:2: `ev` is not text"},
      {HEADER + R"({"t":1})"
                "\n",
       "rec:2: `ev` is missing"},
      {HEADER + R"({"ev":"close"})"
                "\n"
                R"({"ev":"speed","baud":"9600"})"
                "\n",
       "rec:3: `baud` is not a whole number from 0 to 4294967295"},
      {HEADER + R"({"ev":"open","com":1.5})"
                "\n",
       "rec:2: `com` is not a whole number"},
      {HEADER + R"({"ev":"end","exit":null})"
                "\n",
       "rec:2: `exit` is not a whole number"},
      {HEADER + R"({"ev":"to","hex":12})"
                "\n",
       "rec:2: `hex` is not text"},
      {HEADER + R"({"ev":"to","hex":"0g"})"
                "\n",
       "rec:2: `hex` is not pairs of hex digits"},
      {HEADER + HexLine(2097153), "rec:2: `hex` holds more than 2097152 bytes"},
      {HEADER + HexLine(2200000), "rec:2: longer than"},
      {HEADER + R"({"ev":"to","hex":"00","image":[]})"
                "\n",
       "rec:2: `image` is not an object"},
      {HEADER + R"({"ev":"to","hex":"00","image":{"at":-1,"size":1}})"
                "\n",
       "rec:2: `image.at` is not a whole number"},
      {HEADER + R"({"ev":"to","hex":"00","image":{"at":2,"size":1}})"
                "\n",
       "rec:2: `image.at` lies past the 1 bytes of `hex`"},
      {HEADER + R"({"ev":"scsi","device":"sg1","dir":"none","result":"done"})"
                "\n",
       "rec:2: `cdb` is missing"},
      {HEADER + R"({"ev":"scsi","cdb":"00","device":"sg1","dir":0,"result":"done"})"
                "\n",
       "rec:2: `dir` is not text"},
      // A last line cut short by a full disk is left out, not refused.
      {HEADER + R"({"ev":"close"})"
                "\n"
                R"({"ev":"to","he)",
       ""},
  };
  for (const Row& row : rows) {
    std::istringstream in(row.text);
    std::string error;
    const std::optional<Recording> recording = ReadRecording(in, "rec", error);
    EXPECT_EQ(recording.has_value(), row.refusal.empty()) << row.text.substr(0, 80) << error;
    EXPECT_EQ(error.rfind(row.refusal, 0), 0U) << row.text.substr(0, 80) << "\n" << error;
  }
}

}  // namespace
}  // namespace pelox::sim
