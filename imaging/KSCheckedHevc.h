#pragma once

// The HEVC decoder libheif uses for every HEIC picture once install() has
// run: libde265, as libheif's own, but a tile whose data the decoder finds
// damaged is an error rather than a picture. libheif 1.15 reports no such
// damage: libde265 decodes random bytes inside a tile into garbage and
// only warns, and libheif passes the garbage on as a picture.
//
// A tile is refused when libde265 warns or fails while decoding it, when
// it yields no picture, or when a NAL unit holds a byte sequence the HEVC
// syntax rules out (00 00 00, 00 00 01 or 00 00 02, which encoders escape),
// as a run of zeros does. Damage that decodes cleanly by chance passes:
// HEVC carries no checksum to tell it.
namespace KSCheckedHevc {

// Registers the decoder with libheif (once, from any thread).
void install();

} // namespace KSCheckedHevc
