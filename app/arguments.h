// Numbers on a command line, read one way for the show's options and the
// tool's arguments alike: the whole text is the number (nothing before or
// after it but what strtod and strtoll skip), finite, and within its range,
// both ends included.
#pragma once

bool ParseInteger(const char* text, long long low, long long high, long long* value);
bool ParseInteger(const char* text, int low, int high, int* value);
bool ParseNumber(const char* text, double low, double high, double* value);

// "WxH": two integers within [low, high] around an 'x'.
bool ParseSize(const char* text, int low, int high, int* width, int* height);
