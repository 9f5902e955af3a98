// What the pages of the options dialog share: a page reads its settings
// when it is built and writes them when the dialog is closed with OK (only
// if the user opened it). Section titles are bold banners.
#pragma once

#include <QWidget>

class ISettingsStore;
class QComboBox;
class QLabel;

class COptionsPage : public QWidget {
    Q_OBJECT
public:
    COptionsPage(ISettingsStore& settings, QWidget* parent) : QWidget(parent), settings_(settings) {}
    // Checks the page's values; a message for the user when one is refused.
    virtual QString Refusal() const { return {}; }
    virtual void WriteSettings() = 0;

    // A section title.
    static QLabel* Banner(const QString& text, QWidget* parent);
    // A combo box with these items.
    static QComboBox* Combo(const QStringList& items, QWidget* parent);
    // The index of `value` among `values`; `fallback` when it is none of them.
    static int IndexOf(const QStringList& values, const QString& value, int fallback);

protected:
    QString ReadString(const char* key) const;
    void WriteString(const char* key, const QString& value);

    ISettingsStore& settings_;
};
