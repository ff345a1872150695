#include "utility/vekui/core/fonttable.h"

namespace vekui {

void CFontTable::Add(int id, const FontSpec& font, bool isDefault) {
    m_fonts[id] = font;
    if (isDefault || m_default < 0) m_default = id;
}

const FontSpec& CFontTable::Get(int id) const {
    static const FontSpec kFallback{L"\u5FAE\u8F6F\u96C5\u9ED1", 12};
    auto it = m_fonts.find(id);
    if (it == m_fonts.end()) it = m_fonts.find(m_default);
    return it == m_fonts.end() ? kFallback : it->second;
}

int CFontTable::DefaultId() const { return m_default; }
const std::map<int, FontSpec>& CFontTable::All() const { return m_fonts; }

}  // namespace vekui
