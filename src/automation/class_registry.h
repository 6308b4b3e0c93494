// The registry of automation classes: program identifiers ("Word.Application") mapped to the
// factories that create their objects, the stand-in for the system's class registration. Servers
// register themselves at program start (the engine's registerWordEngine); callers only look up.
// Identifiers match without regard to letter case. Safe to use from several threads.
#pragma once

#include "automation/object.h"

#include <functional>
#include <string_view>

namespace quillet {

using ClassFactory = std::function<Object()>;

// Registers `factory` under `progId`, replacing an earlier registration of the same identifier.
void registerClass(std::u16string_view progId, ClassFactory factory);
// Removes the registration; an identifier not registered is ignored.
void unregisterClass(std::u16string_view progId);

// True when a class is registered under `progId`; nothing is created.
bool IsClassRegistered(std::u16string_view progId);
// A new object of the class; throws AutomationError "CreateObject(progId): class not registered"
// when nothing is registered, or what the factory throws.
Object CreateObject(std::u16string_view progId);

// True when "Word.Application" is registered. Nothing else is tested: a class that fails to start
// shows only when it is created.
bool IsWordInstalled();

}  // namespace quillet
