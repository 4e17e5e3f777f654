// The font of the system's own dialogs for the windows of both programs.
#pragma once

#ifdef _WIN32
// Qt takes the system's message font by its name. Under Wine that name is "MS Shell Dlg", an alias that only the
// system's font mapper resolves (to Tahoma, or whatever stands in for it); Qt's font list has no such family and
// falls back to its first family, a serif. This maps the alias to the face the system really uses. Call it once,
// after the application object exists and before the first window.
void useSystemUiFont();
#else
// The desktop's font settings reach Qt directly.
inline void useSystemUiFont() {}
#endif
