// The Save As file dialog: "JPEG Picture" and "TIFF Picture" types, and a
// handler that keeps the typed name's extension in step with the chosen
// type (".JPG", ".TIF").
#pragma once

#include <QString>

class QWidget;

namespace SaveAsDialog {

// The name with its extension (if any) replaced by the default extension of
// type `typeIndex` (1 JPEG, 2 TIFF, counting from 1 as the dialog does).
QString SwapExtension(const QString& name, int typeIndex);
// Asks for the path; `typeIndex` is set to the chosen type. Empty when cancelled.
QString Ask(QWidget* owner, const QString& proposedName, int& typeIndex);

}  // namespace SaveAsDialog
