// What the widget tests share: settings in a temporary folder (never the
// user's own), copies of the sample pictures, and a started program whose
// folder has been loaded.
#pragma once

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "CorvaneApp.h"
#include "CorvaneDoc.h"
#include "DocumentInterfaces.h"
#include "QtDocumentUserInterface.h"

namespace GuiTest {

inline QString Samples(const QString& sub) { return QStringLiteral(CORVANE_SAMPLES "/pictures/") + sub; }

inline bool HaveSamples() { return QDir(Samples(QStringLiteral("gps"))).exists(); }

// Points QSettings (and so the settings store) at `folder`.
inline void UseSettingsIn(const QString& folder)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    QSettings::setDefaultFormat(QSettings::IniFormat);
}

// Copies the pictures of a sample sub-folder into `target`; the number copied.
inline int CopySamples(const QString& sub, const QString& target, int limit = 1000)
{
    int copied = 0;
    const QDir source(Samples(sub));
    for (const QString& name : source.entryList(QDir::Files, QDir::Name)) {
        if (copied == limit) break;
        if (QFile::copy(source.filePath(name), QDir(target).filePath(name))) ++copied;
    }
    return copied;
}

// Presses `key` in an open cell editor and waits until the table has closed
// it (Enter commits on the next turn of the event loop).
inline bool EndEdit(QAbstractItemView* table, QWidget* target, Qt::Key key,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QSignalSpy closed(table->itemDelegate(), &QAbstractItemDelegate::closeEditor);
    QTest::keyClick(target, key, modifiers);
    if (closed.isEmpty() && !closed.wait(5000)) return false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return true;
}

// The program started on `folder`, with its pictures loaded.
struct RunningProgram {
    std::unique_ptr<CCorvaneApp> App = std::make_unique<CCorvaneApp>();

    bool Start(const QString& folder)
    {
        auto ui = [this]() -> CQtDocumentUserInterface& { return App->UserInterface(); };
        if (!App->InitInstance(folder)) return false;
        QSignalSpy loaded(&ui(), &CQtDocumentUserInterface::CommandHandled);
        return loaded.wait(10000) && loaded.at(0).at(0).toInt() == kCommandLoadFolder;
    }
};

}  // namespace GuiTest
