#pragma once
// Test support: an argument vector as main receives it, the program path
// first and a null entry after the last argument.

#include <string>
#include <vector>

class TestArgv {
 public:
  explicit TestArgv(std::vector<std::string> args) : m_args(std::move(args)) {
    m_args.insert(m_args.begin(), "/opt/runtime/bin/linux64/lark");
    for (std::string& arg : m_args) m_ptrs.push_back(arg.data());
    m_ptrs.push_back(nullptr);
  }
  TestArgv(const TestArgv&) = delete;
  TestArgv& operator=(const TestArgv&) = delete;

  int argc() const { return static_cast<int>(m_args.size()); }
  char** argv() { return m_ptrs.data(); }

 private:
  std::vector<std::string> m_args;
  std::vector<char*> m_ptrs;
};
