#include "platform/Resources.h"

#include <strings.h>

#include <vector>

namespace corvina {
namespace {

struct Entry {
  const char* name;
  const char* type;
  TResource resource;
};

std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

TResourceRegistrar::TResourceRegistrar(const char* name, const char* type,
                                       const unsigned char* data, std::size_t size) {
  Registry().push_back({name, type, {data, size}});
}

const TResource* FindResource(const std::string& name, const std::string& type) {
  for (const Entry& e : Registry())
    if (strcasecmp(e.name, name.c_str()) == 0 && strcasecmp(e.type, type.c_str()) == 0)
      return &e.resource;
  return nullptr;
}

}  // namespace corvina
