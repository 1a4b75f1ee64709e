#pragma once
// The program folder: $CORVANEL_HOME when set, else the executable's folder.
// It always ends in '/', and every file and folder of the system is relative to it.
#include <string>

std::string ProgramFolder();

// Resolves the folder from the environment and /proc/self/exe; called once at start-up.
void InitProgramFolder();

// Sets the folder directly (tests, tools); a missing trailing '/' is added.
void SetProgramFolder(std::string folder);
