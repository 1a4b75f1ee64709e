#pragma once
// Transfer syntax UIDs the codec knows by name (PS3.5 section 10 and annex A).

namespace ts {
inline constexpr const char *ImplicitLittleEndian = "1.2.840.10008.1.2";
inline constexpr const char *ExplicitLittleEndian = "1.2.840.10008.1.2.1";
inline constexpr const char *ExplicitBigEndian = "1.2.840.10008.1.2.2";
inline constexpr const char *JPEGBaseline = "1.2.840.10008.1.2.4.50";
inline constexpr const char *JPEGExtended = "1.2.840.10008.1.2.4.51";
inline constexpr const char *JPEGLossless = "1.2.840.10008.1.2.4.70";
inline constexpr const char *JPEG2000Lossless = "1.2.840.10008.1.2.4.90";
inline constexpr const char *JPEG2000 = "1.2.840.10008.1.2.4.91";
inline constexpr const char *RLELossless = "1.2.840.10008.1.2.5";
} // namespace ts
