#include "branding/Metafile.h"

#include "platform/LimitedChild.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <cstdio>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vorlith {

namespace {

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr std::size_t PlaceableHeaderSize = 22;
constexpr std::size_t WmfHeaderSize = 18;
constexpr std::uint32_t EmrHeader = 1;
constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr std::size_t EmfHeaderMinimum = 88;
constexpr std::uint16_t MetaEof = 0x0000;
constexpr std::uint16_t MetaSaveDc = 0x001E;
constexpr std::uint16_t MetaRestoreDc = 0x0127;
constexpr std::uint32_t EmrEof = 14;
constexpr std::uint32_t EmrSaveDc = 33;
constexpr std::uint32_t EmrRestoreDc = 34;
constexpr std::uint32_t EmrComment = 70;
constexpr std::uint32_t EmfPlusIdentifier = 0x2B464D45; // "EMF+"
constexpr std::uint16_t EmfPlusSave = 0x4025;
constexpr std::uint16_t EmfPlusRestore = 0x4026;
constexpr std::uint16_t EmfPlusBeginContainer = 0x4027;
constexpr std::uint16_t EmfPlusBeginContainerNoParams = 0x4028;
constexpr std::uint16_t EmfPlusEndContainer = 0x4029;
// Saved drawing states a banner may stack; each one costs the decoders a copy of the state and
// Qt SVG a level of recursion.
constexpr int MaxNesting = 256;
constexpr std::int64_t ScreenPixelsPerInch = 96;
constexpr std::int64_t HundredthsOfMmPerInch = 2540;

// Larger files are refused instead of being read into memory whole.
constexpr off_t MaxMetafileFileSize = 64 * 1024 * 1024;

// Address space for Qt, the fonts and the decoders; each picture byte is held up to about three
// times (libwmf's image and its PNG rows, the two drawings that give the transparency). The
// largest WMF needs about 500 MB with Qt's default cap.
constexpr std::uint64_t HelperBaseMemory = 256ull * 1024 * 1024;
constexpr std::uint64_t HelperMemoryPerPictureByte = 4;

// Rounded to the nearest pixel, as MulDiv does.
std::int64_t ToPixels(std::int64_t extent, std::int64_t unitsPerInch) {
    return (extent * ScreenPixelsPerInch + unitsPerInch / 2) / unitsPerInch;
}

MetafileHeader Sized(MetafileKind kind, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0)
        throw std::runtime_error("the metafile states no picture size");
    if (width * height * 4 > MaxMetafileBytes())
        throw std::runtime_error("the picture is too large (" + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels)");
    return {kind, static_cast<int>(width), static_cast<int>(height)};
}

// The running depth of saved states; a restore by a negative number goes back that many.
class Nesting {
public:
    void Save() {
        if (++depth_ > MaxNesting)
            throw std::runtime_error("the metafile is nested too deeply");
    }
    void Restore(std::int64_t relative) {
        depth_ = relative < 0 ? std::max<std::int64_t>(0, depth_ + relative) : 0;
    }

private:
    std::int64_t depth_ = 0;
};

[[noreturn]] void Truncated() {
    throw std::runtime_error("the metafile is truncated");
}

[[noreturn]] void DamagedRecord() {
    throw std::runtime_error("a record of the metafile is damaged");
}

// Every record lies inside the file, is at least as long as its own header, and the last one
// ends the metafile: the decoders never see a record that runs past the end.
// The header also names the largest record, which the decoder allocates up front: it must be
// the size of a record that is there.
void WalkWmfRecords(std::string_view bytes) {
    const std::uint64_t largest = std::uint64_t{ReadU32(bytes, PlaceableHeaderSize + 12)} * 2;
    if (largest > bytes.size() - PlaceableHeaderSize - WmfHeaderSize)
        throw std::runtime_error("the metafile header is damaged");
    Nesting nesting;
    for (std::size_t at = PlaceableHeaderSize + WmfHeaderSize;;) {
        if (bytes.size() - at < 6)
            Truncated();
        const std::uint64_t size = std::uint64_t{ReadU32(bytes, at)} * 2; // in 16-bit words
        const std::uint16_t function = ReadU16(bytes, at + 4);
        if (size < 6 || size > largest)
            DamagedRecord();
        if (size > bytes.size() - at)
            Truncated();
        if (function == MetaEof)
            return;
        if (function == MetaSaveDc)
            nesting.Save();
        else if (function == MetaRestoreDc && size >= 8)
            nesting.Restore(ReadI16(bytes, at + 6));
        at += static_cast<std::size_t>(size);
    }
}

// Saves and containers of the EMF+ records inside a comment.
void WalkEmfPlusRecords(std::string_view comment, Nesting& nesting) {
    for (std::size_t at = 0; comment.size() - at >= 12;) {
        const std::uint16_t type = ReadU16(comment, at);
        const std::uint32_t size = ReadU32(comment, at + 4);
        if (size < 12 || size > comment.size() - at)
            DamagedRecord();
        if (type == EmfPlusSave || type == EmfPlusBeginContainer || type == EmfPlusBeginContainerNoParams)
            nesting.Save();
        else if (type == EmfPlusRestore || type == EmfPlusEndContainer)
            nesting.Restore(-1);
        at += size;
    }
}

void WalkEmfRecords(std::string_view bytes) {
    Nesting nesting;
    for (std::size_t at = 0;;) {
        if (bytes.size() - at < 8)
            Truncated();
        const std::uint32_t type = ReadU32(bytes, at);
        const std::uint32_t size = ReadU32(bytes, at + 4);
        if (size < 8 || size % 4 != 0)
            DamagedRecord();
        if (size > bytes.size() - at)
            Truncated();
        if (type == EmrEof)
            return;
        if (type == EmrSaveDc) {
            nesting.Save();
        } else if (type == EmrRestoreDc && size >= 12) {
            nesting.Restore(ReadI32(bytes, at + 8));
        } else if (type == EmrComment && size >= 16 && ReadU32(bytes, at + 12) == EmfPlusIdentifier) {
            const std::uint32_t dataSize = ReadU32(bytes, at + 8);
            if (dataSize < 4 || dataSize > size - 12)
                DamagedRecord();
            WalkEmfPlusRecords(bytes.substr(at + 16, dataSize - 4), nesting);
        }
        at += size;
    }
}

MetafileHeader ReadPlaceable(std::string_view bytes) {
    if (bytes.size() < PlaceableHeaderSize + WmfHeaderSize)
        Truncated();
    std::uint16_t checksum = 0;
    for (std::size_t at = 0; at < PlaceableHeaderSize - 2; at += 2)
        checksum ^= ReadU16(bytes, at);
    if (checksum != ReadU16(bytes, PlaceableHeaderSize - 2))
        throw std::runtime_error("the metafile header is damaged");
    const std::uint16_t type = ReadU16(bytes, PlaceableHeaderSize);
    if ((type != 1 && type != 2) || ReadU16(bytes, PlaceableHeaderSize + 2) != WmfHeaderSize / 2)
        throw std::runtime_error("the metafile header is damaged");
    const std::int64_t unitsPerInch = ReadU16(bytes, 14) != 0 ? ReadU16(bytes, 14) : ScreenPixelsPerInch;
    const MetafileHeader header =
        Sized(MetafileKind::Wmf, ToPixels(std::int64_t{ReadI16(bytes, 10)} - ReadI16(bytes, 6), unitsPerInch),
              ToPixels(std::int64_t{ReadI16(bytes, 12)} - ReadI16(bytes, 8), unitsPerInch));
    WalkWmfRecords(bytes);
    return header;
}

MetafileHeader ReadEmf(std::string_view bytes) {
    const std::uint32_t headerSize = ReadU32(bytes, 4);
    if (bytes.size() < EmfHeaderMinimum || headerSize < EmfHeaderMinimum || headerSize > bytes.size())
        Truncated();
    // The description, when there is one, lies inside the header record: libemf2svg reads it
    // wherever the offset points, and up to a terminator when it is said to be empty.
    const std::uint64_t descriptionLength = ReadU32(bytes, 60), descriptionOffset = ReadU32(bytes, 64);
    if ((descriptionLength != 0 || descriptionOffset != 0) &&
        (descriptionLength == 0 || descriptionOffset < EmfHeaderMinimum ||
         descriptionOffset + 2 * descriptionLength > headerSize))
        throw std::runtime_error("the metafile header is damaged");
    const MetafileHeader header = Sized(
        MetafileKind::Emf, ToPixels(std::int64_t{ReadI32(bytes, 32)} - ReadI32(bytes, 24), HundredthsOfMmPerInch),
        ToPixels(std::int64_t{ReadI32(bytes, 36)} - ReadI32(bytes, 28), HundredthsOfMmPerInch));
    WalkEmfRecords(bytes);
    return header;
}

// A metafile without the placeable header: memory (1) or disk (2) type, 9-word header.
bool IsBareWmf(std::string_view bytes) {
    return bytes.size() >= WmfHeaderSize && (ReadU16(bytes, 0) == 1 || ReadU16(bytes, 0) == 2) &&
           ReadU16(bytes, 2) == WmfHeaderSize / 2 && (ReadU16(bytes, 4) == 0x0100 || ReadU16(bytes, 4) == 0x0300);
}

std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, MaxMetafileReasonSize))
        shown += c >= ' ' && c <= '~' ? c : '?';
    return shown;
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

MetafileHeader InspectMetafile(std::string_view bytes) {
    if (bytes.size() >= 4 && ReadU32(bytes, 0) == PlaceableKey)
        return ReadPlaceable(bytes);
    if (bytes.size() >= 44 && ReadU32(bytes, 0) == EmrHeader && ReadU32(bytes, 40) == EmfSignature)
        return ReadEmf(bytes);
    if (IsBareWmf(bytes))
        throw std::runtime_error("a Windows metafile without its placeable header states no picture size");
    throw std::runtime_error("the file is not a Windows metafile");
}

QImage ReadMetafileReply(std::string_view reply, const MetafileHeader& header) {
    if (reply.starts_with(MetafileFailureTag))
        throw std::runtime_error(Printable(reply.substr(MetafileFailureTag.size())));
    const std::int64_t expected = std::int64_t{header.Width} * header.Height * 4;
    if (!reply.starts_with(MetafilePictureTag) || reply.size() < MetafileReplyHeaderSize ||
        ReadU32(reply, 4) != static_cast<std::uint32_t>(header.Width) ||
        ReadU32(reply, 8) != static_cast<std::uint32_t>(header.Height) ||
        static_cast<std::int64_t>(reply.size() - MetafileReplyHeaderSize) != expected)
        throw std::runtime_error("the metafile decoder gave a damaged answer");
    QImage picture(header.Width, header.Height, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull() || picture.sizeInBytes() != expected)
        throw std::runtime_error("out of memory");
    std::memcpy(picture.bits(), reply.data() + MetafileReplyHeaderSize, static_cast<std::size_t>(expected));
    return picture;
}

std::string MetafileHelperPath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path beside = program.parent_path() / MetafileHelperName;
    const std::filesystem::path installed = program.parent_path().parent_path() / "lib/vorlith" / MetafileHelperName;
    return (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error) ? beside : installed)
        .string();
}

MetafileHeader DecodeSize(const MetafileHeader& stated) {
    if (stated.Width <= MaxBannerDecodeWidth && stated.Height <= MaxBannerDecodeHeight)
        return stated;
    const double scale = std::min(double(MaxBannerDecodeWidth) / stated.Width,
                                  double(MaxBannerDecodeHeight) / stated.Height);
    MetafileHeader fitted = stated;
    fitted.Width = std::clamp(static_cast<int>(stated.Width * scale + 0.5), 1, MaxBannerDecodeWidth);
    fitted.Height = std::clamp(static_cast<int>(stated.Height * scale + 0.5), 1, MaxBannerDecodeHeight);
    return fitted;
}

namespace {

// The helper limits its reads with Landlock where the kernel offers it; where not, say so once.
void NoteMissingLandlock() {
    static const bool noted = [] {
        if (::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1u /* the ABI version */) < 0)
            std::fprintf(stderr, "vorlith: this kernel offers no Landlock; the metafile decoder's reads "
                                 "are not limited to its fonts\n");
        return true;
    }();
    (void)noted;
}

} // namespace

QImage DecodeMetafile(std::string_view bytes, const MetafileHelper& helper) {
    const MetafileHeader header = DecodeSize(InspectMetafile(bytes));
    NoteMissingLandlock();
    const std::size_t pictureBytes =
        static_cast<std::size_t>(header.Width) * static_cast<std::size_t>(header.Height) * 4;
    ChildLimits limits;
    limits.MemoryBytes =
        HelperBaseMemory + HelperMemoryPerPictureByte * static_cast<std::uint64_t>(MaxMetafileBytes());
    limits.CpuSeconds = helper.CpuSeconds;
    limits.Deadline = helper.Deadline;
    limits.MaxOutputBytes = MetafileReplyHeaderSize + std::max(pictureBytes, MaxMetafileReasonSize);
    const ChildOutcome outcome =
        RunLimitedChild(helper.Path,
                        {std::string(MetafileKindName(header.Kind)), std::to_string(header.Width),
                         std::to_string(header.Height)},
                        bytes, limits);
    switch (outcome.How) {
    case ChildOutcome::Ending::NotStarted:
        throw std::runtime_error("the metafile decoder cannot be started (" + outcome.Output + ")");
    case ChildOutcome::Ending::TimedOut:
        throw std::runtime_error("the metafile decoder took too long");
    case ChildOutcome::Ending::OutputTooLarge:
        throw std::runtime_error("the metafile decoder gave a damaged answer");
    case ChildOutcome::Ending::Signalled:
        if (outcome.Status == SIGXCPU || outcome.Status == SIGKILL)
            throw std::runtime_error("the metafile decoder took too long");
        throw std::runtime_error("the metafile decoder crashed (signal " + std::to_string(outcome.Status) +
                                 ")");
    case ChildOutcome::Ending::Exited:
        break;
    }
    if (outcome.Status != 0 && !std::string_view(outcome.Output).starts_with(MetafileFailureTag))
        throw std::runtime_error("the metafile decoder failed (exit status " +
                                 std::to_string(outcome.Status) + ")");
    return ReadMetafileReply(outcome.Output, header);
}

std::string ReadMetafileFile(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw std::runtime_error(Errno("cannot open the file"));
    struct stat status {};
    std::string bytes;
    try {
        if (::fstat(fd, &status) != 0)
            throw std::runtime_error(Errno("cannot read the file"));
        if (!S_ISREG(status.st_mode))
            throw std::runtime_error("not a regular file");
        if (status.st_size > MaxMetafileFileSize)
            throw std::runtime_error("the file is too large");
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::runtime_error(Errno("cannot read the file"));
            if (n == 0)
                break; // shrank while we read
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return bytes;
}

QImage LoadMetafile(const std::string& name) {
    return DecodeMetafile(ReadMetafileFile(name));
}

} // namespace vorlith
