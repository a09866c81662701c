// Ts_MainTexts: the design-time texts of the main window's message table Ts_Main, in order.
#pragma once

#include <string>
#include <vector>

// The English texts the main window looks its messages up by. Their order is part of the
// language file format: a translation replaces these lines by position.
const std::vector<std::string>& Ts_MainTexts();

// The lines of the keyboard list, each a text of the table.
inline constexpr const char* kKeyListTexts[] = {
    "Left / Right: previous / next frame",
    "Page Up / Page Down, Alt+Left / Alt+Right: 50 frames back / forward",
    "Shift+Left / Shift+Right: previous / next key frame",
    "Home, Ctrl+Left / End, Ctrl+Right: first / last frame",
    "Mouse wheel: one frame",
    ("Ctrl+O: load a file; Ctrl+Q: quit; F1: help; Ctrl+L: log file; Ctrl+U: check for update; "
     "Ctrl+B: about; Ctrl+F1: this list"),
    ("Up / Down: next / previous key frame; Ctrl+G: go to a frame or a time; Ctrl+mouse wheel: "
     "zoom the seek bar"),
    ("Space: play / pause; Shift+Space: play the selection; J / K / L: backwards / pause / "
     "forwards (again: faster); M: mute"),
};
