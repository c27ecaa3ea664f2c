#pragma once
// The payload of an image annotation: a raw bitmap dump, zlib-compressed (RFC 1950, default
// level), in standard Base64.

#include <QByteArray>
#include <QString>

#include <optional>

namespace AnnotPayload {

// No payload inflates beyond this; larger ones are refused as broken.
inline constexpr qsizetype MaxInflated = qsizetype(64) << 20;

QByteArray Encode(const QByteArray& raw);
// Line breaks and blanks in the text are ignored. Nothing for bad Base64, a broken or truncated
// zlib stream, trailing bytes, or more than MaxInflated bytes.
std::optional<QByteArray> Decode(const QByteArray& text, QString* error = nullptr);

} // namespace AnnotPayload
