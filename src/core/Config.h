#pragma once

#include <QString>

// The launcher's settings, read from the process environment at every call. A variable that is
// set, even to an empty value, replaces the built-in default.
namespace Config {

QString apiBaseUrl();
QString webSocketUrl();
QString logLevel();
bool isDevelopment();

// The platform's own domain, built into the program: the organisation domain and the hosts the
// dashboard may show. Not derived from API_BASE_URL.
QString platformDomain();

} // namespace Config
