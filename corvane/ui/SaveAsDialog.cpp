#include "SaveAsDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

namespace {

const char* const kDefaultExtensions[] = {".JPG", ".TIF"};

}  // namespace

QString SaveAsDialog::SwapExtension(const QString& name, int typeIndex)
{
    if (typeIndex < 1 || typeIndex > 2) return name;
    const int slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    // Only the file name's own extension goes, never a dot of a folder.
    const QString stem = dot > slash + 1 ? name.left(dot) : name;
    return stem + QLatin1String(kDefaultExtensions[typeIndex - 1]);
}

QString SaveAsDialog::Ask(QWidget* owner, const QString& proposedName, int& typeIndex)
{
    const QStringList filters{QObject::tr("JPEG Picture (*.JPG *.JPEG *.JPE *.JFIF *.jpg *.jpeg *.jpe *.jfif)"),
                              QObject::tr("TIFF Picture (*.TIF *.TIFF *.tif *.tiff)")};
    QFileDialog dialog(owner, QObject::tr("Choose Where to Save and Its Name"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // the name box must be reachable to swap extensions
    dialog.setNameFilters(filters);
    // A proposed name with a folder opens the dialog there, not in the program's working folder.
    const QFileInfo proposed(proposedName);
    if (proposed.isAbsolute()) dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &filters](const QString& filter) {
        auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!nameBox || nameBox->text().isEmpty()) return;
        nameBox->setText(SwapExtension(nameBox->text(), static_cast<int>(filters.indexOf(filter)) + 1));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    typeIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialog.selectedFiles().first();
}
