#include "Console.h"

void attachParentConsole() {}
