#pragma once
// Texts that name the platform. A Windows build keeps the design's texts;
// elsewhere they say what the program does there.

#include <QString>
#include <string>

namespace corvina {

#ifdef _WIN32
inline constexpr const char* kAutoStartCaption = "Запускать программу при загрузке Windows";
inline constexpr const char* kMemoryCaption = "Доступная память в Windows:";
#else
inline constexpr const char* kAutoStartCaption = "Запускать программу при входе в систему";
inline constexpr const char* kMemoryCaption = "Доступная память:";
#endif

// The about box's line for the database provider the connection names
// ("SQLite 3.40.1" gives "Поставщик данных - SQLite 3.40" outside Windows).
QString DataProviderLine(const std::string& provider);

}  // namespace corvina
