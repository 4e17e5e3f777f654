// Keystrokes for the X11 window driver: the SendKeys text as keysyms, and the key and modifiers of
// the current keyboard map that type each. Xlib only; no Qt header may sit beside it.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace x11keys {

// One key to type: its keycode and the real modifiers that select the wanted level.
struct Stroke {
    KeyCode keycode;
    unsigned int mods;
};

// Parses the SendKeys text: "{ENTER}" is Return, "{{}" and "{}}" are braces; other characters, in
// UTF-8, stand for themselves. nullopt, with the reason in error, for text that cannot be typed.
std::optional<std::vector<KeySym>> parseKeys(const std::string& keys, std::string& error);

// Finds a key of the keyboard group that yields sym, with the fewest modifiers; Lock is never used.
std::optional<Stroke> strokeFor(XkbDescPtr xkb, int group, XModifierKeymap* modmap, KeySym sym);

// One key per modifier bit, taken from the modifier map; nullopt when a bit has none.
std::optional<std::vector<KeyCode>> modifierKeysFor(XModifierKeymap* modmap, unsigned int mods);

} // namespace x11keys
