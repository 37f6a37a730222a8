#pragma once

// What a file is, told by its first bytes: the compressed files and archives
// the inputs are unpacked from, and the files of other kinds that people pick
// by mistake. One table serves both the unpacking (input/archive_input) and
// the naming of what no reader takes (read/format_recognition).

#include <span>
#include <string_view>

namespace kelvane {

// Bytes a file begins with, at a fixed offset.
struct LeadingBytes {
    std::size_t offset = 0;
    std::string_view bytes;
    // When not empty, the byte after them is one of these (bzip2's block size).
    std::string_view thenOneOf = {};

    bool begins(std::string_view head) const
    {
        const std::size_t end = offset + bytes.size() + !thenOneOf.empty();
        return !bytes.empty() && head.size() >= end && head.substr(offset, bytes.size()) == bytes &&
               (thenOneOf.empty() || thenOneOf.find(head[end - 1]) != std::string_view::npos);
    }
};

enum class LeadingKind {
    Packed,   // a compressed file or an archive the inputs are unpacked from
    Unpacked, // an archive that may hold GPS files but is not unpacked (7-Zip)
    Other,    // a file of another kind: an image, a document
};

struct KnownFile {
    LeadingBytes lead;
    LeadingKind kind;
    const char *name;   // "a PNG image"
    const char *plural; // "PNG images"
    // The names such files go by ("*.gz", "*.tgz"): for lists of files to pick
    // from; the file is told by its bytes alone.
    std::span<const std::string_view> patterns = {};
};

// The compressed files and archives first, then the files of other kinds.
std::span<const KnownFile> knownFiles();

} // namespace kelvane
