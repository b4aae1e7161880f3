// The verbs a control offers its container (IOleObject::EnumVerbs), from a table.
#pragma once

#include <ole2.h>

#include <span>

namespace fw {

struct ControlVerb {
    LONG verb;            // e.g. OLEIVERB_PROPERTIES
    const wchar_t* name;  // menu text, with its & accelerator
};

// A new enumerator over verbs (reference count 1). The table must outlive it (static tables).
IEnumOLEVERB* CreateVerbEnum(std::span<const ControlVerb> verbs, ULONG position = 0);

}  // namespace fw
