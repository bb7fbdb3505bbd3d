// Which names stored in a cabinet may be written below a destination directory.
#pragma once

#include <string>

// Turns `/` into `\` and accepts only a relative name that stays below the destination:
// not empty, no leading separator, no drive letter or stream (':'), no empty component,
// none ending in a dot or blank (so no "." or ".."), no control or wildcard characters,
// and no component that Windows takes for a device (CON, NUL, COM1, "lpt1.txt", ...).
bool SafeCabinetName(const std::string& stored, std::string& relative);

// True when a component of the stored name is a device name: the reason a refusal gives.
bool IsDeviceCabinetName(const std::string& stored);
