#include "sim/scenario.h"

#include <json/json.h>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <limits>
#include <memory>

namespace sim {

namespace {

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

bool ReadBool(const Json::Value& value, const char* key, bool* out, std::string* error) {
  if (!value.isBool()) return Fail(error, std::string("\"") + key + "\" must be true or false");
  *out = value.asBool();
  return true;
}

bool ReadInt(const Json::Value& value, const char* key, int32_t* out, std::string* error) {
  if (!value.isInt()) return Fail(error, std::string("\"") + key + "\" must be a 32-bit integer");
  *out = value.asInt();
  return true;
}

bool ReadUInt(const Json::Value& value, const std::string& key, uint32_t* out,
              std::string* error) {
  if (!value.isUInt()) {
    return Fail(error, "\"" + key + "\" must be an unsigned 32-bit integer");
  }
  *out = value.asUInt();
  return true;
}

// A process id written as a decimal string, as JSON object keys must be.
bool ParsePid(const std::string& text, uint32_t* pid) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > std::numeric_limits<uint32_t>::max()) return false;
  *pid = static_cast<uint32_t>(value);
  return true;
}

bool ReadMissingInterfaces(const Json::Value& value, Scenario* scenario, std::string* error) {
  if (!value.isArray()) return Fail(error, "\"missing_interfaces\" must be an array of strings");
  for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
    if (!value[i].isString()) {
      return Fail(error, "\"missing_interfaces\"[" + std::to_string(i) + "] must be a string");
    }
    scenario->missingInterfaces.insert(value[i].asString());
  }
  return true;
}

bool ReadProcessKeys(const Json::Value& value, Scenario* scenario, std::string* error) {
  if (!value.isObject()) return Fail(error, "\"process_keys\" must be an object");
  for (const std::string& name : value.getMemberNames()) {
    uint32_t pid = 0;
    if (!ParsePid(name, &pid)) {
      return Fail(error, "\"process_keys\": \"" + name + "\" is not a decimal process id");
    }
    if (!value[name].isString()) {
      return Fail(error, "\"process_keys\".\"" + name + "\" must be a string");
    }
    scenario->processKeys[pid] = value[name].asString();
  }
  return true;
}

bool ReadEvents(const Json::Value& value, Scenario* scenario, std::string* error) {
  if (!value.isArray()) return Fail(error, "\"events\" must be an array of objects");
  for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
    const std::string where = "\"events\"[" + std::to_string(i) + "]";
    const Json::Value& item = value[i];
    if (!item.isObject()) return Fail(error, where + " must be an object");
    if (!item.isMember("type")) return Fail(error, where + " needs \"type\"");
    ScenarioEvent event;
    for (const std::string& name : item.getMemberNames()) {
      uint32_t* field = name == "type"          ? &event.type
                        : name == "device"      ? &event.device
                        : name == "pid"         ? &event.pid
                        : name == "after_polls" ? &event.afterPolls
                                                : nullptr;
      if (!field) return Fail(error, where + ": unknown key \"" + name + "\"");
      if (!ReadUInt(item[name], where + "." + name, field, error)) return false;
    }
    scenario->events.push_back(event);
  }
  return true;
}

bool ReadKey(const std::string& name, const Json::Value& value, Scenario* s,
             std::string* error) {
  const char* key = name.c_str();
  if (name == "init_error") return ReadInt(value, key, &s->initError, error);
  if (name == "background_init_error") return ReadInt(value, key, &s->backgroundInitError, error);
  if (name == "system_interface_valid") return ReadBool(value, key, &s->systemInterfaceValid, error);
  if (name == "missing_interfaces") return ReadMissingInterfaces(value, s, error);
  if (name == "hmd_present") return ReadBool(value, key, &s->hmdPresent, error);
  if (name == "enable_home_app") return ReadBool(value, key, &s->enableHomeApp, error);
  if (name == "process_keys") return ReadProcessKeys(value, s, error);
  if (name == "events") return ReadEvents(value, s, error);
  if (name == "launch_connects") return ReadBool(value, key, &s->launchConnects, error);
  if (name == "init_token_changes") return ReadBool(value, key, &s->initTokenChanges, error);
  if (name == "quit_posts_event") return ReadBool(value, key, &s->quitPostsEvent, error);
  if (name == "quit_ends_server") return ReadBool(value, key, &s->quitEndsServer, error);
  // A misspelt key would otherwise silently leave its default in place.
  return Fail(error, "unknown key \"" + name + "\"");
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error) {
  *scenario = Scenario();
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string parseErrors;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &parseErrors)) {
    // jsoncpp's report spans lines; one line is wanted.
    std::string reason = "not valid JSON: " + parseErrors;
    for (char& c : reason) {
      if (c == '\n') c = ' ';
    }
    while (!reason.empty() && reason.back() == ' ') reason.pop_back();
    return Fail(error, reason);
  }
  if (!root.isObject()) return Fail(error, "the top level must be a JSON object");

  Scenario parsed;
  for (const std::string& name : root.getMemberNames()) {
    if (!ReadKey(name, root[name], &parsed, error)) return false;
  }
  *scenario = std::move(parsed);
  return true;
}

bool LoadScenario(const std::string& path, Scenario* scenario, std::string* error) {
  *scenario = Scenario();
  FILE* file = fopen(path.c_str(), "rbe");
  if (!file) return Fail(error, std::string("cannot be read: ") + strerror(errno));
  std::string text;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, count);
  const bool readFailed = ferror(file) != 0;
  const int savedErrno = errno;
  fclose(file);
  if (readFailed) return Fail(error, std::string("cannot be read: ") + strerror(savedErrno));
  return ParseScenario(text, scenario, error);
}

}  // namespace sim
