// A style plugin of the test's own. Whatever process loads it appends its
// name and its effective capabilities to the file CORVINA_PROBE_FILE names:
// what code named by the environment could do there.

#include <QStylePlugin>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

__attribute__((constructor)) void RecordCapabilities() {
  const char* file = std::getenv("CORVINA_PROBE_FILE");
  if (!file) return;
  std::ifstream status("/proc/self/status");
  std::ofstream out(file, std::ios::app);
  for (std::string line; std::getline(status, line);)
    if (line.rfind("CapEff:", 0) == 0) out << program_invocation_short_name << ' ' << line << '\n';
}

}  // namespace

class TProbeStylePlugin : public QStylePlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "ProbeStylePlugin.json")

 public:
  QStyle* create(const QString&) override { return nullptr; }
};

#include "ProbeStylePlugin.moc"
