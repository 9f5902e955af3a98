#include "PictureMetadata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "AtomicFileWriter.h"
#include "JpegSegments.h"
#include "LogSink.h"
#include "PictureMetadataImpl.h"

namespace {

// A JPEG's segments before its scan are APPn blocks of at most 64 KiB each; a
// header larger than this is not a picture this program can edit safely.
constexpr size_t kMaxJpegHeader = size_t{64} << 20;
// An AFCP trailer is moved along only when it can be held whole.
constexpr std::uint64_t kMaxTrailer = std::uint64_t{64} << 20;
const char kEndOfImage[] = "\xFF\xD9";

// exiv2's warnings about odd files go to the metadata log, silent unless
// turned on, rather than nowhere.
void ToMetadataLog(int, const char* text)
{
    std::string line = text ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    LogWarning(LogArea::Metadata, "exiv2: " + line);
}

void RouteExiv2Log()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setHandler(ToMetadataLog);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    });
}

std::unique_ptr<Exiv2::Image> OpenImage(Exiv2::BasicIo::AutoPtr io, std::string* error)
{
    RouteExiv2Log();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
        if (!image.get()) {
            if (error) *error = "unreadable: unknown file format";
            return nullptr;
        }
        image->readMetadata();
        return std::unique_ptr<Exiv2::Image>(image.release());
    } catch (const Exiv2::AnyError& e) {
        if (error) *error = std::string("unreadable: ") + e.what();
    } catch (const std::exception& e) {
        if (error) *error = std::string("unreadable: ") + e.what();
    }
    return nullptr;
}

std::unique_ptr<Exiv2::Image> OpenMemory(std::string_view bytes, std::string* error)
{
    return OpenImage(Exiv2::BasicIo::AutoPtr(new Exiv2::MemIo(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                                              static_cast<long>(bytes.size()))),
                     error);
}

PictureFormat FormatOfImage(int type)
{
    if (type == Exiv2::ImageType::jpeg) return PictureFormatJpeg;
    if (type == Exiv2::ImageType::tiff) return PictureFormatTiff;
    if (type == Exiv2::ImageType::png) return PictureFormatPng;
    if (type == Exiv2::ImageType::bmp) return PictureFormatBmp;
    if (type == Exiv2::ImageType::gif) return PictureFormatGif;
    return PictureFormatOther;
}

bool IsJpeg(std::string_view head)
{
    return head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF && static_cast<unsigned char>(head[1]) == 0xD8;
}

}  // namespace

CPictureMetadata::CPictureMetadata() : impl_(new Impl) {}
CPictureMetadata::~CPictureMetadata() = default;

std::unique_ptr<CPictureMetadata> CPictureMetadata::OpenFile(const std::string& path, std::string* error)
{
    InitializeExiv2();
    if (!IsOpenableRegularFile(path, error)) return nullptr;  // exiv2 would wait on a FIFO for ever
    std::unique_ptr<CPictureMetadata> picture(new CPictureMetadata);
    picture->impl_->Image = OpenImage(Exiv2::BasicIo::AutoPtr(new Exiv2::FileIo(path)), error);
    if (!picture->impl_->Image) return nullptr;
    std::string header, tail;
    if (picture->impl_->Image->imageType() == Exiv2::ImageType::jpeg) {
        // The tables and the Photoshop block are read from the header alone: the scan is never needed here.
        if (auto file = CPictureFile::Open(path, nullptr)) {
            file->ReadJpegHeader(kMaxJpegHeader, header);
            if (file->ReadAfcpTrailer(kMaxTrailer, tail)) picture->impl_->Trailer.Parse(tail, file->Size(), header.size());
        }
    }
    picture->Load(header);
    return picture;
}

std::unique_ptr<CPictureMetadata> CPictureMetadata::OpenForEdit(const std::string& path, std::string* error)
{
    InitializeExiv2();
    auto file = CPictureFile::Open(path, error);
    if (!file) return nullptr;
    std::string head;
    if (!file->ReadAt(0, 2, head, error)) return nullptr;
    std::unique_ptr<CPictureMetadata> picture(new CPictureMetadata);
    Impl& impl = *picture->impl_;
    if (!IsJpeg(head)) {
        // Read through the library's file access (mapped, not copied); the
        // file is read whole only when new metadata is committed into it.
        impl.Image = OpenImage(Exiv2::BasicIo::AutoPtr(new Exiv2::FileIo(path)), error);
        if (!impl.Image) return nullptr;
        impl.Source = std::move(file);
        impl.Editable = true;
        picture->Load({});
        return picture;
    }
    if (!file->ReadJpegHeader(kMaxJpegHeader, impl.Header)) {
        if (error) *error = "refused: no image data found where a JPEG keeps it; the picture is left as it was";
        return nullptr;
    }
    impl.Image = OpenMemory(impl.Header + kEndOfImage, error);
    if (!impl.Image) return nullptr;
    std::string tail;
    if (file->ReadAfcpTrailer(kMaxTrailer, tail)) impl.Trailer.Parse(tail, file->Size(), impl.Header.size());
    impl.Source = std::move(file);
    impl.Editable = true;
    picture->Load(impl.Header);
    return picture;
}

std::unique_ptr<CPictureMetadata> CPictureMetadata::OpenBytes(std::string bytes, std::string* error)
{
    InitializeExiv2();
    std::unique_ptr<CPictureMetadata> picture(new CPictureMetadata);
    picture->bytes_ = std::move(bytes);
    Impl& impl = *picture->impl_;
    impl.Image = OpenMemory(picture->bytes_, error);
    if (!impl.Image) return nullptr;
    impl.Editable = true;
    if (IsJpeg(picture->bytes_)) {
        impl.Header = std::string(JpegHeaderOf(picture->bytes_));
        const size_t tail = static_cast<size_t>(std::min<std::uint64_t>(picture->bytes_.size(), kMaxTrailer));
        impl.Trailer.Parse(std::string_view(picture->bytes_).substr(picture->bytes_.size() - tail), picture->bytes_.size(),
                           impl.Header.size());
    }
    picture->Load(impl.Header);
    return picture;
}

void CPictureMetadata::Load(std::string_view jpegHeader)
{
    format_ = FormatOfImage(impl_->Image->imageType());
    if (format_ == PictureFormatJpeg || format_ == PictureFormatTiff) {
        try {
            root_ = BuildMetadataTree(*impl_->Image, format_, jpegHeader, impl_->SourceDigest);
            return;
        } catch (const Exiv2::AnyError& e) {
            LogWarning(LogArea::Metadata, std::string("metadata left unread: ") + e.what());
        } catch (const std::exception& e) {
            LogWarning(LogArea::Metadata, std::string("metadata left unread: ") + e.what());
        }
    }
    // Other containers carry no geotag here: an empty tree reads nothing.
    root_ = std::make_shared<MetadataBlock>(ContainerFormat::Unknown);
}

std::map<std::uint8_t, std::string> CPictureMetadata::TrailerLocation() const
{
    return impl_->Trailer.LocationDatasets();
}

std::string_view CPictureMetadata::Bytes() const
{
    const Impl& impl = *impl_;
    if (!impl.Committed) return bytes_;
    if (format_ == PictureFormatJpeg && !impl.Source && written_.empty()) {
        const size_t end = static_cast<size_t>(impl.TrailerStart(bytes_));
        written_.reserve(impl.NewHeader.size() + (end - impl.Header.size()) + impl.NewTrailer.size());
        written_ += impl.NewHeader;
        written_.append(bytes_, impl.Header.size(), end - impl.Header.size());
        written_ += impl.NewTrailer;
    }
    return written_;
}

std::uint64_t CPictureMetadata::WrittenSize() const
{
    const Impl& impl = *impl_;
    if (format_ != PictureFormatJpeg || !impl.Committed) return Bytes().size();
    return impl.NewHeader.size() + (impl.TrailerStart(bytes_) - impl.Header.size()) + impl.NewTrailer.size();
}

namespace {

bool WriteAll(int fd, std::string_view bytes, std::string* error)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error) *error = std::string("write failed: ") + std::strerror(errno);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool CPictureMetadata::WriteTo(int fd, std::string* error) const
{
    const Impl& impl = *impl_;
    if (format_ != PictureFormatJpeg || !impl.Committed) return WriteAll(fd, Bytes(), error);
    // The image data goes to the new file in pieces, never joined first: from
    // the original file, or from the bytes held.
    const size_t start = impl.Header.size(), end = static_cast<size_t>(impl.TrailerStart(bytes_));
    const auto image = [&] {
        return impl.Source ? impl.Source->CopyRange(start, end, fd, error)
                           : WriteAll(fd, std::string_view(bytes_).substr(start, end - start), error);
    };
    return WriteAll(fd, impl.NewHeader, error) && image() && WriteAll(fd, impl.NewTrailer, error);
}
