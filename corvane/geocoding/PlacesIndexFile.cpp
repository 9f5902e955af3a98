#include "PlacesIndexFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

const char* const kIndexName = "places.bin";

// The program's folder without needing a QCoreApplication (the command line
// may run without one).
QString ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QString() : QString::fromStdString(self.parent_path().string());
}

}  // namespace

QStringList PlacesIndexCandidates()
{
    QStringList candidates;
    const QString program = ProgramFolder();
    if (!program.isEmpty()) candidates << program + QStringLiteral("/../share/corvane/") + QLatin1String(kIndexName);
    candidates << QStringLiteral(CORVANE_DATA_INSTALL_DIR "/") + QLatin1String(kIndexName);
    candidates << QStringLiteral(CORVANE_PLACES_BUILT);
    return candidates;
}

QString DefaultPlacesIndexPath()
{
    const QStringList candidates = PlacesIndexCandidates();
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
    return candidates.value(0);
}

std::shared_ptr<const COfflinePlaces> OpenPlacesIndex(const QString& path, std::error_code* error)
{
    static std::mutex lock;
    static std::map<QString, std::shared_ptr<const COfflinePlaces>> opened;
    const QString file = path.isEmpty() ? DefaultPlacesIndexPath() : path;
    std::lock_guard<std::mutex> hold(lock);
    const auto known = opened.find(file);
    if (known != opened.end()) {
        if (error) error->clear();
        return known->second;
    }
    auto index = std::make_shared<COfflinePlaces>();
    const std::error_code result = index->Load(file.toStdString());
    if (error) *error = result;
    if (result) return nullptr;
    opened[file] = index;
    return index;
}

QString PlacesIndexProblem(const std::error_code& error)
{
    if (error == OstrelErrc::IndexDamaged)
        return QCoreApplication::translate("Geocoding", "the offline places index is damaged (reinstall Corvane)");
    return QCoreApplication::translate("Geocoding",
                                       "the offline places index is not installed (it is built when the build can "
                                       "reach the npm registry)");
}
