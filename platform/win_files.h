// Opening the show's files by their Windows names on Linux.
//
// The show names its files Windows-style, for a case-insensitive file system:
// "Data\Nena1.3DS". '\' separates folders; where the exact name does not
// exist, each component is matched ignoring case, and where several names
// match the same way, the first in byte order wins (the same one every run).
// A folder never stands for a file, nor a file for a folder.
//
// Relative names are looked up in one data folder only, so that the
// soundtrack and the models never come from two different sets. It is the
// first of these that holds "TrailerLOW.mp3" or a "Data" folder: the folder
// set by SetShowDataFolder, the working directory, the running executable's
// folder, the installed data folder (../share/velmora-trailer from the
// executable's folder). The working directory when none does.
// Main thread only.
#pragma once

#include <cstdio>
#include <string>

// Opens `windowsName` with fopen's `mode`; nullptr when no match exists.
FILE* OpenShowFile(const char* windowsName, const char* mode);

// The Linux path that `windowsName` resolves to; false when none exists.
bool ResolveShowFile(const char* windowsName, std::string* path);

// The folder searched first; empty: none.
void SetShowDataFolder(const std::string& folder);

// The data folder in force, ending in '/'; empty for the working directory.
std::string ShowDataFolder();
