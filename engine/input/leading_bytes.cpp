#include "input/leading_bytes.h"

namespace kelvane {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kGzipNames[] = {"*.gz"sv, "*.tgz"sv};
constexpr std::string_view kBzip2Names[] = {"*.bz2"sv, "*.tbz2"sv};
constexpr std::string_view kXzNames[] = {"*.xz"sv, "*.txz"sv};
constexpr std::string_view kZstdNames[] = {"*.zst"sv};
constexpr std::string_view kZipNames[] = {"*.zip"sv};
constexpr std::string_view kTarNames[] = {"*.tar"sv};

constexpr KnownFile kKnownFiles[] = {
    {{0, "\x1f\x8b"sv}, LeadingKind::Packed, "a gzip file", "gzip files", kGzipNames},
    {{0, "BZh"sv, "123456789"sv}, LeadingKind::Packed, "a bzip2 file", "bzip2 files", kBzip2Names},
    {{0, "\xfd"
         "7zXZ\0"sv},
     LeadingKind::Packed,
     "an xz file",
     "xz files",
     kXzNames},
    {{0, "\x28\xb5\x2f\xfd"sv}, LeadingKind::Packed, "a zstd file", "zstd files", kZstdNames},
    {{0, "PK\x03\x04"sv}, LeadingKind::Packed, "a zip archive", "zip archives", kZipNames},
    {{0, "PK\x05\x06"sv}, LeadingKind::Packed, "a zip archive", "zip archives"}, // no entries
    {{257, "ustar"sv}, LeadingKind::Packed, "a tar archive", "tar archives", kTarNames},
    {{0, "7z\xbc\xaf\x27\x1c"sv}, LeadingKind::Unpacked, "a 7-Zip archive", "7-Zip archives"},
    {{0, "\x89PNG\r\n\x1a\n"sv}, LeadingKind::Other, "a PNG image", "PNG images"},
    {{0, "\xff\xd8\xff"sv}, LeadingKind::Other, "a JPEG image", "JPEG images"},
    {{0, "GIF8"sv}, LeadingKind::Other, "a GIF image", "GIF images"},
    {{0, "%PDF-"sv}, LeadingKind::Other, "a PDF document", "PDF documents"},
};

} // namespace

std::span<const KnownFile> knownFiles()
{
    return kKnownFiles;
}

} // namespace kelvane
