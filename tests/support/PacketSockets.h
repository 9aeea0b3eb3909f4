#pragma once
// Packet sockets a process holds open, its children included: since the
// capture runs in a helper process, that is where a program's capture lives.

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace corvina::test {

inline int OpenPacketSockets(const std::string& process = "self") {
  namespace fs = std::filesystem;
  std::set<std::string> packetInodes;
  std::ifstream table("/proc/" + process + "/net/packet");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i < 9 && fields >> field; ++i) {
    }
    packetInodes.insert(field);  // the ninth column
  }
  std::vector<std::string> processes = {process};
  std::error_code gone;
  for (const auto& task : fs::directory_iterator("/proc/" + process + "/task", gone)) {
    std::ifstream children(task.path() / "children");
    for (std::string pid; children >> pid;) processes.push_back(pid);
  }
  int open = 0;
  for (const std::string& p : processes) {
    for (const auto& fd : fs::directory_iterator("/proc/" + p + "/fd", gone)) {
      std::error_code ec;
      const std::string target = fs::read_symlink(fd.path(), ec).string();
      if (target.starts_with("socket:[") &&
          packetInodes.count(target.substr(8, target.size() - 9)) != 0)
        ++open;
    }
  }
  return open;
}

}  // namespace corvina::test
