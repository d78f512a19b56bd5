// Raw indices: width x height bytes, rows top to bottom, nothing else (a
// Doom flat is a 64 x 64 one).
#include "image/byte_order.hpp"

namespace paltab {

std::optional<std::vector<std::uint8_t>> WriteRaw(const IndexedImage& image, ImageError& error) {
    if (!CheckIndexedImage(image, error)) {
        return std::nullopt;
    }
    return image.indices;
}

}  // namespace paltab
