#include "engine/picture.h"

#include "platform/utf.h"

#include <stb_image.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unordered_map>

namespace quillet::engine {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;

// Help files hold screenshots and icons of a few hundred kilobytes. A picture file larger than
// this is refused before it is read: it would be held in memory whole, and stb takes its size as
// an int.
constexpr std::uintmax_t kMaxPictureBytes = std::uintmax_t{64} << 20;
// A side longer than this many pixels is refused: even at 600 dpi it is wider than any page, and
// the page would show a hostile picture's claim as a size beyond what the document may hold.
constexpr int kMaxPictureSide = 32'767;

// The bytes of the picture file `path`, shared with every picture that holds them already: the
// same file (by path, size and modification time) is read once while any picture keeps it.
std::shared_ptr<const std::string> sharedFileBytes(const std::u16string& path);

bool readFile(const std::u16string& path, std::string& out) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(toPath(path), ec);
    if (ec || size > kMaxPictureBytes) return false;
    std::ifstream in(toPath(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = buffer.str();
    return !in.bad();
}

std::u16string kindOf(const std::string& b) {
    auto starts = [&](std::string_view magic) { return b.compare(0, magic.size(), magic) == 0; };
    if (starts("\x89PNG")) return u"png";
    if (starts("GIF8")) return u"gif";
    if (starts("\xFF\xD8")) return u"jpeg";
    if (starts("BM")) return u"bmp";
    return {};
}

// What tells one version of a picture file from another: its path, size and modification time.
std::optional<std::string> fileKey(const std::u16string& path) {
    std::error_code ec;
    const std::filesystem::path file = toPath(path);
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) return std::nullopt;
    const auto time = std::filesystem::last_write_time(file, ec);
    if (ec) return std::nullopt;
    std::string key = file.lexically_normal().native();
    key += '\0' + std::to_string(size) + '\0' + std::to_string(time.time_since_epoch().count());
    return key;
}

// The kind and natural size of each picture file described, by its key: a linked picture, whose
// bytes nothing keeps, is described again from here rather than read again (a page may show a
// picture of many megabytes hundreds of times).
class Descriptions {
public:
    std::optional<PictureData> find(const std::string& key) {
        const std::lock_guard lock(m_mutex);
        const auto found = m_known.find(key);
        if (found == m_known.end()) return std::nullopt;
        return found->second;
    }
    void add(const std::string& key, const PictureData& described) {
        PictureData kept;
        kept.extension = described.extension;
        kept.naturalWidth = described.naturalWidth;
        kept.naturalHeight = described.naturalHeight;
        const std::lock_guard lock(m_mutex);
        if (m_known.size() >= kKept) m_known.clear();
        m_known.insert_or_assign(key, std::move(kept));
    }

private:
    static constexpr std::size_t kKept = 4096;
    std::mutex m_mutex;
    std::unordered_map<std::string, PictureData> m_known;
};

Descriptions& descriptions() {
    static Descriptions known;
    return known;
}

std::shared_ptr<const std::string> sharedFileBytes(const std::u16string& path) {
    const std::optional<std::string> key = fileKey(path);
    if (!key) return nullptr;
    // Pages are read on more than one thread.
    static std::mutex mutex;
    static std::unordered_map<std::string, std::weak_ptr<const std::string>> files;
    {
        const std::lock_guard lock(mutex);
        if (const auto found = files.find(*key); found != files.end())
            if (auto alive = found->second.lock()) return alive;
    }
    std::string bytes;
    if (!readFile(path, bytes)) return nullptr;
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    const std::lock_guard lock(mutex);
    // Files no picture holds any more are forgotten whenever the table has doubled since, so it
    // stays in proportion to what is alive at a constant cost per picture read.
    static std::size_t sweepAt = 64;
    if (files.size() >= sweepAt) {
        std::erase_if(files, [](const auto& entry) { return entry.second.expired(); });
        sweepAt = std::max<std::size_t>(64, 2 * files.size());
    }
    files[*key] = shared;
    return shared;
}

}  // namespace

bool describeImage(const std::string& bytes, PictureData& picture) {
    const std::u16string kind = kindOf(bytes);
    int w = 0, h = 0, channels = 0;
    if (kind.empty() || bytes.size() > kMaxPictureBytes ||
        stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                              static_cast<int>(bytes.size()), &w, &h, &channels) == 0 ||
        w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide)
        return false;
    picture.extension = kind;
    picture.naturalWidth = w * kPointsPerPixel;
    picture.naturalHeight = h * kPointsPerPixel;
    return true;
}

PictureData loadPicture(const std::u16string& path, bool link) {
    PictureData p;
    p.sourcePath = path;
    std::error_code ec;
    if (std::filesystem::file_size(toPath(path), ec) > kMaxPictureBytes && !ec)
        throw std::runtime_error(toUtf8(path) + " is larger than the limit of " +
                                 std::to_string(kMaxPictureBytes) + " bytes for a picture");
    const std::optional<std::string> key = fileKey(path);
    std::optional<PictureData> known = link && key ? descriptions().find(*key) : std::nullopt;
    SharedBytes bytes;
    if (known) {
        p.extension = known->extension;
        p.naturalWidth = known->naturalWidth;
        p.naturalHeight = known->naturalHeight;
    } else {
        std::shared_ptr<const std::string> shared = sharedFileBytes(path);
        if (!shared) throw std::runtime_error("cannot read the picture " + toUtf8(path));
        bytes = SharedBytes(std::move(shared));
        if (!describeImage(bytes, p))
            throw std::runtime_error(toUtf8(path) +
                                     " is not a PNG, GIF, JPEG or BMP picture of at most " +
                                     std::to_string(kMaxPictureSide) + " pixels a side");
        if (key) descriptions().add(*key, p);
    }
    p.width = p.naturalWidth;
    p.height = p.naturalHeight;
    p.linked = link;
    p.saveWithDocument = !link;
    if (!link) p.bytes = bytes;
    return p;
}

bool storePictureBytes(PictureData& picture) {
    if (!picture.bytes.empty()) return true;
    std::shared_ptr<const std::string> shared = sharedFileBytes(picture.sourcePath);
    if (!shared) return false;
    const SharedBytes bytes(std::move(shared));
    PictureData probe;
    if (!describeImage(bytes, probe)) return false;
    picture.bytes = bytes;
    picture.extension = probe.extension;
    return true;
}

}  // namespace quillet::engine
