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
// first of these that holds "TrailerLOW.mp3": the folder set by
// SetShowDataFolder, the working directory, the running executable's folder,
// the installed data folder (../share/velmora-trailer from the executable's
// folder). The working directory when none does.
//
// Only regular files are opened: a FIFO, a device or a socket under a show
// file's name is refused as soon as it is found, never waited on.
// Main thread only.
#pragma once

#include <cstdio>
#include <string>

// Why a file was not opened.
enum class FileProblem { None, NotFound, NotRegular, Unreadable };
const char* FileProblemText(FileProblem problem);  // "not found", "not a regular file", ...

// Opens `windowsName` for binary reading; nullptr when there is no such
// regular file, with the reason in *problem (may be null).
FILE* OpenShowFile(const char* windowsName, FileProblem* problem = nullptr);

// Opens the Linux path `path` read-only when it is a regular file: a
// descriptor in blocking mode, or -1 with the reason in *problem (may be null).
int OpenRegularFile(const char* path, FileProblem* problem);

// The Linux path that `windowsName` resolves to; false when none exists.
bool ResolveShowFile(const char* windowsName, std::string* path);

// The folder searched first; empty: none.
void SetShowDataFolder(const std::string& folder);

// Whether `folder` would be taken as a data folder: it holds the soundtrack.
bool IsShowDataFolder(const std::string& folder);

// The data folder in force, ending in '/'; empty for the working directory.
std::string ShowDataFolder();

// For tools that take file names from their command line: while on, names
// are plain Linux paths, relative to the working directory, not show names.
void TakeShowNamesAsPaths(bool on);
