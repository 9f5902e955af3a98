#include "StampedSave.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

#include "Bitmap.h"
#include "GeoTagMetadataDecoder.h"
#include "JpegBlockRecode.h"
#include "JpegSegments.h"
#include "MetadataTransferEngine.h"
#include "PictureCodec.h"
#include "PictureItem.h"
#include "PictureMetadata.h"

namespace {

// Tags that describe how a TIFF page's pixels are stored (TIFF 6.0 baseline
// and extensions): they belong to the new encoding, never to the source.
const long kTiffLayoutTags[] = {254, 256, 257, 258, 259, 262, 266, 273, 277, 278, 279, 284, 317, 320,
                                322, 323, 324, 325, 338, 339, 347, 530, 531, 532};

bool IsTiffLayoutTag(long tag)
{
    return std::find(std::begin(kTiffLayoutTags), std::end(kTiffLayoutTags), tag) != std::end(kTiffLayoutTags);
}

// The allow list carries descriptive tags only; the new TIFF's own layout of
// frame 0 and its other pages (already copied unchanged by the encoder) must
// be kept, or the written file would lose its image data.
void KeepOwnTiffLayout(const MetadataBlock& ownRoot, MetadataBlock& targetRoot)
{
    const std::shared_ptr<MetadataBlock> own = ownRoot.GetBlock("/ifd");
    const std::shared_ptr<MetadataBlock> target = targetRoot.GetBlock("/ifd");
    if (!own) return;
    if (!target) {
        targetRoot.Append("/ifd", MetadataValue::FromBlock(own));
        return;
    }
    for (const MetadataBlock::Item& item : own->Items()) {
        const bool page = item.second.IsBlock() && item.second.Block()->Format() == ContainerFormat::SubIfd;
        if (page || (!item.second.IsBlock() && IsTiffLayoutTag(TagNumberOf(item.first))))
            target->SetMetadataByName(item.first, item.second);
    }
}

// EXIF orientation of the picture as stored (1 when it says nothing usable).
int StoredOrientation(const MetadataBlock& root, PictureFormat format)
{
    MetadataValue value;
    const char* path = format == PictureFormatJpeg ? "/app1/ifd/{ushort=274}" : "/ifd/{ushort=274}";
    if (FAILED(root.GetMetadataByName(path, value)) || value.Count() != 1) return 1;
    const std::uint64_t orientation = value.Number(0);
    return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
}

// Stamps go to the top or bottom of the picture as it is shown: a picture
// stored on its side is turned upright for the drawing and back afterwards
// (a permutation of pixels, so nothing else changes). `stored` holds the
// pixels of `window` of a picture stored `width` x `height`.
HRESULT DrawUpright(CBitmap& stored, const PixelRect& window, int width, int height, int orientation,
                    CGeoTagMetadataDecoder& decoder, const CGPSMetadataInfo& record,
                    const std::vector<PendingStamp>& operations, std::string* error)
{
    const bool turned = orientation >= 5 && orientation <= 8;
    const int shownWidth = turned ? height : width, shownHeight = turned ? width : height;
    if (orientation < 2 || orientation > 8) {
        CStampCanvas canvas(stored, shownWidth, shownHeight, window.Left, window.Top);
        DrawPendingStamps(canvas, decoder, record, operations);
        return S_OK;
    }
    CBitmap upright;
    HRESULT hr = ApplyExifOrientation(stored, orientation, upright, error);
    if (FAILED(hr)) return hr;
    const PixelRect shown = ExifSourceRect(window, InverseExifOrientation(orientation), shownWidth, shownHeight);
    CStampCanvas canvas(upright, shownWidth, shownHeight, shown.Left, shown.Top);
    DrawPendingStamps(canvas, decoder, record, operations);
    return ApplyExifOrientation(upright, InverseExifOrientation(orientation), stored, error);
}

// Where the stamps will draw, in pixels of the picture as stored: they are
// placed on a canvas without pixels first.
std::vector<PixelRect> StampRegions(int width, int height, int orientation, CGeoTagMetadataDecoder& decoder,
                                    const CGPSMetadataInfo& record, const std::vector<PendingStamp>& operations)
{
    const bool turned = orientation >= 5 && orientation <= 8;
    CStampCanvas placing = CStampCanvas::Placing(turned ? height : width, turned ? width : height);
    DrawPendingStamps(placing, decoder, record, operations);
    std::vector<PixelRect> regions;
    for (const StampBand& band : placing.Bands) {
        const PixelRect shown{std::max(0, static_cast<int>(std::floor(band.Left))),
                              std::max(0, static_cast<int>(std::floor(band.Top))),
                              std::min(placing.Width(), static_cast<int>(std::ceil(band.Right))),
                              std::min(placing.Height(), static_cast<int>(std::ceil(band.Bottom)))};
        if (!shown.Empty()) regions.push_back(ExifSourceRect(shown, orientation, width, height));
    }
    return regions;
}

// A JPEG keeps every block the stamps do not reach as it was coded.
HRESULT StampJpeg(std::string_view bytes, int orientation, CGeoTagMetadataDecoder& decoder,
                  const CGPSMetadataInfo& record, const std::vector<PendingStamp>& operations, std::string& encoded,
                  std::string* error, int maxMegapixels)
{
    std::uint32_t width = 0, height = 0;
    HRESULT hr = ReadPictureSize(bytes, PictureFormatJpeg, width, height, error);
    if (FAILED(hr) || FAILED(hr = CheckStampBudget(width, height, maxMegapixels, error))) return hr;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const std::vector<PixelRect> regions = StampRegions(w, h, orientation, decoder, record, operations);
    return RecodeJpegBlocks(
        bytes, regions,
        [&](CBitmap& pixels, int left, int top) {
            const PixelRect window{left, top, left + pixels.Width(), top + pixels.Height()};
            return DrawUpright(pixels, window, w, h, orientation, decoder, record, operations, error);
        },
        encoded, error);
}

// The stamped JPEG with the source's own metadata segments, byte for byte:
// the save then changes in them only what the record changes, as a metadata
// save does, so maker notes with offsets of their own stay readable.
HRESULT StampJpegKeepingMetadata(std::string_view bytes, int orientation, CGeoTagMetadataDecoder& decoder,
                                 const CGPSMetadataInfo& record, const std::vector<PendingStamp>& operations,
                                 std::string& encoded, std::string* error, int maxMegapixels)
{
    const HRESULT hr = StampJpeg(bytes, orientation, decoder, record, operations, encoded, error, maxMegapixels);
    if (FAILED(hr)) return hr;
    if (!WithSourceMetadataSegments(bytes, encoded)) {
        if (error) *error = "write failed: the stamped picture has no image data";
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace

void DrawPendingStamps(CStampCanvas& canvas, CGeoTagMetadataDecoder& decoder, const CGPSMetadataInfo& record,
                       const std::vector<PendingStamp>& operations)
{
    for (const PendingStamp& pending : operations) {
        CImageOperation* operation = pending.Operation;
        if (!operation) continue;
        HRESULT hr = E_ABORT;
        switch (operation->GetKind()) {
        case GPSStampOperation:
        case TitleStampOperation: hr = operation->Initialize(&decoder, 0); break;
        case AddressStampOperation: hr = operation->InitializeWithRecord(&decoder, 0, &record); break;
        default: break;  // metadata changes are already in the record
        }
        // A stamp that cannot be drawn is left out; the picture is still saved.
        if (SUCCEEDED(hr)) operation->Render(canvas, pending.Text);
        operation->Uninitialize();
    }
}

HRESULT SaveStampedPicture(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                           const std::vector<PendingStamp>& operations, std::string* error, CAtomicFileBatch* batch,
                           const StampedSaveOptions& options, std::vector<std::string>* warnings)
{
    std::unique_ptr<CLockedSource> locked;  // held until the new file replaces it
    if (FAILED(CLockedSource::Open(source, LockWait::Yes, locked, error))) return E_FAIL;
    std::string bytes;
    if (!locked->ReadAll(bytes, error)) return E_FAIL;
    std::unique_ptr<CPictureMetadata> original = CPictureMetadata::OpenBytes(std::move(bytes), error);
    if (!original) return E_FAIL;
    const PictureFormat format = original->Format();
    if (format != PictureFormatJpeg && format != PictureFormatTiff) {
        if (error) *error = "not a JPEG or TIFF picture";
        return E_INVALIDARG;
    }

    // The metadata the new file gets comes first: the stamps word the
    // geotag as it is saved, not as the file held it before. A JPEG keeps
    // its coding (only the stamped blocks are coded again), so all its
    // metadata stays true of it and travels as a metadata save keeps it; a
    // TIFF is encoded anew and carries the descriptive tags only.
    const bool jpeg = format == PictureFormatJpeg;
    auto targetRoot = std::make_shared<MetadataBlock>(jpeg ? ContainerFormat::JpegRoot : ContainerFormat::TiffRoot);
    TransferReport report;
    HRESULT hr = TransferMetadata(original->Root(), targetRoot, format, format, &record,
                                  jpeg ? TransferPolicy::KeepAll : TransferPolicy::AllowList, &report);
    if (FAILED(hr)) {
        if (error)
            *error = report.Refusal.empty() ? "write failed: the metadata could not be carried over"
                                            : "not saved: " + report.Refusal;
        return hr;
    }
    if (warnings) warnings->insert(warnings->end(), report.Warnings.begin(), report.Warnings.end());
    CGeoTagMetadataDecoder decoder(targetRoot, format);
    const int orientation = StoredOrientation(*original->Root(), format);
    std::string encoded;
    if (jpeg)
        hr = StampJpegKeepingMetadata(original->Bytes(), orientation, decoder, record, operations, encoded, error,
                                      options.MaxStampMegapixels);
    else
        hr = ReencodePicture(
            original->Bytes(), format,
            [&](CBitmap& canvas) {
                const PixelRect whole{0, 0, canvas.Width(), canvas.Height()};
                return DrawUpright(canvas, whole, canvas.Width(), canvas.Height(), orientation, decoder, record,
                                   operations, error);
            },
            encoded, error, options.MaxStampMegapixels);
    if (FAILED(hr)) return hr;

    std::unique_ptr<CPictureMetadata> stamped = CPictureMetadata::OpenBytes(std::move(encoded), error);
    if (!stamped) return E_FAIL;
    if (format == PictureFormatTiff) KeepOwnTiffLayout(*stamped->Root(), *targetRoot);
    if (FAILED(hr = stamped->Commit(*targetRoot, error))) return hr;
    // The new file is written in pieces: its header, then the image data as held.
    const ContentWriter write = [&stamped](int fd, std::string* e) { return stamped->WriteTo(fd, e); };
    return batch ? batch->Stage(target, write, stamped->WrittenSize(), error, std::move(locked))
                 : WriteFileAtomically(target, write, error, locked.get());
}

HRESULT SaveStampedPicture(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                           const std::vector<PendingOperation*>& operations, std::string* error, CAtomicFileBatch* batch,
                           const StampedSaveOptions& options, std::vector<std::string>* warnings)
{
    std::vector<PendingStamp> stamps;
    stamps.reserve(operations.size());
    for (const PendingOperation* pending : operations)
        if (pending) stamps.push_back({pending->Operation.get(), pending->Text.value_or(std::wstring())});
    return SaveStampedPicture(source, target, record, stamps, error, batch, options, warnings);
}
