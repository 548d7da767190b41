// An Office package (the zip file an .xlsx is) read from memory and
// written anew: parts are streamed out inflated and checked against the
// directory (size and CRC), and a rewrite copies every part it does not
// replace as it was, still compressed. Knows nothing of sheets or beams.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::workbook {

struct MemoryStream {
    std::string_view bytes;
    std::uint64_t pos = 0;
};

// What reading a part came to.
enum class PartStatus {
    Ok,
    Missing,   // no such part
    Damaged,   // the inflated bytes differ from what the directory says (size, CRC) or do not inflate
    TooLarge,  // over the bound for a part (or inflating far beyond its compressed size)
    Stopped,   // the reader of the pieces asked to stop
};

// A part is refused past this inflated size, and past kLargestRatio times
// its compressed size once it is over kRatioFloor: an XML part compresses
// 10 to 30 times, a zip bomb a thousand. (A sheet of 10^6 beams with their
// loads is some 600 MiB of XML.)
inline constexpr std::uint64_t kLargestPart = 1ull << 30;
inline constexpr std::uint64_t kRatioFloor = 32ull << 20;
inline constexpr std::uint64_t kLargestRatio = 250;

class Package {
public:
    // bytes must outlive the package.
    explicit Package(std::string_view bytes);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Whether bytes are a zip archive whose directory reads.
    bool ok() const { return zip_ != nullptr; }
    // The parts' names in the order the archive holds them.
    const std::vector<std::string>& names() const { return names_; }
    bool Has(std::string_view name) const;
    // The part's inflated size as the directory gives it (0 when missing).
    std::uint64_t PartSize(const std::string& name);

    // Hands the part's inflated bytes to piece, in order; piece returns
    // false to stop.
    PartStatus Read(const std::string& name, const std::function<bool(std::string_view)>& piece);
    // The whole part, or nothing (status says why).
    std::optional<std::string> ReadWhole(const std::string& name, PartStatus& status);

    // The part as the archive stores it (still compressed), to recognise
    // bytes written before; nothing when missing, encrypted or not deflated.
    struct Stored {
        std::string_view data;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;  // inflated
    };
    std::optional<Stored> StoredPart(const std::string& name);

private:
    std::unique_ptr<MemoryStream> memory_;
    void* zip_ = nullptr;
    std::vector<std::string> names_;
};

// A part deflated in pieces, each a deflate stream of its own that ends
// on a byte boundary, so that a later save deflates again only the pieces
// whose bytes changed (one edited row in a sheet of 10^4) and lays the
// rest end to end as they were.
struct DeflatedPiece {
    std::uint64_t begin = 0, length = 0;  // in the part's bytes
    std::uint32_t crc = 0;
    std::string deflated;
};
struct DeflatedPart {
    std::vector<DeflatedPiece> pieces;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    // The whole deflate stream, as the archive stores it.
    std::string Stream() const;
    // Whether a part as stored (Package::StoredPart) is this one.
    bool Is(const Package::Stored& stored) const;
};

// bytes deflated in pieces that start at cuts (ascending offsets; the
// first piece starts at 0 in any case). A piece whose bytes equal those
// of before's piece at the same place (before's bytes: beforeBytes) is
// taken from it as it was. Nothing when zlib fails (out of memory).
std::optional<DeflatedPart> DeflateInPieces(std::string_view bytes, const std::vector<std::uint64_t>& cuts,
                                            const DeflatedPart* before = nullptr, std::string_view beforeBytes = {});

// A new package from old: every part copied as it was stored (not inflated
// and compressed again), but those in replaced, which get the new bytes
// (deflated), or in deflated, which get those bytes, and those in removed,
// which are left out. Nothing when old does not read or a copied part is
// damaged. The added parts come last.
std::optional<std::string> RewritePackage(std::string_view old, const std::map<std::string, std::string>& replaced,
                                          const std::set<std::string>& removed = {},
                                          const std::vector<std::pair<std::string, std::string>>& added = {},
                                          const std::map<std::string, const DeflatedPart*>& deflated = {});

// A package of new parts, in the order given (for tests and new files).
std::string NewPackage(const std::vector<std::pair<std::string, std::string>>& parts);

}  // namespace quorvane::workbook
