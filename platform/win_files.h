// Opening the show's files by their Windows names on Linux.
//
// The show names its files Windows-style, for a case-insensitive file system:
// "Data\Nena1.3DS". A name is looked up relative to the working directory,
// then relative to the folder of the running executable (where the build puts
// the default soundtrack and data). '\' separates folders; where the exact
// name does not exist, each component is matched case-insensitively.
#pragma once

#include <cstdio>
#include <string>

// Opens `windowsName` with fopen's `mode`; nullptr when no match exists.
FILE* OpenShowFile(const char* windowsName, const char* mode);

// The Linux path that `windowsName` resolves to; false when none exists.
bool ResolveShowFile(const char* windowsName, std::string* path);
