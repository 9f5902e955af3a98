// The program's own icons: one drawing per command, the mark of a picture
// with unsaved changes, and the program's icon. They are SVG drawings in
// the program's resources, rendered here at every size a button asks for,
// so they need no image plugin and no desktop icon theme.
#pragma once

#include <QIcon>

namespace CommandIcons {

// The icon of a command of the command table; a null icon for a command without one.
QIcon ForCommand(int command);
// An icon by its drawing's name ("changed" is the unsaved-changes mark).
QIcon Named(const QString& name);
// The program's own icon.
QIcon Program();
// The name of the drawing of a command; empty when it has none.
QString DrawingOf(int command);

}  // namespace CommandIcons
