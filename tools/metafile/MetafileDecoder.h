#pragma once
// Metafile bytes to pixels. libwmf draws a WMF itself (its gd device: the colours exact and
// text drawn with its own fonts, the URW base 35); libemf2svg turns an EMF into SVG, which Qt SVG
// draws. Runs inside vorlith-metafile and the fuzz targets, never in the program itself: these
// libraries are not trusted with input we do not control.

#include "branding/Metafile.h"

#include <QImage>
#include <QSize>
#include <string>
#include <string_view>

namespace vorlith::metafile {

// Each throws std::runtime_error with a short reason when the library refuses the bytes.
QImage DrawWmf(std::string_view bytes, QSize size);
std::string EmfToSvg(std::string_view bytes, QSize size);
// The SVG without what would make a renderer read elsewhere: every href but a local "#" or a
// data: image (an image or use holding one is dropped whole), the DTD with its entities, and
// processing instructions. Throws when the SVG is no well-formed XML.
std::string WithoutExternalReferences(std::string_view svg);
// Needs a QGuiApplication for the fonts of text.
QImage RenderSvg(std::string_view svg, QSize size);

// EMF needs a QGuiApplication, WMF does not.
QImage DecodePicture(MetafileKind kind, std::string_view bytes, QSize size);

// The helper's answers, in the form ReadMetafileReply() reads. The pixels of a picture follow
// its header as QImage holds them (32-bit rows have no padding).
std::string PictureReplyHeader(const QImage& picture);
std::string PictureReply(const QImage& picture);
std::string FailureReply(std::string_view reason);

} // namespace vorlith::metafile
