#include "app/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

bool ParseInteger(const char* text, long long low, long long high, long long* value) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno || end == text || *end || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

bool ParseInteger(const char* text, int low, int high, int* value) {
  long long parsed = 0;
  if (!ParseInteger(text, static_cast<long long>(low), static_cast<long long>(high), &parsed)) return false;
  *value = int(parsed);
  return true;
}

bool ParseNumber(const char* text, double low, double high, double* value) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (errno || end == text || *end || !std::isfinite(parsed) || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

bool ParseSize(const char* text, int low, int high, int* width, int* height) {
  const char* x = text ? std::strchr(text, 'x') : nullptr;
  if (!x) return false;
  const std::string w(text, size_t(x - text));
  return ParseInteger(w.c_str(), low, high, width) && ParseInteger(x + 1, low, high, height);
}
