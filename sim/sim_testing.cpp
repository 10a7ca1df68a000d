#include "sim/sim_testing.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace sim {

CScopedTempDir::CScopedTempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/lark-test-XXXXXX";
  if (mkdtemp(pattern.data())) m_sPath = pattern;
}

CScopedTempDir::~CScopedTempDir() {
  if (m_sPath.empty()) return;
  std::error_code ignored;  // a leftover directory in /tmp harms no test
  std::filesystem::remove_all(m_sPath, ignored);
}

std::string CScopedTempDir::File(const std::string& name) const { return m_sPath + "/" + name; }

bool WriteTextFile(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "we");
  if (!file) return false;
  const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && written;
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
