// Mirewatch --linked FILE [--by-ip] [--csv]: the linked-name groups of a ban file on standard output.
#pragma once

#include <optional>

// The exit status when the arguments ask for the linked names, after printing them; nothing otherwise.
std::optional<int> runLinkedCommand(int argc, char* argv[]);
