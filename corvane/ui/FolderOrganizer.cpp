#include "FolderOrganizer.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

CFolderOrganizer::CFolderOrganizer(QFileSystemModel& files, QAbstractItemView& view, QWidget* parent)
    : QMenu(parent), files_(files), view_(view)
{
    addAction(tr("New Folder"), this, &CFolderOrganizer::NewFolder);
    addAction(tr("Rename"), this, &CFolderOrganizer::Rename);
    addAction(tr("Delete"), this, &CFolderOrganizer::MoveToTrash);
    addSeparator();
    addAction(tr("Copy"), this, &CFolderOrganizer::Copy);
    addAction(tr("Paste"), this, &CFolderOrganizer::Paste);
}

QString CFolderOrganizer::Folder() const
{
    auto* proxy = qobject_cast<QAbstractProxyModel*>(view_.model());
    const QModelIndex root = proxy ? proxy->mapToSource(view_.rootIndex()) : view_.rootIndex();
    return files_.filePath(root);
}

QStringList CFolderOrganizer::SelectedPaths() const
{
    auto* proxy = qobject_cast<QAbstractProxyModel*>(view_.model());
    QStringList paths;
    for (const QModelIndex& index : view_.selectionModel()->selectedIndexes())
        if (index.column() == 0) paths << files_.filePath(proxy ? proxy->mapToSource(index) : index);
    return paths;
}

void CFolderOrganizer::NewFolder()
{
    const QString folder = Folder();
    if (folder.isEmpty()) return;
    QString name = tr("New folder");
    for (int n = 2; QFileInfo::exists(folder + QLatin1Char('/') + name); ++n) name = tr("New folder (%1)").arg(n);
    const QModelIndex created = files_.mkdir(files_.index(folder), name);
    auto* proxy = qobject_cast<QAbstractProxyModel*>(view_.model());
    if (created.isValid() && proxy) view_.edit(proxy->mapFromSource(created));
}

void CFolderOrganizer::Rename()
{
    const QModelIndex current = view_.currentIndex();
    if (current.isValid()) view_.edit(current.siblingAtColumn(0));
}

void CFolderOrganizer::MoveToTrash()
{
    for (const QString& path : SelectedPaths()) {
        QFile file(path);
        if (!file.moveToTrash())
            QMessageBox::warning(parentWidget(), tr("Delete"), tr("Could not move %1 to the trash.").arg(path));
    }
}

void CFolderOrganizer::Copy()
{
    QList<QUrl> urls;
    for (const QString& path : SelectedPaths()) urls << QUrl::fromLocalFile(path);
    auto* data = new QMimeData;
    data->setUrls(urls);
    QApplication::clipboard()->setMimeData(data);
}

void CFolderOrganizer::Paste()
{
    const QString folder = Folder();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (folder.isEmpty() || !data) return;
    for (const QUrl& url : data->urls()) {
        const QFileInfo source(url.toLocalFile());
        if (!source.isFile()) continue;
        QString target = folder + QLatin1Char('/') + source.fileName();
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = folder + QLatin1Char('/') + source.completeBaseName() + QStringLiteral(" (%1).").arg(n) + source.suffix();
        if (!QFile::copy(source.absoluteFilePath(), target))
            QMessageBox::warning(parentWidget(), tr("Paste"), tr("Could not copy %1.").arg(source.fileName()));
    }
}
