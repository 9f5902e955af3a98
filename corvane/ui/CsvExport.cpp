#include "CsvExport.h"

#include <QFileInfo>
#include <QSaveFile>

QString CsvExport::CsvPath(const QString& chosen)
{
    const QFileInfo info(chosen);
    const QString name = info.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString folder = chosen.left(chosen.size() - name.size());
    return folder + stem + QStringLiteral(".CSV");
}

bool CsvExport::WriteFile(const QString& path, const std::string& bytes, QString* error)
{
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()) &&
                    file.commit();
    if (!ok && error) *error = file.errorString();
    return ok;
}
