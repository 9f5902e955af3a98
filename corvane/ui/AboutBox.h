// The About box: the program's icon, name and version, what it is for, the
// project's pages, and the licences of the data and libraries it ships.
#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace AboutBox {

// The box, not yet shown; the caller owns it.
QMessageBox* Create(QWidget* parent);
// The credits and licences, as rich text.
QString Licences();

}  // namespace AboutBox
