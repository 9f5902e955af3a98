// Finds and opens the offline places index installed with the program. An
// index is read and checked once per path and then shared, read-only, by
// every user in the process (the document, the map's search on its thread).
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <system_error>

#include "OfflinePlaces.h"

// Where the index may lie, in the order tried: beside the program's
// installation (../share/corvane), the installation prefix it was built
// for, and the build folder.
QStringList PlacesIndexCandidates();
// The first candidate that exists; the first candidate when none does.
QString DefaultPlacesIndexPath();

// The index at `path` (DefaultPlacesIndexPath() when empty); null with
// `error` set (OstrelErrc::IndexMissing, IndexDamaged) when it cannot be
// used. A failed open is not remembered: a later call tries again.
std::shared_ptr<const COfflinePlaces> OpenPlacesIndex(const QString& path, std::error_code* error = nullptr);

// Why the offline places cannot answer, for the user.
QString PlacesIndexProblem(const std::error_code& error);
