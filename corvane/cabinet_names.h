// Which names stored in a cabinet may be written below a destination directory, and
// what is wrong with the others.
#pragma once

#include <string>

enum class NameFault {
    None,
    Escapes,        // absolute, a drive or share, or a part of dots only such as ".."
    Device,         // a part Windows takes for a device: CON, NUL, COM1, "lpt1.txt", ...
    Character,      // a character Windows does not allow in a file name (`character`)
    Malformed,      // empty, an empty part, or a part ending in a dot or blank
    NotText,        // not text in the name's code page (found on conversion, not here)
    WorkName,       // a part with the form of the host's own work files (WorkNameOf)
};

struct NameCheck {
    NameFault fault = NameFault::None;
    unsigned char character = 0;  // the character refused, for NameFault::Character
};

// The forms of the host's own work files, which the host takes for its own wherever it
// settles what a stopped setup left, so that no cabinet may store them: "~ck<hex>", a
// staging folder ("~ck<hex>.s" of an earlier build), and "NAME.~ck<hex>", an earlier
// build's copy under way; letter case ignored, as Windows ignores it.
enum class WorkName { None, Stage, Copy };
WorkName WorkNameOf(const std::string& part);

// Turns `/` into `\` in `relative` and accepts only a name that stays below the
// destination and that Windows writes under that very name. An escape is reported
// before any other fault of the same name.
NameCheck CheckCabinetName(const std::string& stored, std::string& relative);
