#pragma once
// Conversions between plain pictures, where the key colour marks
// transparency, and frame icons, where a mask does; plus the reduction of
// foreign pictures to the standard colours.
#include <memory>

#include "formats/Colours.h"
#include "core/Picture.h"
#include "formats/FrameIcon.h"

// Scales to 16×16 by taking one source pixel per target pixel: target (x, y)
// takes source (⌊x·W/16⌋, ⌊y·H/16⌋), the rule of FrameSourceIndex that icon
// images follow too (ScaleToFrame of an IconImage). A picture with no
// pixels gives one wholly of the key colour.
Picture ScaleToFrame(const Picture& picture);

// A new built icon from the picture scaled to 16×16: key-colour pixels are
// transparent (and black), every other pixel keeps its colour.
std::unique_ptr<TFrameIcon> MakeFrameIcon(const Picture& picture);

// Makes target a 16×16 picture of the background and draws the icon's image,
// scaled to 16×16, through its mask: transparent pixels leave the background,
// opaque ones write their colour and partly transparent ones (32-bit images)
// are blended over the background by their alpha. An empty icon leaves the
// background alone. Without a budget the icon is a document's (built or
// empty); a loaded one is drawn within its read, on the read's budget, and
// if it does not decode the decoder's error is thrown and target is left as
// the background.
void RenderFrameIcon(const TFrameIcon& icon, Picture& target16, Rgb background);
void RenderFrameIcon(const TFrameIcon& icon, Picture& target16, Rgb background, ReadBudget& budget);

// Replaces every pixel of the picture that is not the key colour by its
// nearest standard colour, in place, and returns MakeFrameIcon of the result.
std::unique_ptr<TFrameIcon> ReduceColours(Picture& picture);

// The document's own 16×16 icon for one read from a file; reduce brings its
// colours to the standard ones. Pixels transparent in the file stay so, and
// an opaque pixel of exactly the key colour becomes transparent. The same as
// RenderFrameIcon over the key colour, then ReduceColours or MakeFrameIcon,
// but a loaded icon is only sampled (TFrameIcon::decode into a 16×16
// target), never decoded whole or kept decoded, and the new icon is built
// in the buffer the sample was written to.
std::unique_ptr<TFrameIcon> ImportFrameIcon(const TFrameIcon& icon, bool reduce, ReadBudget& budget);

// Writes a pasted picture of any size into the 16×16 working bitmap: scaled
// to 16×16, then every pixel but the key colour reduced to its nearest
// standard colour, so a frame never holds another colour. A picture with no
// pixels changes nothing and gives false. The caller redraws the views.
bool PasteFrame(const Picture& pasted, Picture& working);

// The colour a picture takes for a pixel of an image with transparency:
// the key colour where the pixel is at least half transparent, else its own.
inline Rgb PictureColour(Rgba pixel) { return pixel.alpha < 128 ? kKeyColour : pixel.rgb(); }
