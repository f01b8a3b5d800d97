#include "MetafileDecoder.h"

#include "platform/LittleEndian.h"

#include <QByteArray>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>
}

namespace vorlith::metafile {

namespace {

constexpr std::size_t PlaceableHeaderSize = 22;
constexpr std::size_t WmfHeaderSize = 18;

class WmfSession {
public:
    WmfSession() {
        wmfAPI_Options options{};
        options.function = wmf_gd_function;
        // Errors come back as codes; the library's own reports would only clutter stderr.
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        if (wmf_api_create(&api_, flags, &options) != wmf_E_None) {
            if (api_ != nullptr)
                wmf_api_destroy(api_);
            api_ = nullptr;
            throw std::runtime_error("the WMF decoder cannot start");
        }
    }
    WmfSession(const WmfSession&) = delete;
    WmfSession& operator=(const WmfSession&) = delete;
    ~WmfSession() { wmf_api_destroy(api_); }
    wmfAPI* Api() const { return api_; }

private:
    wmfAPI* api_ = nullptr;
};

// One WMF record of 16-bit parameters.
void AppendRecord(std::string& out, std::uint16_t function, std::initializer_list<std::uint16_t> parameters) {
    AppendU32(out, static_cast<std::uint32_t>(3 + parameters.size()));
    AppendU16(out, function);
    for (const std::uint16_t parameter : parameters)
        AppendU16(out, parameter);
}

struct Box {
    std::int16_t Left, Top, Width, Height;
};

Box BoundingBox(std::string_view bytes) {
    if (bytes.size() < PlaceableHeaderSize + WmfHeaderSize)
        throw std::runtime_error("the metafile is truncated");
    const int left = ReadI16(bytes, 6), top = ReadI16(bytes, 8), right = ReadI16(bytes, 10),
              bottom = ReadI16(bytes, 12);
    if (right - left <= 0 || bottom - top <= 0 || right - left > INT16_MAX || bottom - top > INT16_MAX)
        throw std::runtime_error("the metafile's bounding box cannot be drawn");
    return {static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
            static_cast<std::int16_t>(right - left), static_cast<std::int16_t>(bottom - top)};
}

// The metafile as Windows plays a placeable metafile into a picture of its size: the bounding
// box is the logical window and the picture the viewport, until records of the file set their
// own. Device units are then the bounding box's units, so text keeps its proportions. On black,
// the picture is first filled black (an opaque ExtTextOut of a blank), so that comparing it with
// the plain one tells what the metafile left undrawn.
std::string Prepared(std::string_view bytes, const Box& box, bool onBlack) {
    const auto u = [](int value) { return static_cast<std::uint16_t>(value); };
    std::string start;
    AppendRecord(start, 0x0103, {8});                           // SetMapMode(MM_ANISOTROPIC)
    AppendRecord(start, 0x020B, {u(box.Top), u(box.Left)});     // SetWindowOrg
    AppendRecord(start, 0x020C, {u(box.Height), u(box.Width)}); // SetWindowExt
    AppendRecord(start, 0x020D, {0, 0});                        // SetViewportOrg
    AppendRecord(start, 0x020E, {u(box.Height), u(box.Width)}); // SetViewportExt
    std::uint32_t largest = 5;
    if (onBlack) {
        AppendRecord(start, 0x0201, {0, 0}); // SetBkColor(black)
        AppendRecord(start, 0x0A32,          // ExtTextOut(ETO_OPAQUE, the box, " ")
                     {u(box.Top), u(box.Left), 1, 2, u(box.Left), u(box.Top), u(box.Left + box.Width),
                      u(box.Top + box.Height), ' '});
        AppendRecord(start, 0x0201, {0xffff, 0x00ff}); // SetBkColor(white), the default again
        largest = 12;
    }

    // The metafile header counts the file's 16-bit words and names its largest record.
    std::string header(bytes.substr(PlaceableHeaderSize, WmfHeaderSize));
    std::string field;
    AppendU32(field, ReadU32(header, 6) + static_cast<std::uint32_t>(start.size() / 2));
    header.replace(6, 4, field);
    field.clear();
    AppendU32(field, std::max(ReadU32(header, 12), largest));
    header.replace(12, 4, field);
    return std::string(bytes.substr(0, PlaceableHeaderSize)) + header + start +
           std::string(bytes.substr(PlaceableHeaderSize + WmfHeaderSize));
}

// A memory stream the library writes its PNG into.
class PngSink {
public:
    PngSink() : file_(open_memstream(&buffer_, &size_)) {
        if (file_ == nullptr)
            throw std::runtime_error("out of memory");
    }
    PngSink(const PngSink&) = delete;
    PngSink& operator=(const PngSink&) = delete;
    ~PngSink() {
        Close();
        std::free(buffer_);
    }
    FILE* File() const { return file_; }
    std::string_view Close() {
        if (file_ != nullptr)
            std::fclose(file_);
        file_ = nullptr;
        return {buffer_, size_};
    }

private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    FILE* file_;
};

// The drawing comes back as a PNG: the library frees its own image only after writing one.
QImage PlayWmf(std::string data, const Box& box, QSize size) {
    PngSink png;
    {
        WmfSession session;
        wmfAPI* api = session.Api();
        if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(data.data()),
                         static_cast<long>(data.size())) != wmf_E_None)
            throw std::runtime_error("the WMF decoder cannot read the metafile");
        wmfD_Rect drawn{};
        if (wmf_scan(api, 0, &drawn) != wmf_E_None)
            throw std::runtime_error("the metafile is damaged");
        wmf_gd_t* device = WMF_GD_GetData(api);
        if ((device->flags & WMF_GD_SUPPORTS_PNG) == 0)
            throw std::runtime_error("the WMF decoder cannot write pictures");
        device->type = wmf_gd_png;
        device->file = png.File();
        device->flags |= WMF_GD_OUTPUT_FILE;
        device->bbox = wmfD_Rect{{0, 0}, {static_cast<float>(box.Width), static_cast<float>(box.Height)}};
        device->width = static_cast<unsigned int>(size.width());
        device->height = static_cast<unsigned int>(size.height());
        if (wmf_play(api, 0, &drawn) != wmf_E_None)
            throw std::runtime_error("the metafile is damaged");
    }
    const std::string_view bytes = png.Close();
    QImage picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()),
                              "PNG") ||
        picture.size() != size)
        throw std::runtime_error("the metafile is damaged");
    return picture.convertToFormat(QImage::Format_RGB32);
}

// Each pixel over white and over black: equal where the metafile drew, apart by the background
// showing through where it drew partly (edges of text) or not at all. The picture over white
// becomes the result, so that a large picture is held three times at most.
QImage Matted(QImage onWhite, const QImage& onBlack) {
    onWhite.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < onWhite.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(onWhite.scanLine(y));
        const auto* black = reinterpret_cast<const QRgb*>(onBlack.constScanLine(y));
        for (int x = 0; x < onWhite.width(); ++x) {
            const QRgb white = pixel[x];
            const int through = std::max({qRed(white) - qRed(black[x]), qGreen(white) - qGreen(black[x]),
                                          qBlue(white) - qBlue(black[x]), 0});
            const int alpha = 255 - through;
            // Over black the colour is already multiplied by its coverage.
            pixel[x] = qRgba(std::min(qRed(black[x]), alpha), std::min(qGreen(black[x]), alpha),
                             std::min(qBlue(black[x]), alpha), alpha);
        }
    }
    return onWhite;
}

} // namespace

QImage DrawWmf(std::string_view bytes, QSize size) {
    const Box box = BoundingBox(bytes);
    QImage onWhite = PlayWmf(Prepared(bytes, box, false), box, size);
    return Matted(std::move(onWhite), PlayWmf(Prepared(bytes, box, true), box, size));
}

std::string EmfToSvg(std::string_view bytes, QSize size) {
    std::string data(bytes);
    char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = size.width();
    options.imgHeight = size.height();
    char* out = nullptr;
    std::size_t outLength = 0;
    const int converted = emf2svg(data.data(), data.size(), &out, &outLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (converted == 0 || out == nullptr)
        throw std::runtime_error("the metafile is damaged");
    return std::string(out, outLength);
}

std::string WithoutExternalReferences(std::string_view svg) {
    QXmlStreamReader reader(QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
    reader.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    const auto local = [](QStringView value) {
        value = value.trimmed();
        return value.startsWith(u'#') || value.startsWith(u"data:image/", Qt::CaseInsensitive);
    };
    int skipping = 0; // depth inside an element that is dropped whole
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            writer.writeStartDocument();
            break;
        case QXmlStreamReader::StartElement: {
            if (skipping > 0) {
                ++skipping;
                break;
            }
            QXmlStreamAttributes kept;
            bool external = false;
            for (const auto& attribute : reader.attributes()) {
                const QStringView name = attribute.qualifiedName();
                if (name == u"href" || name.endsWith(u":href")) {
                    external = external || !local(attribute.value());
                    if (!local(attribute.value()))
                        continue;
                }
                kept.append(attribute.qualifiedName().toString(), attribute.value().toString());
            }
            // An image or a use of something outside is dropped with all it holds.
            const QStringView name = reader.qualifiedName();
            if (external && (name == u"image" || name == u"use" || name.endsWith(u":image") ||
                             name.endsWith(u":use"))) {
                skipping = 1;
                break;
            }
            writer.writeStartElement(name.toString());
            writer.writeAttributes(kept);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (skipping > 0)
                --skipping;
            else
                writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (skipping == 0) {
                if (reader.isCDATA())
                    writer.writeCDATA(reader.text().toString());
                else
                    writer.writeCharacters(reader.text().toString());
            }
            break;
        // A DTD with its entities, entity references, processing instructions (a style sheet to
        // load) and comments are left out.
        default:
            break;
        }
    }
    if (reader.hasError())
        throw std::runtime_error("the metafile cannot be drawn");
    writer.writeEndDocument();
    return out.toStdString();
}

QImage RenderSvg(std::string_view svg, QSize size) {
    QSvgRenderer renderer(QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
    if (!renderer.isValid())
        throw std::runtime_error("the metafile cannot be drawn");
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        throw std::runtime_error("out of memory");
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return picture;
}

QImage DecodePicture(MetafileKind kind, std::string_view bytes, QSize size) {
    if (kind == MetafileKind::Wmf)
        return DrawWmf(bytes, size);
    return RenderSvg(WithoutExternalReferences(EmfToSvg(bytes, size)), size);
}

std::string PictureReplyHeader(const QImage& picture) {
    std::string header(MetafilePictureTag);
    AppendU32(header, static_cast<std::uint32_t>(picture.width()));
    AppendU32(header, static_cast<std::uint32_t>(picture.height()));
    return header;
}

std::string PictureReply(const QImage& picture) {
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return PictureReplyHeader(pixels) + std::string(reinterpret_cast<const char*>(pixels.constBits()),
                                                    static_cast<std::size_t>(pixels.sizeInBytes()));
}

std::string FailureReply(std::string_view reason) {
    return std::string(MetafileFailureTag) + std::string(reason.substr(0, MaxMetafileReasonSize));
}

} // namespace vorlith::metafile
