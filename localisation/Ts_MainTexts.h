// Ts_MainTexts: the design-time texts of the main window's message table Ts_Main, in order.
#pragma once

#include <string>
#include <vector>

// The English texts the main window looks its messages up by. Their order is part of the
// language file format: a translation replaces these lines by position.
const std::vector<std::string>& Ts_MainTexts();
