// The organise menu of the folder browser: new folder, rename, delete to
// the trash, copy and paste of files through the clipboard.
#pragma once

#include <QMenu>

class QAbstractItemView;
class QFileSystemModel;

class CFolderOrganizer : public QMenu {
    Q_OBJECT
public:
    CFolderOrganizer(QFileSystemModel& files, QAbstractItemView& view, QWidget* parent = nullptr);

private:
    QString Folder() const;
    QStringList SelectedPaths() const;
    void NewFolder();
    void Rename();
    void MoveToTrash();
    void Copy();
    void Paste();

    QFileSystemModel& files_;
    QAbstractItemView& view_;
};
