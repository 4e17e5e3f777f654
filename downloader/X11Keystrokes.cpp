#include "X11Keystrokes.h"

#include <X11/keysym.h>

#include <bit>

namespace x11keys {
namespace {

// Decodes UTF-8 into code points; nullopt for malformed input.
std::optional<std::vector<char32_t>> decodeUtf8(const std::string& text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

KeySym keysymForCodePoint(char32_t cp) {
    if (cp == U'\n' || cp == U'\r') {
        return XK_Return; // a line break means Enter here, never Linefeed
    }
    if (cp == U'\t') {
        return XK_Tab;
    }
    if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<KeySym>(cp);
    }
    if (cp > 0xFF && cp <= 0x10FFFF) {
        return static_cast<KeySym>(0x01000000 | cp);
    }
    return NoSymbol;
}

} // namespace

// Finds a key of the current keyboard group that yields sym, with the fewest modifiers; Lock is
// never used, since pressing it would toggle Caps Lock.
std::optional<Stroke> strokeFor(XkbDescPtr xkb, int group, XModifierKeymap* modmap, KeySym sym) {
    std::optional<Stroke> best;
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        const auto code = static_cast<KeyCode>(kc);
        const int groups = XkbKeyNumGroups(xkb, code);
        if (groups == 0) {
            continue;
        }
        const int g = group < groups ? group : group % groups;
        XkbKeyTypePtr type = XkbKeyKeyType(xkb, code, g);
        for (int level = 0; level < type->num_levels; ++level) {
            if (XkbKeySymEntry(xkb, code, level, g) != sym) {
                continue;
            }
            std::vector<unsigned int> choices;
            bool levelZeroTaken = false;
            for (int e = 0; e < type->map_count; ++e) {
                const XkbKTMapEntryRec& entry = type->map[e];
                if (!entry.active) {
                    continue;
                }
                if (entry.mods.mask == 0 && entry.level != 0) {
                    levelZeroTaken = true;
                }
                if (entry.level == level && (entry.mods.mask & LockMask) == 0) {
                    choices.push_back(entry.mods.mask);
                }
            }
            if (level == 0 && !levelZeroTaken) {
                choices.push_back(0);
            }
            for (unsigned int mods : choices) {
                if (!modifierKeysFor(modmap, mods)) {
                    continue;
                }
                if (!best || std::popcount(mods) < std::popcount(best->mods)) {
                    best = Stroke{code, mods};
                }
            }
        }
    }
    return best;
}

// One key per modifier bit, taken from the modifier map; nullopt when a bit has none.
std::optional<std::vector<KeyCode>> modifierKeysFor(XModifierKeymap* modmap, unsigned int mods) {
    std::vector<KeyCode> keys;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mods & (1U << bit)) == 0) {
            continue;
        }
        KeyCode found = 0;
        for (int i = 0; i < modmap->max_keypermod && found == 0; ++i) {
            found = modmap->modifiermap[bit * modmap->max_keypermod + i];
        }
        if (found == 0) {
            return std::nullopt;
        }
        keys.push_back(found);
    }
    return keys;
}

// Parses the SendKeys text: "{ENTER}" is Return, "{{}" and "{}}" are braces; other characters
// stand for themselves.
std::optional<std::vector<KeySym>> parseKeys(const std::string& keys, std::string& error) {
    std::vector<KeySym> out;
    std::string plain;
    auto flush = [&]() -> bool {
        const auto cps = decodeUtf8(plain);
        plain.clear();
        if (!cps) {
            error = "the text is not valid UTF-8";
            return false;
        }
        for (char32_t cp : *cps) {
            const KeySym sym = keysymForCodePoint(cp);
            if (sym == NoSymbol) {
                error = "character U+" + std::to_string(static_cast<unsigned long>(cp)) + " has no key";
                return false;
            }
            out.push_back(sym);
        }
        return true;
    };
    for (std::size_t i = 0; i < keys.size();) {
        if (keys[i] != '{') {
            plain += keys[i++];
            continue;
        }
        if (!flush()) {
            return std::nullopt;
        }
        if (keys.compare(i, 7, "{ENTER}") == 0) {
            out.push_back(XK_Return);
            i += 7;
        } else if (keys.compare(i, 3, "{{}") == 0 || keys.compare(i, 3, "{}}") == 0) {
            out.push_back(static_cast<KeySym>(keys[i + 1]));
            i += 3;
        } else {
            error = "unknown key name at \"" + keys.substr(i, 12) + "\"";
            return std::nullopt;
        }
    }
    if (!flush()) {
        return std::nullopt;
    }
    return out;
}

} // namespace x11keys
