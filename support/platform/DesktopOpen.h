// DesktopOpen: asks the desktop to open a file with its default program.
#pragma once

#include <functional>
#include <string>

// Hands the file to the installed handler, or without one to the platform's default way. False
// when nothing took it (no opener could be started); what the opener does with it is its own.
bool DesktopOpenFile(const std::string& FileName);

// The GUI installs the toolkit's way of opening documents here; an empty handler brings back
// the platform's default.
using DesktopOpenHandler = std::function<bool(const std::string& FileName)>;
void SetDesktopOpenHandler(DesktopOpenHandler Handler);

// The platform's default way; one implementation file per platform.
bool PlatformDesktopOpen(const std::string& FileName);
