#include "sim/sim_testing.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace sim {

ScopedSimEnvironment::ScopedSimEnvironment() {
  if (m_dir.path().empty()) return;
  unsetenv("TANDEM_SIM_SCENARIO");
  if (setenv("TANDEM_SIM_TRANSCRIPT", TranscriptPath().c_str(), 1) != 0) {
    unsetenv("TANDEM_SIM_TRANSCRIPT");
  }
}

ScopedSimEnvironment::~ScopedSimEnvironment() {
  unsetenv("TANDEM_SIM_TRANSCRIPT");
  unsetenv("TANDEM_SIM_SCENARIO");
}

std::string ScopedSimEnvironment::UseScenario(const std::string& json) {
  const std::string path = m_dir.At("scenario.json");
  if (m_dir.path().empty() || !ScopedTempDir::WriteFile(path, json) ||
      setenv("TANDEM_SIM_SCENARIO", path.c_str(), 1) != 0) {
    return std::string();
  }
  return path;
}

std::string ScopedSimEnvironment::TranscriptPath() const {
  return m_dir.path().empty() ? std::string() : m_dir.At("transcript.jsonl");
}

std::vector<Json::Value> ScopedSimEnvironment::Transcript() const {
  return ReadTranscript(TranscriptPath());
}

std::vector<Json::Value> ReadTranscript(const std::string& path) {
  std::vector<Json::Value> lines;
  FILE* file = fopen(path.c_str(), "re");
  if (!file) return lines;
  std::string text;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, count);
  fclose(file);

  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    Json::Value line;
    std::string errors;
    if (!reader->parse(text.data() + start, text.data() + end, &line, &errors) ||
        !line.isObject()) {
      line = Json::Value();
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<Json::Value> CallsNamed(const std::vector<Json::Value>& transcript,
                                    const std::string& call) {
  std::vector<Json::Value> calls;
  for (const Json::Value& line : transcript) {
    if (line.isObject() && line["call"].isString() && line["call"].asString() == call) {
      calls.push_back(line);
    }
  }
  return calls;
}

}  // namespace sim
