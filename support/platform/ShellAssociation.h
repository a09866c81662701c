// ShellAssociation: the "Open with Clipvane" entry the desktop offers for AVI files.
#pragma once

#include <string>

// The entry sits beside the AVI type's other handlers: it never becomes the type's default
// program and never creates a type of its own. On Linux it is the desktop entry
// clipvane-open.desktop in the user's applications folder ($XDG_DATA_HOME/applications, by
// default ~/.local/share/applications); its Name is the caption shown in "Open with" lists.
//
// None of these throws. The operations return "" on success, otherwise an English reason for the
// log; the caller decides whether the user hears about it (the menu commands stay silent).

// Whether the entry exists.
bool IsAssociated();

// Whether an existing entry shows another caption than Caption (compared case-sensitively) and
// the user may rewrite it; false when there is no entry or it cannot be read.
bool AssociationOutdated(const std::string& Caption);

// Writes the entry with Caption as its name and the command that opens one file with ExePath,
// replacing an older one, then refreshes the desktop's handler cache.
std::string Associate(const std::string& Caption, const std::string& ExePath);

// Removes the entry (no entry is no error), then refreshes the desktop's handler cache.
std::string Dissociate();

// Where the entry lives (for the log and for tests); "" when no home folder is known.
std::string AssociationEntryPath();
