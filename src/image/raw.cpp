// Raw indices: width x height bytes, rows top to bottom, nothing else (a
// Doom flat is a 64 x 64 one).
#include "image/byte_order.hpp"

namespace paltab {

Result<std::vector<std::uint8_t>> WriteRaw(const IndexedImage& image) {
    if (Status checked = CheckIndexedImage(image); !checked) {
        return std::move(checked).error();
    }
    return image.indices;
}

}  // namespace paltab
