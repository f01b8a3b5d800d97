#include "support/MetafileWriter.h"

#include <algorithm>
#include <stdexcept>

namespace vorlith::test {

namespace {

// WMF record functions.
constexpr std::uint16_t MetaEof = 0x0000;
constexpr std::uint16_t MetaSetBkMode = 0x0102;
constexpr std::uint16_t MetaSetMapMode = 0x0103;
constexpr std::uint16_t MetaSelectObject = 0x012D;
constexpr std::uint16_t MetaDeleteObject = 0x01F0;
constexpr std::uint16_t MetaSetTextColor = 0x0209;
constexpr std::uint16_t MetaSetWindowOrg = 0x020B;
constexpr std::uint16_t MetaSetWindowExt = 0x020C;
constexpr std::uint16_t MetaCreatePenIndirect = 0x02FA;
constexpr std::uint16_t MetaCreateFontIndirect = 0x02FB;
constexpr std::uint16_t MetaCreateBrushIndirect = 0x02FC;
constexpr std::uint16_t MetaRectangle = 0x041B;
constexpr std::uint16_t MetaTextOut = 0x0521;

// EMF record types.
constexpr std::uint32_t EmrHeader = 1;
constexpr std::uint32_t EmrEof = 14;
constexpr std::uint32_t EmrSelectObject = 37;
constexpr std::uint32_t EmrCreatePen = 38;
constexpr std::uint32_t EmrCreateBrushIndirect = 39;
constexpr std::uint32_t EmrRectangle = 43;
constexpr std::uint32_t EmrPolygon16 = 86;

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr std::uint16_t MmAnisotropic = 8;
constexpr std::uint16_t Transparent = 1;

} // namespace

RecordBytes& RecordBytes::U8(std::uint8_t value) {
    bytes_ += static_cast<char>(value);
    return *this;
}

RecordBytes& RecordBytes::U16(std::uint16_t value) {
    return U8(value & 0xff).U8(value >> 8);
}

RecordBytes& RecordBytes::U32(std::uint32_t value) {
    return U16(value & 0xffff).U16(value >> 16);
}

RecordBytes& RecordBytes::Pad(std::size_t alignment) {
    while (bytes_.size() % alignment != 0)
        bytes_ += '\0';
    return *this;
}

WmfWriter::WmfWriter(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom,
                     std::uint16_t unitsPerInch)
    : left_(left), top_(top), right_(right), bottom_(bottom), unitsPerInch_(unitsPerInch) {
    Record(MetaSetMapMode, RecordBytes().U16(MmAnisotropic));
}

void WmfWriter::SetWindow(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height) {
    Record(MetaSetWindowOrg, RecordBytes().I16(y).I16(x));
    Record(MetaSetWindowExt, RecordBytes().I16(height).I16(width));
}

int WmfWriter::NewObject() {
    const auto free = std::find(objects_.begin(), objects_.end(), false);
    const int index = static_cast<int>(free - objects_.begin());
    if (free == objects_.end())
        objects_.push_back(true);
    else
        *free = true;
    return index;
}

int WmfWriter::CreateSolidBrush(std::uint32_t colour) {
    Record(MetaCreateBrushIndirect, RecordBytes().U16(0).U32(colour).U16(0));
    return NewObject();
}

int WmfWriter::CreatePen(std::uint32_t colour, std::int16_t width) {
    Record(MetaCreatePenIndirect, RecordBytes().U16(0).I16(width).I16(0).U32(colour));
    return NewObject();
}

int WmfWriter::CreateFont(std::int16_t height, std::string_view face, std::int16_t width) {
    RecordBytes font;
    font.I16(height).I16(width).I16(0).I16(0).I16(700);      // height, width, escapement, orientation, weight
    font.U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0x22); // ..., variable pitch, swiss family
    font.Text(face.substr(0, 31)).U8(0).Pad(2);
    Record(MetaCreateFontIndirect, font);
    return NewObject();
}

void WmfWriter::Select(int object) {
    Record(MetaSelectObject, RecordBytes().U16(static_cast<std::uint16_t>(object)));
}

void WmfWriter::Delete(int object) {
    Record(MetaDeleteObject, RecordBytes().U16(static_cast<std::uint16_t>(object)));
    objects_.at(static_cast<std::size_t>(object)) = false;
}

void WmfWriter::SetTextColour(std::uint32_t colour) {
    Record(MetaSetTextColor, RecordBytes().U32(colour));
}

void WmfWriter::SetTransparentText() {
    Record(MetaSetBkMode, RecordBytes().U16(Transparent));
}

void WmfWriter::Rectangle(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom) {
    Record(MetaRectangle, RecordBytes().I16(bottom).I16(right).I16(top).I16(left));
}

void WmfWriter::TextOut(std::int16_t x, std::int16_t y, std::string_view text) {
    Record(MetaTextOut,
           RecordBytes().U16(static_cast<std::uint16_t>(text.size())).Text(text).Pad(2).I16(y).I16(x));
}

void WmfWriter::Record(std::uint16_t function, const RecordBytes& parameters, std::uint32_t sizeWords) {
    if (parameters.Bytes().size() % 2 != 0)
        throw std::logic_error("WMF record parameters come in 16-bit words");
    const auto words = static_cast<std::uint32_t>(3 + parameters.Bytes().size() / 2);
    largestRecord_ = std::max(largestRecord_, words);
    records_ += RecordBytes().U32(sizeWords != 0 ? sizeWords : words).U16(function).Bytes();
    records_ += parameters.Bytes();
}

std::string WmfWriter::Finish() const {
    const std::string eof = RecordBytes().U32(3).U16(MetaEof).Bytes();
    RecordBytes placeable;
    placeable.U32(PlaceableKey)
        .U16(0)
        .I16(left_)
        .I16(top_)
        .I16(right_)
        .I16(bottom_)
        .U16(unitsPerInch_)
        .U32(0);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < placeable.Bytes().size(); i += 2)
        checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(placeable.Bytes()[i]) |
                                               static_cast<unsigned char>(placeable.Bytes()[i + 1]) << 8);
    placeable.U16(checksum);

    const auto totalWords = static_cast<std::uint32_t>(9 + (records_.size() + eof.size()) / 2);
    RecordBytes header;
    header.U16(1).U16(9).U16(0x0300).U32(totalWords).U16(static_cast<std::uint16_t>(objects_.size()));
    header.U32(std::max<std::uint32_t>(largestRecord_, 3)).U16(0);
    return placeable.Bytes() + header.Bytes() + records_ + eof;
}

EmfWriter::EmfWriter(std::int32_t frameLeft, std::int32_t frameTop, std::int32_t frameRight,
                     std::int32_t frameBottom, int devicePixelsPerInch)
    : frame_{frameLeft, frameTop, frameRight, frameBottom}, pixelsPerInch_(devicePixelsPerInch) {}

int EmfWriter::CreateSolidBrush(std::uint32_t colour) {
    const std::uint32_t index = nextObject_++;
    Record(EmrCreateBrushIndirect, RecordBytes().U32(index).U32(0).U32(colour).U32(0));
    return static_cast<int>(index);
}

int EmfWriter::CreatePen(std::uint32_t colour, std::int32_t width) {
    const std::uint32_t index = nextObject_++;
    Record(EmrCreatePen, RecordBytes().U32(index).U32(0).I32(width).I32(0).U32(colour));
    return static_cast<int>(index);
}

void EmfWriter::Select(std::uint32_t object) {
    Record(EmrSelectObject, RecordBytes().U32(object));
}

void EmfWriter::Polygon(const std::vector<std::pair<std::int16_t, std::int16_t>>& points) {
    std::int16_t left = INT16_MAX, top = INT16_MAX, right = INT16_MIN, bottom = INT16_MIN;
    for (const auto& [x, y] : points) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    RecordBytes polygon;
    polygon.I32(left).I32(top).I32(right).I32(bottom).U32(static_cast<std::uint32_t>(points.size()));
    for (const auto& [x, y] : points)
        polygon.I16(x).I16(y);
    Record(EmrPolygon16, polygon);
}

void EmfWriter::Rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    Record(EmrRectangle, RecordBytes().I32(left).I32(top).I32(right).I32(bottom));
}

void EmfWriter::Record(std::uint32_t type, const RecordBytes& parameters, std::uint32_t size) {
    RecordBytes padded = parameters;
    padded.Pad(4);
    const auto worked = static_cast<std::uint32_t>(8 + padded.Bytes().size());
    records_ += RecordBytes().U32(type).U32(size != 0 ? size : worked).Bytes() + padded.Bytes();
    ++recordCount_;
}

std::string EmfWriter::Finish() const {
    constexpr std::uint32_t headerSize = 108;
    const std::string eof = RecordBytes().U32(EmrEof).U32(20).U32(0).U32(16).U32(20).Bytes();
    // The reference device: ten inches square at the stated resolution.
    const std::int32_t devicePixels = pixelsPerInch_ * 10;
    const auto pixels = [&](std::int32_t hundredthsOfMm) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(hundredthsOfMm) * pixelsPerInch_ / 2540);
    };
    RecordBytes header;
    header.U32(EmrHeader).U32(headerSize);
    header.I32(pixels(frame_[0]))
        .I32(pixels(frame_[1]))
        .I32(pixels(frame_[2]) - 1)
        .I32(pixels(frame_[3]) - 1);
    header.I32(frame_[0]).I32(frame_[1]).I32(frame_[2]).I32(frame_[3]);
    header.U32(EmfSignature).U32(0x00010000);
    header.U32(static_cast<std::uint32_t>(headerSize + records_.size() + eof.size()));
    header.U32(recordCount_ + 2).U16(static_cast<std::uint16_t>(nextObject_)).U16(0);
    header.U32(0).U32(0).U32(0);                // no description, no palette
    header.I32(devicePixels).I32(devicePixels); // reference device in pixels
    header.I32(254).I32(254);                   // ... and in millimetres
    header.U32(0).U32(0).U32(0);                // no pixel format, no OpenGL
    header.U32(254000).U32(254000);             // ... and in micrometres
    return header.Bytes() + records_ + eof;
}

std::string SampleWmf(std::int16_t width, std::int16_t height, std::uint16_t unitsPerInch) {
    WmfWriter wmf(0, 0, width, height, unitsPerInch);
    wmf.SetWindow(0, 0, width, height);
    const int brush = wmf.CreateSolidBrush(SampleFill);
    const int pen = wmf.CreatePen(SampleInk, static_cast<std::int16_t>(std::max(1, height / 30)));
    wmf.Select(brush);
    wmf.Select(pen);
    wmf.Rectangle(0, 0, width, height);
    const int font = wmf.CreateFont(static_cast<std::int16_t>(-height / 2), "DejaVu Sans");
    wmf.Select(font);
    wmf.SetTextColour(SampleInk);
    wmf.SetTransparentText();
    wmf.TextOut(static_cast<std::int16_t>(height / 4), static_cast<std::int16_t>(height / 4),
                "Vorlith keyword research");
    wmf.Delete(font);
    return wmf.Finish();
}

std::string SampleEmf(int width, int height) {
    EmfWriter emf(0, 0, width * 2540 / 96, height * 2540 / 96);
    const int border = emf.CreatePen(SampleInk, 2);
    const int fill = emf.CreateSolidBrush(SampleFill);
    emf.Select(static_cast<std::uint32_t>(border));
    emf.Select(static_cast<std::uint32_t>(fill));
    emf.Rectangle(1, 1, width - 1, height - 1);
    const int green = emf.CreateSolidBrush(SamplePolygon);
    emf.Select(static_cast<std::uint32_t>(green));
    const auto h = static_cast<std::int16_t>(height);
    emf.Polygon({{20, static_cast<std::int16_t>(h - 10)},
                 {60, 10},
                 {100, static_cast<std::int16_t>(h - 10)},
                 {80, static_cast<std::int16_t>(h - 4)},
                 {40, static_cast<std::int16_t>(h - 4)}});
    return emf.Finish();
}

} // namespace vorlith::test
