#pragma once
// Resources compiled into the executable (see cmake/EmbedResources.cmake),
// looked up by name and type.

#include <cstddef>
#include <string>

namespace corvina {

struct TResource {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

// Null when the running executable carries no such resource. Names and types
// are compared without regard to ASCII case.
const TResource* FindResource(const std::string& name, const std::string& type);

// A generated source defines one static registrar per embedded file.
struct TResourceRegistrar {
  TResourceRegistrar(const char* name, const char* type, const unsigned char* data,
                     std::size_t size);
};

}  // namespace corvina
