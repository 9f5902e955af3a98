#include "OptionsPage.h"

#include <QComboBox>
#include <QLabel>

#include "SettingsStore.h"

QLabel* COptionsPage::Banner(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Button);
    label->setContentsMargins(5, 2, 5, 2);
    return label;
}

QComboBox* COptionsPage::Combo(const QStringList& items, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    // Long choices are elided rather than widening the page they sit on.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(16);
    combo->addItems(items);
    return combo;
}

int COptionsPage::IndexOf(const QStringList& values, const QString& value, int fallback)
{
    const int index = values.indexOf(value);
    return index >= 0 ? index : fallback;
}

QString COptionsPage::ReadString(const char* key) const
{
    return QString::fromStdWString(ReadStringSetting(settings_, key));
}

void COptionsPage::WriteString(const char* key, const QString& value) { settings_.SetString(key, value.toStdWString()); }
