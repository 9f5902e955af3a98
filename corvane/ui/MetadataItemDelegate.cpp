#include "MetadataItemDelegate.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>

#include "CorvaneDoc.h"
#include "ImgDirectionEditor.h"
#include "MetadataTable.h"
#include "MetadataTableModel.h"
#include "NumericEdit.h"

namespace {

// An editor remembers what it showed when it opened, and whether its cell
// was empty then: an empty cell left as it was gets no value.
const char* const kStartValue = "corvaneStartValue";
const char* const kCellWasEmpty = "corvaneCellWasEmpty";

const QDateTime kDefaultDateTime(QDate(2000, 1, 1), QTime(0, 0, 0));

QDateTime ToDateTime(const AutomationDate& date)
{
    DateTimeParts p;
    if (!date.IsValid() || !date.ToParts(p)) return kDefaultDateTime;
    return QDateTime(QDate(p.Year, p.Month, p.Day), QTime(p.Hour, p.Minute, p.Second));
}

double ToDays(const QDate& date, const QTime& time)
{
    return AutomationDate::FromParts(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second())
        .Value;
}

QString EditorSnapshot(QWidget* editor)
{
    if (auto* e = qobject_cast<QDateTimeEdit*>(editor)) return e->dateTime().toString(Qt::ISODate);
    if (auto* e = qobject_cast<QComboBox*>(editor)) return e->currentText();
    if (auto* e = qobject_cast<QLineEdit*>(editor)) return e->text();
    if (auto* e = qobject_cast<CImgDirectionEditor*>(editor))
        return e->DirectionText() + QChar(QLatin1Char(e->ReferenceLetter()));
    return {};
}

bool NumericEntry(QWidget* editor, UpdateEntry& entry)
{
    auto* edit = qobject_cast<CNumericEdit*>(editor);
    if (!edit || edit->GetValidText(edit->text()).isEmpty()) return false;
    entry.Number = edit->GetValue();
    return true;
}

bool DirectionEntry(QWidget* editor, UpdateEntry& entry)
{
    auto* e = qobject_cast<CImgDirectionEditor*>(editor);
    if (!e) return false;
    bool ok = false;
    const double typed = e->DirectionText().toDouble(&ok);
    entry.Number = ok ? typed : e->Degrees();
    entry.Reference = e->ReferenceLetter();
    return true;
}

bool PrecisionEntry(QWidget* editor, UpdateEntry& entry)
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (!combo || combo->currentIndex() < 0) return false;
    entry.SetExtraText(combo->currentText().toStdWString());
    entry.Number = CMetadataItemDelegate::PrecisionDop(combo->currentIndex());
    return true;
}

bool DateEntry(QWidget* editor, UpdateEntry& entry, int column)
{
    auto* e = qobject_cast<QDateTimeEdit*>(editor);
    if (!e) return false;
    const QDateTime value = e->dateTime();
    if (column == GPSDateField)
        entry.Number = ToDays(value.date(), QTime(0, 0, 0));
    else if (column == GPSTimeField)
        entry.Number = ToDays(QDate(1899, 12, 30), value.time());
    else
        entry.Number = ToDays(value.date(), value.time());
    return true;
}

QString TextOf(const CGPSMetadataInfo* r, int column)
{
    if (!r) return {};
    const std::wstring* text = nullptr;
    switch (column) {
    case MapDatumField: text = r->MapDatum; break;
    case LocationField: text = r->SubLocation; break;
    case CityField: text = r->City; break;
    case StateField: text = r->ProvinceState; break;
    case CountryField: text = r->CountryName; break;
    default: break;
    }
    return text ? QString::fromStdWString(*text) : QString();
}

bool FieldPresent(const CGPSMetadataInfo* r, int column)
{
    if (!r) return false;
    switch (column) {
    case DateTakenField: return r->DateTaken;
    case LatitudeField: return r->Latitude;
    case LongitudeField: return r->Longitude;
    case AltitudeField: return r->Altitude;
    case ImageDirectionField: return r->ImgDirection;
    case MeasurementPrecisionField: return r->PrecisionRating;
    case GPSDateField: return r->GPSDate;
    case GPSTimeField: return r->GPSTime;
    default: return !TextOf(r, column).isNull();
    }
}

}  // namespace

const QStringList& CMetadataItemDelegate::PrecisionWords()
{
    static const QStringList words{QStringLiteral("Ideal"), QStringLiteral("Excellent"), QStringLiteral("Good"),
                                   QStringLiteral("Moderate"), QStringLiteral("Fair"), QStringLiteral("Poor")};
    return words;
}

double CMetadataItemDelegate::PrecisionDop(int wordIndex)
{
    static const double dops[] = {1.0, 1.5, 3.5, 7.5, 15.0, 25.0};
    return wordIndex >= 0 && wordIndex < 6 ? dops[wordIndex] : dops[5];
}

QWidget* CMetadataItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                             const QModelIndex& index) const
{
    switch (index.column()) {
    case DateTakenField: {
        auto* e = new QDateTimeEdit(parent);
        e->setDisplayFormat(QStringLiteral("M/d/yyyy h:mm:ss AP"));
        e->setCalendarPopup(true);
        return e;
    }
    case GPSDateField: {
        auto* e = new QDateEdit(parent);
        e->setDisplayFormat(QStringLiteral("M/d/yyyy"));
        e->setCalendarPopup(true);
        return e;
    }
    case GPSTimeField: {
        auto* e = new QTimeEdit(parent);
        e->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        return e;
    }
    case LatitudeField:
    case LongitudeField:
    case AltitudeField: {
        auto* e = new CNumericEdit(parent);
        if (index.column() == LatitudeField) e->SetRange(-90, 90);
        if (index.column() == LongitudeField) e->SetRange(-180, 180);
        return e;
    }
    case ImageDirectionField: return new CImgDirectionEditor(parent);
    case MeasurementPrecisionField: {
        auto* e = new QComboBox(parent);
        e->addItems(PrecisionWords());
        return e;
    }
    default: return new QLineEdit(parent);
    }
}

const CGPSMetadataInfo* CMetadataItemDelegate::RecordOf(const QModelIndex& index) const
{
    auto* model = qobject_cast<const CMetadataTableModel*>(index.model());
    if (!model) return nullptr;
    const int item = model->ItemAt(index.row());
    return item < 0 ? nullptr : model->Document().Item(item).Current();
}

void CMetadataItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // Filled once when the editor opens; later model updates do not overwrite typing.
    if (editor->property(kStartValue).isValid()) return;
    FillEditor(editor, index.column(), RecordOf(index));
}

void CMetadataItemDelegate::FillEditor(QWidget* editor, int column, const CGPSMetadataInfo* r)
{
    switch (column) {
    case DateTakenField:
        static_cast<QDateTimeEdit*>(editor)->setDateTime(r && r->DateTaken ? ToDateTime(*r->DateTaken)
                                                                            : kDefaultDateTime);
        break;
    case GPSDateField: {
        QDate date(2000, 1, 1);
        if (r && r->GPSDate) {
            const QDate stored((*r->GPSDate)[0], (*r->GPSDate)[1], (*r->GPSDate)[2]);
            if (stored.isValid()) date = stored;
        }
        static_cast<QDateTimeEdit*>(editor)->setDate(date);
        break;
    }
    case GPSTimeField: {
        QTime time(0, 0, 0);
        if (r && r->GPSTime) {
            const QTime stored((*r->GPSTime)[0], (*r->GPSTime)[1], (*r->GPSTime)[2]);
            if (stored.isValid()) time = stored;
        }
        static_cast<QDateTimeEdit*>(editor)->setTime(time);
        break;
    }
    case LatitudeField:
    case LongitudeField: {
        auto* e = static_cast<CNumericEdit*>(editor);
        const GPSCoordinate* c = r ? (column == LatitudeField ? r->Latitude : r->Longitude) : nullptr;
        if (c) e->SetValue(CGPSMetadataInfo::CoordinateToDecimal(*c));
        break;
    }
    case AltitudeField:
        if (r && r->Altitude) {
            const bool below = r->AltitudeRef && *r->AltitudeRef != 0;
            static_cast<CNumericEdit*>(editor)->SetValue(below ? -std::abs(*r->Altitude) : std::abs(*r->Altitude));
        }
        break;
    case ImageDirectionField: {
        auto* e = static_cast<CImgDirectionEditor*>(editor);
        if (r && r->ImgDirection)
            e->SetDirection(QString::fromStdWString(MetadataTable::FormatUpTo(*r->ImgDirection, 2)),
                            static_cast<int>(*r->ImgDirection) % 360, r->ImgDirectionRef ? *r->ImgDirectionRef : 'M');
        else
            e->SetDirection(QStringLiteral("0.0"), 0, 'M');
        break;
    }
    case MeasurementPrecisionField: {
        auto* e = static_cast<QComboBox*>(editor);
        const int at = r && r->PrecisionRating
                           ? PrecisionWords().indexOf(QString::fromStdWString(*r->PrecisionRating), 0)
                           : -1;
        e->setCurrentIndex(at >= 0 ? at : 5);
        break;
    }
    default: static_cast<QLineEdit*>(editor)->setText(TextOf(r, column)); break;
    }
    editor->setProperty(kStartValue, EditorSnapshot(editor));
    editor->setProperty(kCellWasEmpty, !FieldPresent(r, column));
}

std::unique_ptr<UpdateEntry> CMetadataItemDelegate::EntryFromEditor(QWidget* editor, int column)
{
    if (editor->property(kCellWasEmpty).toBool() && editor->property(kStartValue).toString() == EditorSnapshot(editor))
        return nullptr;
    auto entry = std::make_unique<UpdateEntry>();
    entry->Field = column;
    bool ok = false;
    switch (column) {
    case DateTakenField:
    case GPSDateField:
    case GPSTimeField: ok = DateEntry(editor, *entry, column); break;
    case LatitudeField:
    case LongitudeField:
    case AltitudeField: ok = NumericEntry(editor, *entry); break;
    case ImageDirectionField: ok = DirectionEntry(editor, *entry); break;
    case MeasurementPrecisionField: ok = PrecisionEntry(editor, *entry); break;
    default:
        if (auto* e = qobject_cast<QLineEdit*>(editor)) {
            entry->SetText(e->text().toStdWString());
            ok = true;
        }
        break;
    }
    return ok ? std::move(entry) : nullptr;
}

void CMetadataItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* table = qobject_cast<CMetadataTableModel*>(model);
    if (!table || !CMetadataTableModel::IsEditableColumn(index.column())) return;
    auto entry = EntryFromEditor(editor, index.column());
    if (!entry) return;
    std::vector<std::unique_ptr<UpdateEntry>> entries;
    entries.push_back(std::move(entry));
    table->ApplyToRow(index.row(), std::move(entries));
}

void CMetadataItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) const
{
    QRect rect = option.rect;
    // The direction editor needs room for its three parts.
    if (index.column() == ImageDirectionField) rect.setWidth(std::max(rect.width(), 180));
    editor->setGeometry(rect);
}
