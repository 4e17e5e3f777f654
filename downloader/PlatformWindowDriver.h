// The window driver of the system the program is built for.
#pragma once

#ifdef _WIN32
#include "Win32WindowDriver.h"
using PlatformWindowDriver = Win32WindowDriver;
#else
#include "X11WindowDriver.h"
using PlatformWindowDriver = X11WindowDriver;
#endif
