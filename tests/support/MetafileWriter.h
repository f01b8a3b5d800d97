#pragma once
// Writes Windows metafiles (WMF, with the placeable header) and enhanced metafiles (EMF) record
// by record, for the banner tests, the fuzz seeds and the demo. Both formats are little-endian.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlith::test {

// Little-endian parameter bytes of one record.
class RecordBytes {
public:
    RecordBytes& U8(std::uint8_t value);
    RecordBytes& U16(std::uint16_t value);
    RecordBytes& I16(std::int16_t value) { return U16(static_cast<std::uint16_t>(value)); }
    RecordBytes& U32(std::uint32_t value);
    RecordBytes& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    RecordBytes& Text(std::string_view text) {
        bytes_ += text;
        return *this;
    }
    // Zero bytes up to a multiple of the given alignment.
    RecordBytes& Pad(std::size_t alignment);
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// A COLORREF: 0x00BBGGRR.
constexpr std::uint32_t ColourRef(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return red | (green << 8) | (static_cast<std::uint32_t>(blue) << 16);
}

// A placeable WMF whose picture is the given bounding box at the given units per inch.
class WmfWriter {
public:
    WmfWriter(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom,
              std::uint16_t unitsPerInch);

    // The logical window mapped onto the bounding box.
    void SetWindow(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height);
    // Each Create* returns the object's index, the lowest free slot as the player assigns it.
    int CreateSolidBrush(std::uint32_t colour);
    int CreatePen(std::uint32_t colour, std::int16_t width);
    int CreateFont(std::int16_t height, std::string_view face, std::int16_t width = 0);
    void Select(int object);
    void Delete(int object);
    void SetTextColour(std::uint32_t colour);
    void SetTransparentText();
    void Rectangle(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom);
    void TextOut(std::int16_t x, std::int16_t y, std::string_view text);

    // A record with its size (in 16-bit words) worked out; sizeWords overrides it when not 0.
    void Record(std::uint16_t function, const RecordBytes& parameters, std::uint32_t sizeWords = 0);
    // The placeable header, the metafile header and the records, ended by META_EOF.
    std::string Finish() const;

private:
    int NewObject();

    std::int16_t left_, top_, right_, bottom_;
    std::uint16_t unitsPerInch_;
    std::string records_;
    std::uint32_t largestRecord_ = 0;
    std::vector<bool> objects_;
};

// An EMF whose frame is the given rectangle in hundredths of a millimetre, drawn in logical units
// of a reference device with the given pixels per inch (MM_TEXT).
class EmfWriter {
public:
    EmfWriter(std::int32_t frameLeft, std::int32_t frameTop, std::int32_t frameRight,
              std::int32_t frameBottom, int devicePixelsPerInch = 96);

    int CreateSolidBrush(std::uint32_t colour);
    int CreatePen(std::uint32_t colour, std::int32_t width);
    void Select(std::uint32_t object);
    void Polygon(const std::vector<std::pair<std::int16_t, std::int16_t>>& points);
    void Rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

    // A record whose size is worked out (rounded up to 4 bytes); size overrides it when not 0.
    void Record(std::uint32_t type, const RecordBytes& parameters, std::uint32_t size = 0);
    std::string Finish() const;

private:
    std::int32_t frame_[4];
    int pixelsPerInch_;
    std::string records_;
    std::uint32_t recordCount_ = 0;
    std::uint32_t nextObject_ = 1; // index 0 is reserved for the metafile itself
};

// A 468 by 60 banner at 96 units per inch: a filled rectangle and a line of text.
std::string SampleWmf(std::int16_t width = 468, std::int16_t height = 60, std::uint16_t unitsPerInch = 96);
// A 480 by 72 banner at 96 pixels per inch: a rectangle and a polygon over it.
std::string SampleEmf(int width = 480, int height = 72);

// The colours the samples paint with.
inline constexpr std::uint32_t SampleFill = ColourRef(0xff, 0x8c, 0x00);
inline constexpr std::uint32_t SampleInk = ColourRef(0x10, 0x20, 0x80);
inline constexpr std::uint32_t SamplePolygon = ColourRef(0x20, 0xa0, 0x40);

} // namespace vorlith::test
